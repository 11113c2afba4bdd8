// Points HKLM, HKCU, HKCR and HKU of this process at fresh scratch keys for the lifetime of the object, so a
// test writes and reads a registry of its own. The scratch keys live below the real HKCU\Software\KxTest and
// are deleted afterwards; keys left by a crashed run are removed on the next construction.
#pragma once

#include <windows.h>
#include <string>

namespace kxtest {

class RegistryOverride {
public:
    RegistryOverride();
    ~RegistryOverride();
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

private:
    std::wstring m_strPath;
};

// Small writers for test data (through the overridden roots).
void SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
               DWORD type = REG_SZ, REGSAM view = 0);
void SetDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD value, REGSAM view = 0);
void SetBinary(HKEY root, const std::wstring& key, const wchar_t* name, const void* data, DWORD size,
               DWORD type = REG_BINARY, REGSAM view = 0);
void CreateKey(HKEY root, const std::wstring& key, REGSAM view = 0);
bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
// The value as stored (type and bytes); empty string when missing.
std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name);

}  // namespace kxtest

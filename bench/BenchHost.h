// What the soak and hostile-registry benchmarks share as a host of the component: KxUninst.dll loaded from the
// executable's folder and used only through its exports and interfaces, the soft record read field by field
// from its wire bytes, and the Uninstall entries a benchmark writes into the prefix and removes again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "KxUninstIf.h"
#include "ScopedHandle.h"

namespace kxbench {

// The folder of the running executable, with a trailing backslash.
std::wstring ExeFolder();

// KxUninst.dll as a host sees it: one module, a class object per creation.
class CComponent {
public:
    // Loads KxUninst.dll from the executable's folder; false with a message on standard error.
    bool Load();
    // A new object through DllGetClassObject and the class factory; both interfaces of it, or false.
    bool Create(kx::com_ptr<IKxUninstMgr>& uninst, kx::com_ptr<IKxListMgr>& list) const;
    // DllCanUnloadNow's answer: S_OK when no object and no lock is left.
    HRESULT CanUnloadNow() const;

private:
    kx::unique_hmodule m_hDll;
};

// The fields of a soft record the benchmarks look at.
struct SoftFields {
    std::wstring Name;
    std::wstring Folder;
    LONGLONG Size = 0;
    std::wstring Key;
};

// Decodes one serialized soft record (the first nSize bytes of pData); false when it ends too early.
bool DecodeSoftRecord(const BYTE* pData, size_t nSize, SoftFields& out);

// GetItemByIndex of the soft list into buffer, which grows while the component reports it too small.
// Returns the component's code.
HRESULT ReadSoftRecord(IKxListMgr* pList, UINT nIndex, std::vector<BYTE>& buffer);

// ---- entries a benchmark owns in the prefix's registry ----

// The three places a machine keeps Uninstall entries in a 64-bit prefix.
struct UninstallRoot {
    HKEY hRoot;
    const wchar_t* pszRootName;  // as the component writes it in a record's key
    const wchar_t* pszPath;
};
extern const UninstallRoot kUninstallRoots[3];

// Creates root\path\name afresh (a key of that name is deleted first) and marks it as owned by pszOwner, so
// that RemoveMarkedEntries finds it whatever else was written into it. An invalid key on failure.
kx::unique_hkey CreateMarkedEntry(const UninstallRoot& where, const std::wstring& name, const wchar_t* pszOwner);
// Deletes every entry under the three roots that carries pszOwner's mark; the number deleted.
int RemoveMarkedEntries(const wchar_t* pszOwner);
// A value of any type and size, exactly the given bytes.
bool SetRawValue(HKEY hKey, const wchar_t* pszName, DWORD dwType, const void* pData, DWORD cbData);
// A REG_SZ with its terminating NUL.
bool SetText(HKEY hKey, const wchar_t* pszName, const std::wstring& text);
bool SetDword(HKEY hKey, const wchar_t* pszName, DWORD dwValue);

// Creates the folders of path (a full path, "\\?\" allowed) and an empty file there; false on failure.
bool MakeFile(const std::wstring& path);

}  // namespace kxbench

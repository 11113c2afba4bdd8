#include "kxtest/RegistryOverride.h"

#include <gtest/gtest.h>

#include <vector>

#include "ScopedHandle.h"

namespace kxtest {
namespace {

const wchar_t kBase[] = L"Software\\KxTest";

bool ProcessAlive(DWORD pid) {
    kx::unique_handle h(OpenProcess(SYNCHRONIZE, FALSE, pid));
    return h && WaitForSingleObject(h.get(), 0) == WAIT_TIMEOUT;
}

// Scratch keys are named "<pid>-<n>"; those of processes that no longer run are leftovers of a crash.
void RemoveStaleKeys() {
    kx::unique_hkey base;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBase, 0, KEY_READ, base.put()) != ERROR_SUCCESS) return;
    std::vector<std::wstring> stale;
    wchar_t szName[256];
    for (DWORD i = 0, cch = 256; RegEnumKeyExW(base.get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, cch = 256) {
        DWORD pid = wcstoul(szName, nullptr, 10);
        if (pid != GetCurrentProcessId() && !ProcessAlive(pid)) stale.push_back(szName);
    }
    for (const auto& name : stale) RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kBase) + L"\\" + name).c_str());
}

struct Root { HKEY predefined; const wchar_t* name; };
const Root kRoots[] = {{HKEY_LOCAL_MACHINE, L"HKLM"}, {HKEY_CLASSES_ROOT, L"HKCR"}, {HKEY_USERS, L"HKU"},
                       {HKEY_CURRENT_USER, L"HKCU"}};  // HKCU last: the others are made through the real one

}  // namespace

RegistryOverride::RegistryOverride() {
    RemoveStaleKeys();
    static LONG s_counter = 0;
    m_strPath = std::wstring(kBase) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&s_counter));
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strPath.c_str());
    for (const Root& root : kRoots) {
        kx::unique_hkey h;
        RegCreateKeyExW(HKEY_CURRENT_USER, (m_strPath + L"\\" + root.name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        h.put(), nullptr);
        EXPECT_TRUE(h);
        EXPECT_EQ(RegOverridePredefKey(root.predefined, h.get()), ERROR_SUCCESS);
    }
}

RegistryOverride::~RegistryOverride() {
    for (const Root& root : kRoots) RegOverridePredefKey(root.predefined, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strPath.c_str());
}

namespace {
kx::unique_hkey Create(HKEY root, const std::wstring& key, REGSAM view) {
    kx::unique_hkey h;
    LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, h.put(), nullptr);
    EXPECT_EQ(r, ERROR_SUCCESS) << "creating key";
    return h;
}
}  // namespace

void CreateKey(HKEY root, const std::wstring& key, REGSAM view) { Create(root, key, view); }

void SetBinary(HKEY root, const std::wstring& key, const wchar_t* name, const void* data, DWORD size, DWORD type,
               REGSAM view) {
    if (kx::unique_hkey h = Create(root, key, view)) {
        EXPECT_EQ(RegSetValueExW(h.get(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
}

void SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value, DWORD type,
               REGSAM view) {
    SetBinary(root, key, name, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), type, view);
}

void SetDword(HKEY root, const std::wstring& key, const wchar_t* name, DWORD value, REGSAM view) {
    SetBinary(root, key, name, &value, sizeof(value), REG_DWORD, view);
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
    kx::unique_hkey h;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, h.put()) == ERROR_SUCCESS;
}

std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[2048] = {};
    DWORD cb = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, nullptr, buffer, &cb) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

}  // namespace kxtest

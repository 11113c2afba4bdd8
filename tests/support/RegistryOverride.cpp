#include "kxtest/RegistryOverride.h"

#include <gtest/gtest.h>

#include <vector>

namespace kxtest {
namespace {

const wchar_t kBase[] = L"Software\\KxTest";

bool ProcessAlive(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return false;
    bool alive = WaitForSingleObject(h, 0) == WAIT_TIMEOUT;
    CloseHandle(h);
    return alive;
}

// Scratch keys are named "<pid>-<n>"; those of processes that no longer run are leftovers of a crash.
void RemoveStaleKeys() {
    HKEY hBase = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBase, 0, KEY_READ, &hBase) != ERROR_SUCCESS) return;
    std::vector<std::wstring> stale;
    wchar_t szName[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = 256;
        if (RegEnumKeyExW(hBase, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DWORD pid = wcstoul(szName, nullptr, 10);
        if (pid != GetCurrentProcessId() && !ProcessAlive(pid)) stale.push_back(szName);
    }
    RegCloseKey(hBase);
    for (const auto& name : stale) RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(kBase) + L"\\" + name).c_str());
}

HKEY CreateScratch(const std::wstring& path) {
    HKEY h = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    return h;
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
        HKEY h = CreateScratch(m_strPath + L"\\" + root.name);
        EXPECT_NE(h, nullptr);
        EXPECT_EQ(RegOverridePredefKey(root.predefined, h), ERROR_SUCCESS);
        RegCloseKey(h);
    }
}

RegistryOverride::~RegistryOverride() {
    for (const Root& root : kRoots) RegOverridePredefKey(root.predefined, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, m_strPath.c_str());
}

namespace {
HKEY Create(HKEY root, const std::wstring& key, REGSAM view) {
    HKEY h = nullptr;
    LONG r = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &h, nullptr);
    EXPECT_EQ(r, ERROR_SUCCESS) << "creating key";
    return h;
}
}  // namespace

void CreateKey(HKEY root, const std::wstring& key, REGSAM view) {
    if (HKEY h = Create(root, key, view)) RegCloseKey(h);
}

void SetBinary(HKEY root, const std::wstring& key, const wchar_t* name, const void* data, DWORD size, DWORD type,
               REGSAM view) {
    if (HKEY h = Create(root, key, view)) {
        EXPECT_EQ(RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(h);
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
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

std::wstring GetString(HKEY root, const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[2048] = {};
    DWORD cb = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, nullptr, buffer, &cb) != ERROR_SUCCESS)
        return std::wstring();
    return buffer;
}

}  // namespace kxtest

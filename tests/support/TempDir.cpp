#include "kxtest/TempDir.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ScopedHandle.h"

namespace kxtest {

TempDir::TempDir() {
    wchar_t szTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, szTemp);
    static LONG s_counter = 0;
    m_strPath = std::wstring(szTemp) + L"kxtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(InterlockedIncrement(&s_counter)) + L"-" + std::to_wstring(GetTickCount());
    RemoveTree(m_strPath);
    EXPECT_TRUE(CreateDirectoryW(m_strPath.c_str(), nullptr));
}

TempDir::~TempDir() { RemoveTree(m_strPath); }

void RemoveTree(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((path + L"\\*").c_str(), &fd));
    if (find) do {
            std::wstring name = fd.cFileName, child = path + L"\\" + name;
            if (name == L"." || name == L"..") continue;
            // Under Wine a folder that is a Unix link shows as a reparse point, and deleting below it or the link
            // itself deletes in the link's target: a link is left where it is.
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(find.get(), &fd));
    RemoveDirectoryW(path.c_str());
}

void MakeDirs(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) MakeDirs(path.substr(0, slash));
    kx::unique_hfile h(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(h);
    DWORD written = 0;
    WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace kxtest

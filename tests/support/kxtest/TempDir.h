// A fresh folder in the prefix's temp folder, removed with everything below it at destruction.
#pragma once

#include <string>

namespace kxtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // No trailing backslash.
    const std::wstring& Path() const { return m_strPath; }
    std::wstring operator/(const std::wstring& relative) const { return m_strPath + L"\\" + relative; }

private:
    std::wstring m_strPath;
};

// Removes a folder tree (files made read-only included). Missing folders are fine. Folder links (reparse points)
// are left in place with what they lead to, and so is the folder that holds one.
void RemoveTree(const std::wstring& path);
// Creates every missing folder of path.
void MakeDirs(const std::wstring& path);
// Writes bytes to a file, creating its folders.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);

}  // namespace kxtest

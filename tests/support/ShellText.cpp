// Apart from HostLayout.cpp, which every test binary links, so that a binary that does not use these imports
// neither shell32 nor user32: with them in every binary, the CLI tests' runs of kxuninst.exe under Wine never ended.
#include <windows.h>
#include <shlobj.h>

#include <ctime>

#include "kxtest/HostLayout.h"

namespace kxtest {

std::wstring KnownFolder(int nCsidl) {
    wchar_t sz[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, nCsidl, nullptr, SHGFP_TYPE_CURRENT, sz);
    return sz;
}

std::wstring Lower(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

std::wstring Today() {
    wchar_t sz[32] = {};
    time_t now = time(nullptr);
    wcsftime(sz, 32, L"%Y-%m-%d", localtime(&now));
    return sz;
}

}  // namespace kxtest

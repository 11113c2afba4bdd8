#include "kxtest/SandboxedPrefix.h"

#include <windows.h>

#include <cstdio>

namespace kxtest {
namespace {

// The first line of the marker; scripts/wine-harness writes the same text.
const char kReadyLine[] = "kx-sandboxed-prefix 1";

// Wine's own path converters (kernel32 exports, absent on Windows). Both return a buffer of the process heap.
using UnixOfDos = char*(CDECL*)(const WCHAR*);
using DosOfUnix = WCHAR*(CDECL*)(const char*);

FARPROC WineExport(const char* name) { return GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name); }

}  // namespace

std::string UnixPathOfWindows(const std::wstring& windowsPath) {
    auto toUnix = reinterpret_cast<UnixOfDos>(reinterpret_cast<void (*)()>(WineExport("wine_get_unix_file_name")));
    if (!toUnix || windowsPath.empty()) return std::string();
    char* raw = toUnix(windowsPath.c_str());
    if (!raw) return std::string();
    std::string path = raw;
    HeapFree(GetProcessHeap(), 0, raw);
    return path;
}

std::string PrefixUnixPath() {
    std::string path = UnixPathOfWindows(L"C:\\");
    // Wine reaches every drive through the prefix's dosdevices folder.
    const std::string drive = "/dosdevices/c:/";
    if (path.size() <= drive.size() || path.compare(path.size() - drive.size(), drive.size(), drive) != 0)
        return std::string();
    return path.substr(0, path.size() - drive.size());
}

std::wstring WindowsPathOfUnix(const std::string& unixPath) {
    auto toDos = reinterpret_cast<DosOfUnix>(reinterpret_cast<void (*)()>(WineExport("wine_get_dos_file_name")));
    if (!toDos || unixPath.empty()) return std::wstring();
    WCHAR* raw = toDos(unixPath.c_str());
    if (!raw) return std::wstring();
    std::wstring path = raw;
    HeapFree(GetProcessHeap(), 0, raw);
    return path;
}

std::string SandboxRefusal(const std::string& prefixUnixPath) {
    if (prefixUnixPath.empty()) return "not running in a Wine prefix";
    const std::string marker = prefixUnixPath + "/.kx-ready";
    std::wstring path = WindowsPathOfUnix(marker);
    HANDLE h = path.empty() ? INVALID_HANDLE_VALUE
                            : CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "no ready marker at " + marker + ": the prefix was not created by scripts/wine-harness";
    char buffer[256] = {};
    DWORD got = 0;
    ReadFile(h, buffer, sizeof(buffer) - 1, &got, nullptr);
    CloseHandle(h);
    std::string first(buffer, got);
    first = first.substr(0, first.find('\n'));
    if (first != kReadyLine)
        return marker + " is not the current harness's (\"" + first + "\"): its profile may still link to the Unix home";
    return std::string();
}

bool RequireSandboxedPrefix() {
    std::string why = SandboxRefusal(PrefixUnixPath());
    if (why.empty()) return true;
    fprintf(stderr,
            "refusing to run: %s.\nThis program deletes files and registry keys; run it through scripts/test, ctest or "
            "scripts/bench, in a prefix that scripts/wine-harness created.\n",
            why.c_str());
    fflush(stderr);
    return false;
}

}  // namespace kxtest

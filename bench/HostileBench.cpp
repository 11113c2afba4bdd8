// Hostile-registry benchmark: a machine of N Uninstall entries, a third well-formed, the rest with values of
// the wrong type, without terminator, of 0 bytes or 64 KB, odd GUID-shaped and overlong key names, paths of
// 259 and 300+ characters, embedded NULs. KxUninst.dll lists it through its interfaces in child processes
// (so a crash is counted, not suffered): without a cache, from the cache the first run left, after Refresh.
//   hostile_bench write N DIR         the entries (HKLM, some HKCU, some Wow6432Node) and the folders they name
//   hostile_bench remove              removes every entry write made
//   hostile_bench run N DIR ROUNDS    ROUNDS times the three child runs; last line
//                                     "hostile registry: N entries, C crashes, M listed"
//   hostile_bench list N DIR MODE RESULT   one child run (MODE fresh, cache or refresh)
// Every entry is classed by what the lists must make of it: listed (well-formed, or hostile but with a
// readable DisplayName), dropped (no readable name, a system component, a child entry, a hotfix), or open
// (a name of another value type: the reader takes the bytes as text or not, both are sound).
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BenchHost.h"
#include "ListenerHost.h"

namespace {

const wchar_t kOwner[] = L"hostile";
const DWORD kListBoundMs = 300000;  // one child run, discovery of the whole machine included
const size_t k64K = 64 * 1024;

enum class Expect { Listed, Dropped, Open };

struct Entry {
    int nRoot = 0;  // into kxbench::kUninstallRoots
    std::wstring keyName;
    bool bWellFormed = false;
    Expect expect = Expect::Listed;
    const char* pszShape = "";
    std::wstring name;  // the DisplayName a listed entry must show; empty when not checked
    std::function<void(HKEY)> write;

    std::wstring KeyPath() const {
        const kxbench::UninstallRoot& r = kxbench::kUninstallRoots[nRoot];
        return std::wstring(r.pszRootName) + L"\\" + r.pszPath + L"\\" + keyName;
    }
};

std::wstring Printf(const wchar_t* pszFormat, int n) {
    wchar_t sz[512];
    _snwprintf(sz, 512, pszFormat, n);
    sz[511] = 0;
    return sz;
}

std::wstring Pad(std::wstring s, size_t nChars, wchar_t c) {
    s.resize(nChars, c);
    return s;
}

// ---- value writers ----

void Text(HKEY h, const wchar_t* pszName, const std::wstring& s) { kxbench::SetText(h, pszName, s); }
void TextNoNul(HKEY h, const wchar_t* pszName, const std::wstring& s, DWORD dwType = REG_SZ) {
    kxbench::SetRawValue(h, pszName, dwType, s.data(), static_cast<DWORD>(s.size() * sizeof(wchar_t)));
}
void Bytes(HKEY h, const wchar_t* pszName, DWORD dwType, size_t cb, BYTE fill = 0x41) {
    std::vector<BYTE> data(cb ? cb : 1, fill);
    kxbench::SetRawValue(h, pszName, dwType, data.data(), static_cast<DWORD>(cb));
}
void Dword(HKEY h, const wchar_t* pszName, DWORD v) { kxbench::SetDword(h, pszName, v); }
void Qword(HKEY h, const wchar_t* pszName, ULONGLONG v) {
    kxbench::SetRawValue(h, pszName, REG_QWORD, &v, sizeof(v));
}
// A text of exactly cb bytes (an odd count cuts the last character in half).
void TextBytes(HKEY h, const wchar_t* pszName, const std::wstring& s, DWORD cb, DWORD dwType = REG_SZ) {
    std::wstring padded = s + std::wstring(cb / 2 + 1, L'\0');
    kxbench::SetRawValue(h, pszName, dwType, padded.data(), cb);
}

// ---- the machine ----

struct Folders {
    std::wstring apps;      // DIR\apps: install folders of the well-formed entries
    std::wstring deep;      // DIR\deep: a tree whose paths run past 300 characters
    std::wstring long259;   // a real folder whose path is 259 characters long
};

Folders MakeFolders(const std::wstring& dir) {
    Folders f;
    f.apps = dir + L"\\apps";
    f.deep = dir + L"\\deep";
    f.long259 = Pad(dir + L"\\long\\", 259, L'L');
    return f;
}

struct Shape {
    const char* pszName;
    Expect expect;
    // The key name; empty for the default "KxHostileOdd%04d".
    std::function<std::wstring(int)> key;
    // Writes what makes the shape, over the defaults (a readable DisplayName and two commands into a folder
    // that does not exist). Returns the name a listed entry must show, when it is to be checked.
    std::function<void(HKEY, int)> write;
};

std::wstring SoundName(int i) { return Printf(L"KxHostile Odd %04d", i); }

// The deep tree: kDeepLevels folders of 60 characters, a file at each level.
const int kDeepLevels = 7;
std::wstring DeepSegment() { return std::wstring(60, L'd'); }

std::vector<Shape> Shapes(const Folders& f) {
    std::wstring deepExe = f.deep;
    for (int level = 0; level < kDeepLevels; ++level) deepExe += L"\\" + DeepSegment();
    deepExe += L"\\app.exe";
    const std::wstring over300 = Pad(f.deep + L"\\", 320, L'p');
    std::vector<Shape> s = {
        // Readable names, hostile everything else: all must be listed.
        {"UninstallString without terminator", Expect::Listed, nullptr,
         [](HKEY h, int) { TextNoNul(h, L"UninstallString", L"\"C:\\KxHostile\\none\\un.exe\" /S"); }},
        {"UninstallString of 64 KB", Expect::Listed, nullptr,
         [](HKEY h, int) { Text(h, L"UninstallString", std::wstring(k64K / 2 - 1, L'u')); }},
        {"UninstallString of 0 bytes", Expect::Listed, nullptr,
         [](HKEY h, int) { Bytes(h, L"UninstallString", REG_SZ, 0); }},
        {"UninstallString as REG_BINARY of 7 bytes", Expect::Listed, nullptr,
         [](HKEY h, int) { Bytes(h, L"UninstallString", REG_BINARY, 7, 0x22); }},
        {"UninstallString as REG_DWORD", Expect::Listed, nullptr, [](HKEY h, int) { Dword(h, L"UninstallString", 0x22); }},
        {"UninstallString of odd quotes", Expect::Listed, nullptr,
         [](HKEY h, int i) {
             const wchar_t* odd[] = {L"\"", L"\"\"", L"\"\"\"", L"\"C:\\Program Files\\x", L"  ", L",,,", L"rundll32.exe ,,,",
                                     L"MsiExec.exe /X{ZZZ", L"MsiExec.exe /I", L"uninst.exe /S"};
             Text(h, L"UninstallString", odd[i % 10]);
         }},
        // A folder that no longer exists, named so that the climb to the deepest existing folder ends at "\":
        // a long-path prefix, a share of a server that is gone, a path from the root of the current drive.
        {"UninstallString whose existing folder is \\", Expect::Listed, nullptr,
         [](HKEY h, int i) {
             const wchar_t* gone[] = {L"\\\\?\\C:\\KxHostileGone\\x.exe /u", L"\\\\KxGoneServer\\apps\\setup.exe /x",
                                      L"\\KxHostileGone\\uninst.exe /S"};
             Text(h, L"UninstallString", gone[i % 3]);
             RegDeleteValueW(h, L"DisplayIcon");
         }},
        {"UninstallString of 259 characters", Expect::Listed, nullptr,
         [](HKEY h, int) { Text(h, L"UninstallString", Pad(L"\"C:\\KxHostile\\", 257, L'z') + L"\"x"); }},
        {"UninstallString into a path past 300 characters", Expect::Listed, nullptr,
         [deepExe](HKEY h, int) { Text(h, L"UninstallString", L"\"" + deepExe + L"\" /S"); }},
        {"InstallLocation past 300 characters", Expect::Listed, nullptr,
         [over300](HKEY h, int) { Text(h, L"InstallLocation", over300); }},
        {"InstallLocation of 259 characters, a real folder", Expect::Listed, nullptr,
         [f](HKEY h, int) { Text(h, L"InstallLocation", f.long259); }},
        {"InstallLocation over a tree deeper than 300 characters", Expect::Listed, nullptr,
         [f](HKEY h, int) { Text(h, L"InstallLocation", f.deep); }},
        {"InstallLocation with the \\\\?\\ prefix over the deep tree", Expect::Listed, nullptr,
         [f](HKEY h, int) { Text(h, L"InstallLocation", L"\\\\?\\" + f.deep); }},
        {"InstallLocation of 260 characters without terminator", Expect::Listed, nullptr,
         [](HKEY h, int) { TextNoNul(h, L"InstallLocation", Pad(L"C:\\KxHostile\\", 260, L'n')); }},
        {"InstallLocation with an embedded NUL", Expect::Listed, nullptr,
         [f](HKEY h, int) { TextNoNul(h, L"InstallLocation", f.apps + std::wstring(1, L'\0') + L"C:\\windows"); }},
        {"InstallLocation as REG_EXPAND_SZ", Expect::Listed, nullptr,
         [](HKEY h, int) { Text(h, L"InstallLocation", L"%ProgramFiles%\\KxHostile"); }},
        {"InstallLocation of 5 bytes", Expect::Listed, nullptr,
         [](HKEY h, int) { TextBytes(h, L"InstallLocation", L"C:\\", 5); }},
        {"DisplayIcon past 300 characters", Expect::Listed, nullptr,
         [over300](HKEY h, int) { Text(h, L"DisplayIcon", over300 + L",0"); }},
        {"DisplayIcon of 259 characters with a huge index", Expect::Listed, nullptr,
         [](HKEY h, int) { Text(h, L"DisplayIcon", Pad(L"C:\\windows\\notepad.exe", 237, L' ') + L",-99999999999999999999"); }},
        {"DisplayIcon of odd punctuation", Expect::Listed, nullptr,
         [](HKEY h, int i) {
             const wchar_t* odd[] = {L",", L",,,,", L"\"", L"\",0", L"  ", L"notepad.exe,", L",5", L"%windir%", L"C:", L"\\"};
             Text(h, L"DisplayIcon", odd[i % 10]);
         }},
        {"DisplayIcon as REG_BINARY of 64 KB", Expect::Listed, nullptr,
         [](HKEY h, int) { Bytes(h, L"DisplayIcon", REG_BINARY, k64K); }},
        {"no DisplayIcon, no UninstallString", Expect::Listed, nullptr,
         [](HKEY h, int) {
             RegDeleteValueW(h, L"DisplayIcon");
             RegDeleteValueW(h, L"UninstallString");
         }},
        {"EstimatedSize as REG_SZ", Expect::Listed, nullptr, [](HKEY h, int) { Text(h, L"EstimatedSize", L"12345"); }},
        {"EstimatedSize of 64 KB", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"EstimatedSize", REG_BINARY, k64K); }},
        {"EstimatedSize of 0 bytes", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"EstimatedSize", REG_DWORD, 0); }},
        {"EstimatedSize as REG_QWORD", Expect::Listed, nullptr,
         [](HKEY h, int) { Qword(h, L"EstimatedSize", 0xFFFFFFFFFFFFFFFFull); }},
        {"EstimatedSize of 0xFFFFFFFF", Expect::Listed, nullptr, [](HKEY h, int) { Dword(h, L"EstimatedSize", 0xFFFFFFFF); }},
        {"InstallDate of odd text", Expect::Listed, nullptr,
         [](HKEY h, int i) {
             const wchar_t* odd[] = {L"99999999", L"2024-13-45", L"abc", L"20240230", L"0", L"\xFF11\xFF12\xFF13",
                                     L"1/2/3/4/5/6/7/8/9", L"--//\\\\", L"2024 01 15 12:00:00 PM +0800", L"19000101"};
             Text(h, L"InstallDate", odd[i % 10]);
         }},
        {"InstallDate of 259 characters", Expect::Listed, nullptr,
         [](HKEY h, int i) { Text(h, L"InstallDate", Pad(i % 2 ? L"2024-01-15 " : L"1/", 259, i % 2 ? L'9' : L'/')); }},
        {"InstallDate as REG_DWORD", Expect::Listed, nullptr, [](HKEY h, int) { Dword(h, L"InstallDate", 20240115); }},
        {"InstallDate of 64 KB", Expect::Listed, nullptr, [](HKEY h, int) { Text(h, L"InstallDate", std::wstring(k64K / 2 - 1, L'2')); }},
        {"QZAppID of 15 bytes", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"QZAppID", REG_BINARY, 15, 0x7F); }},
        {"QZAppID of 17 bytes", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"QZAppID", REG_BINARY, 17, 0x7F); }},
        {"QZAppID of 0 bytes", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"QZAppID", REG_BINARY, 0); }},
        {"QZAppID of 64 KB", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"QZAppID", REG_BINARY, k64K, 0xFF); }},
        {"QZAppID as GUID text", Expect::Listed, nullptr,
         [](HKEY h, int) { Text(h, L"QZAppID", L"{6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}"); }},
        {"SystemComponent as REG_SZ \"1\"", Expect::Listed, nullptr, [](HKEY h, int) { Text(h, L"SystemComponent", L"1"); }},
        {"SystemComponent as REG_QWORD 1", Expect::Listed, nullptr, [](HKEY h, int) { Qword(h, L"SystemComponent", 1); }},
        {"SystemComponent 0", Expect::Listed, nullptr, [](HKEY h, int) { Dword(h, L"SystemComponent", 0); }},
        {"ParentKeyName of 0 bytes", Expect::Listed, nullptr, [](HKEY h, int) { Bytes(h, L"ParentKeyName", REG_BINARY, 0); }},
        {"ParentKeyName of a NUL only", Expect::Listed, nullptr, [](HKEY h, int) { TextBytes(h, L"ParentKeyName", L"", 2); }},
        {"600 further values", Expect::Listed, nullptr,
         [](HKEY h, int) {
             for (int v = 0; v < 600; ++v) Dword(h, Printf(L"Extra%03d", v).c_str(), static_cast<DWORD>(v));
         }},
        {"nested subkeys", Expect::Listed, nullptr,
         [](HKEY h, int) {
             HKEY sub = nullptr;
             if (RegCreateKeyExW(h, L"InstallProperties\\a\\b\\c", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) ==
                 ERROR_SUCCESS) {
                 Text(sub, L"DisplayName", L"nested");
                 RegCloseKey(sub);
             }
         }},
        // Readable names of unusual shape: listed, the name checked where it must read back unchanged.
        {"DisplayName of 259 characters", Expect::Listed, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", Pad(SoundName(i) + L" ", 259, L'n')); }},
        {"DisplayName without terminator", Expect::Listed, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", SoundName(i)); }},
        {"DisplayName with an embedded NUL", Expect::Listed, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", SoundName(i) + std::wstring(1, L'\0') + L"hidden tail"); }},
        {"DisplayName of an odd byte count", Expect::Listed, nullptr,
         [](HKEY h, int i) { TextBytes(h, L"DisplayName", SoundName(i) + L"!", static_cast<DWORD>(SoundName(i).size() * 2 + 1)); }},
        {"DisplayName as REG_EXPAND_SZ", Expect::Listed, nullptr,
         [](HKEY h, int i) {
             std::wstring s = SoundName(i);
             kxbench::SetRawValue(h, L"DisplayName", REG_EXPAND_SZ, s.c_str(), static_cast<DWORD>((s.size() + 1) * 2));
         }},
        {"DisplayName with control characters", Expect::Listed, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", SoundName(i) + L"\t\r\n\x01\x7F\x1B[0m"); }},
        {"DisplayName with CJK, an emoji and a lone surrogate", Expect::Listed, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", SoundName(i) + L" \x5FAE\x4FE1 \xD83D\xDE00 \xD800 \xDC00"); }},
        {"DisplayName in spaces", Expect::Listed, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", L"   " + SoundName(i) + L"   "); }},
        // Odd key names with readable names.
        {"key name: GUID with non-hex digits", Expect::Listed,
         [](int i) { return Printf(L"{%08d-ZZZZ-0000-GGGG-000000000000}", i); }, nullptr},
        {"key name: GUID without closing brace", Expect::Listed,
         [](int i) { return Printf(L"{%08X-1234-1234-1234-1234567890AB", i); }, nullptr},
        {"key name: GUID without opening brace", Expect::Listed,
         [](int i) { return Printf(L"%08X-1234-1234-1234-1234567890AB}", i); }, nullptr},
        {"key name: GUID in double braces", Expect::Listed,
         [](int i) { return Printf(L"{{%08X-1234-1234-1234-1234567890AB}}", i); }, nullptr},
        {"key name: lower-case GUID, no icon", Expect::Listed,
         [](int i) { return Printf(L"{%08x-abcd-abcd-abcd-abcdefabcdef}", i); },
         [](HKEY h, int) {
             RegDeleteValueW(h, L"DisplayIcon");
             Dword(h, L"WindowsInstaller", 1);
         }},
        {"key name: packed product code", Expect::Listed, [](int i) { return Printf(L"%08X00000000000000000000FFFFFF", i); },
         nullptr},
        {"key name: GUID with a space", Expect::Listed,
         [](int i) { return Printf(L"{%08X-1234-1234-1234-1234567890AB} ", i); }, nullptr},
        {"key name of 255 characters", Expect::Listed, [](int i) { return Pad(Printf(L"KxHostileLong%04d", i), 255, L'k'); },
         nullptr},
        {"key name in CJK with an emoji", Expect::Listed, [](int i) { return Printf(L"KxHostile\x952E\x540D%04d\xD83D\xDE00", i); },
         nullptr},
        {"key name with trailing dots and spaces", Expect::Listed, [](int i) { return Printf(L"KxHostile %04d. . ", i); },
         nullptr},
        {"key name with slashes", Expect::Listed, [](int i) { return Printf(L"KxHostile/%04d/x", i); }, nullptr},
        {"key name: KB and digits, then more", Expect::Listed, [](int i) { return Printf(L"KB%07d-b", i); }, nullptr},
        // Must not be listed.
        {"hotfix key name", Expect::Dropped, [](int i) { return Printf(L"KB%07d", i); }, nullptr},
        {"hotfix key name after a GUID", Expect::Dropped,
         [](int i) { return Printf(L"{%08X-1234-1234-1234-1234567890AB}.KB2468871", i); }, nullptr},
        {"hotfix by its uninstaller", Expect::Dropped, [](int i) { return Printf(L"KxHostileKB%04d-x", i); },
         [](HKEY h, int) { Text(h, L"InstallLocation", L"C:\\Windows\\$NtUninstallKB99$\\SPUNINST.EXE"); }},
        {"SystemComponent 1", Expect::Dropped, nullptr, [](HKEY h, int) { Dword(h, L"SystemComponent", 1); }},
        {"ParentKeyName set", Expect::Dropped, nullptr, [](HKEY h, int) { Text(h, L"ParentKeyName", L"KxHostileParent"); }},
        {"no DisplayName", Expect::Dropped, nullptr, [](HKEY h, int) { RegDeleteValueW(h, L"DisplayName"); }},
        {"DisplayName of 0 bytes", Expect::Dropped, nullptr, [](HKEY h, int) { Bytes(h, L"DisplayName", REG_SZ, 0); }},
        {"DisplayName of a NUL only", Expect::Dropped, nullptr, [](HKEY h, int) { TextBytes(h, L"DisplayName", L"", 2); }},
        {"DisplayName of 64 KB", Expect::Dropped, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", Pad(SoundName(i), k64K / 2 - 1, L'n')); }},
        {"DisplayName past 300 characters", Expect::Dropped, nullptr,
         [](HKEY h, int i) { Text(h, L"DisplayName", Pad(SoundName(i), 320, L'n')); }},
        // Names of another value type: taking the bytes as text or not are both sound.
        {"DisplayName as REG_MULTI_SZ", Expect::Open, nullptr,
         [](HKEY h, int i) {
             std::wstring s = SoundName(i) + std::wstring(1, L'\0') + L"second" + std::wstring(2, L'\0');
             kxbench::SetRawValue(h, L"DisplayName", REG_MULTI_SZ, s.data(), static_cast<DWORD>(s.size() * 2));
         }},
        {"DisplayName as REG_BINARY text", Expect::Open, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", SoundName(i), REG_BINARY); }},
        {"DisplayName as REG_DWORD", Expect::Open, nullptr,
         [](HKEY h, int i) { Dword(h, L"DisplayName", 0x00480000u | static_cast<DWORD>(0x4100 + i % 26)); }},
        {"DisplayName as REG_NONE text", Expect::Open, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", SoundName(i), REG_NONE); }},
        {"DisplayName of value type 0x1234", Expect::Open, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", SoundName(i), 0x1234); }},
        {"DisplayName of 260 characters without terminator", Expect::Open, nullptr,
         [](HKEY h, int i) { TextNoNul(h, L"DisplayName", Pad(SoundName(i) + L" ", 260, L'n')); }},
    };
    return s;
}

// Names whose text the list must show unchanged (the rest are checked only for being listed).
bool NameReadsBack(const char* pszShape) {
    const std::string shape = pszShape;
    return shape.rfind("DisplayName", 0) != 0 || shape == "DisplayName without terminator" ||
           shape == "DisplayName with an embedded NUL" || shape == "DisplayName of an odd byte count" ||
           shape == "DisplayName as REG_EXPAND_SZ";
}

std::vector<Entry> Machine(int n, const std::wstring& dir) {
    const Folders folders = MakeFolders(dir);
    const std::vector<Shape> shapes = Shapes(folders);
    std::vector<Entry> entries;
    int nHostile = 0;
    for (int i = 0; i < n; ++i) {
        Entry e;
        // Mostly HKLM; every fifth entry in HKCU and every fifth below Wow6432Node.
        e.nRoot = i % 5 == 3 ? 1 : i % 5 == 4 ? 2 : 0;
        if (i % 3 == 0) {
            e.bWellFormed = true;
            e.pszShape = "well-formed";
            e.keyName = i % 2 ? Printf(L"{%08X-4B58-4B58-8000-000000000000}", i) : Printf(L"KxHostileWell%04d", i);
            e.name = Printf(L"KxHostile Well %04d", i);
            const std::wstring folder = folders.apps + Printf(L"\\Well%04d", i);
            const std::wstring name = e.name;
            const bool bFolder = i % 4 == 0;
            e.write = [name, folder, bFolder, i](HKEY h) {
                Text(h, L"DisplayName", name);
                Text(h, L"UninstallString", L"\"" + folder + L"\\uninst.exe\" /S");
                Text(h, L"DisplayIcon", folder + L"\\app.exe,0");
                if (bFolder) Text(h, L"InstallLocation", folder);
                Dword(h, L"EstimatedSize", 100 + i);
                Text(h, L"InstallDate", L"20240115");
                Text(h, L"DisplayVersion", L"1.0." + std::to_wstring(i));
                Text(h, L"Publisher", L"KxHostile");
            };
        } else {
            const Shape& shape = shapes[nHostile++ % shapes.size()];
            e.pszShape = shape.pszName;
            e.expect = shape.expect;
            e.keyName = shape.key ? shape.key(i) : Printf(L"KxHostileOdd%04d", i);
            if (shape.expect == Expect::Listed && NameReadsBack(shape.pszName)) e.name = SoundName(i);
            auto write = shape.write;
            e.write = [write, i](HKEY h) {
                Text(h, L"DisplayName", SoundName(i));
                Text(h, L"UninstallString", Printf(L"\"C:\\KxHostile\\none%04d\\uninst.exe\" /S", i));
                Text(h, L"DisplayIcon", Printf(L"C:\\KxHostile\\none%04d\\app.exe,0", i));
                if (write) write(h, i);
            };
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

int Write(int n, const std::wstring& dir) {
    const Folders folders = MakeFolders(dir);
    int nFiles = 0;
    for (int i = 0; i < n; i += 12)  // every fourth well-formed entry has its folder
        nFiles += kxbench::MakeFile(folders.apps + Printf(L"\\Well%04d\\uninst.exe", i)) +
                  kxbench::MakeFile(folders.apps + Printf(L"\\Well%04d\\app.exe", i));
    // The deep tree: its deepest paths pass 440 characters.
    std::wstring deep = L"\\\\?\\" + folders.deep;
    for (int level = 0; level < kDeepLevels; ++level) {
        deep += L"\\" + DeepSegment();
        nFiles += kxbench::MakeFile(deep + L"\\app.exe") + kxbench::MakeFile(deep + Printf(L"\\file%d.dat", level));
    }
    nFiles += kxbench::MakeFile(L"\\\\?\\" + folders.long259 + L"\\app.exe");

    int nWritten = 0;
    int nRoot[3] = {};
    for (const Entry& e : Machine(n, dir)) {
        kx::unique_hkey key = kxbench::CreateMarkedEntry(kxbench::kUninstallRoots[e.nRoot], e.keyName, kOwner);
        if (!key) {
            printf("cannot create entry %ls (%s)\n", e.keyName.c_str(), e.pszShape);
            continue;
        }
        e.write(key.get());
        ++nWritten;
        ++nRoot[e.nRoot];
    }
    printf("machine: %d entries (HKLM %d, HKCU %d, Wow6432Node %d), %d files in their folders\n", nWritten, nRoot[0],
           nRoot[1], nRoot[2], nFiles);
    return nWritten == n ? 0 : 1;
}

// ---- one child run ----

int g_nReady = 0;
bool g_bVerbose = false;  // a line per hostile entry (KX_HOSTILE_VERBOSE=1)

// The host's view while the component works: a GetSize every 20 ms (after the previous one returned), and the
// longest it had to wait for the list.
const UINT_PTR kProbeTimer = 1;
IKxListMgr* g_pProbeList = nullptr;
DWORD g_dwLongestWaitMs = 0;

LRESULT CALLBACK ListenerProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_LISTMGR) {
        if (wParam == ((static_cast<WPARAM>(LIST_SOFT) << 16) | ACT_LIST_READY)) ++g_nReady;
        return 0;
    }
    if (uMsg == WM_TIMER && wParam == kProbeTimer) {
        KillTimer(hWnd, kProbeTimer);
        if (!g_pProbeList) return 0;
        UINT nSize = 0;
        const DWORD t0 = GetTickCount();
        g_pProbeList->GetSize(LIST_SOFT, &nSize);
        g_dwLongestWaitMs = std::max(g_dwLongestWaitMs, GetTickCount() - t0);
        SetTimer(hWnd, kProbeTimer, 20, nullptr);
        return 0;
    }
    return DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

// A crash in any thread ends here: it names the code and the module, and the process exits with the code.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* p) {
    const EXCEPTION_RECORD* r = p->ExceptionRecord;
    HMODULE hModule = nullptr;
    wchar_t szModule[MAX_PATH] = L"?";
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(r->ExceptionAddress), &hModule))
        GetModuleFileNameW(hModule, szModule, MAX_PATH);
    printf("crash: exception 0x%08lX at %ls+0x%llx in thread %lu\n", r->ExceptionCode, szModule,
           static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(r->ExceptionAddress) -
                                           reinterpret_cast<ULONG_PTR>(hModule)),
           GetCurrentThreadId());
    fflush(stdout);
    TerminateProcess(GetCurrentProcess(), r->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool WaitReady(int nCount) {
    return kxhost::PumpUntil([nCount] { return g_nReady >= nCount; }, kListBoundMs);
}

int List(int n, const std::wstring& dir, const std::wstring& mode, const std::wstring& resultFile) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    g_bVerbose = _wgetenv(L"KX_HOSTILE_VERBOSE") && _wgetenv(L"KX_HOSTILE_VERBOSE")[0] == L'1';
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const std::wstring cacheDir = dir + L"\\cache";
    const std::wstring cacheFile = cacheDir + L"\\KxUninstall_32";
    if (mode == L"fresh") DeleteFileW(cacheFile.c_str());
    const bool bHadCache = GetFileAttributesW(cacheFile.c_str()) != INVALID_FILE_ATTRIBUTES;

    kxbench::CComponent component;
    kx::com_ptr<IKxUninstMgr> uninst;
    kx::com_ptr<IKxListMgr> list;
    if (!component.Load() || !component.Create(uninst, list)) return 2;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxHostileHost";
    RegisterClassW(&wc);
    HWND hHost = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    BSTR bstrDir = SysAllocString(cacheDir.c_str());
    uninst->SetCacheDir(bstrDir);
    SysFreeString(bstrDir);
    list->AddListener(hHost, LIST_SOFT);

    g_pProbeList = list.get();
    SetTimer(hHost, kProbeTimer, 20, nullptr);
    const DWORD t0 = GetTickCount();
    uninst->Init();
    bool bReady = WaitReady(1);
    // The list came from the cache when the file was there and is still there (a rejected file is deleted).
    const bool bFromCache = bHadCache && GetFileAttributesW(cacheFile.c_str()) != INVALID_FILE_ATTRIBUTES;
    std::string source = bFromCache ? "from the cache" : bHadCache ? "cache rejected, from discovery" : "from discovery";
    if (bReady && mode == L"refresh") {
        const DWORD tList = GetTickCount();
        if (bFromCache) bReady = WaitReady(2);  // the rebuild after the cached list
        const DWORD tRebuilt = GetTickCount();
        const DWORD dwRebuildWaitMs = g_dwLongestWaitMs;
        g_dwLongestWaitMs = 0;
        const int nBefore = g_nReady;
        uninst->Refresh();
        const DWORD tRefreshCall = GetTickCount();
        bReady = bReady && WaitReady(nBefore + 1);
        char sz[200];
        snprintf(sz, sizeof(sz),
                 "after Refresh (first list %lu ms, rebuild %lu ms with a GetSize waiting up to %lu ms, Refresh call "
                 "%lu ms, new list %lu ms)",
                 tList - t0, tRebuilt - tList, dwRebuildWaitMs, tRefreshCall - tRebuilt, GetTickCount() - tRefreshCall);
        source = sz;
    }
    const DWORD dwMs = GetTickCount() - t0;
    g_pProbeList = nullptr;
    if (!bReady) {
        printf("%ls: no list within %lu ms\n", mode.c_str(), kListBoundMs);
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 4);  // Uninit could wait on the very thing that hangs
    }

    // Every record, by index; ours are known by their key.
    std::map<std::wstring, kxbench::SoftFields> listed;  // by key
    UINT nSize = 0;
    list->GetSize(LIST_SOFT, &nSize);
    std::vector<BYTE> buffer;
    int nBadRecords = 0;
    for (UINT i = 0; i < nSize; ++i) {
        kxbench::SoftFields fields;
        if (kxbench::ReadSoftRecord(list.get(), i, buffer) != 0 ||
            !kxbench::DecodeSoftRecord(buffer.data(), buffer.size(), fields)) {
            ++nBadRecords;
            continue;
        }
        listed[fields.Key] = fields;
    }

    // Search over the hostile names too: the substring pass and the pinyin pass see every listed name.
    std::vector<UINT> ids(nSize + 16);
    UINT nFound = static_cast<UINT>(ids.size());
    BSTR text = SysAllocString(L"kxhostile odd");
    const HRESULT hrSearch = list->Search(LIST_SOFT, 2, text, ids.data(), &nFound);
    SysFreeString(text);
    if (FAILED(hrSearch)) nFound = 0;

    int nWell = 0, nWellListed = 0, nSound = 0, nSoundListed = 0, nDrop = 0, nDropListed = 0, nOpen = 0, nOpenListed = 0;
    int nOurs = 0, nWrongNames = 0;
    std::vector<std::string> problems;
    auto note = [&](const Entry& e, const char* what) {
        char line[600];
        snprintf(line, sizeof(line), "  %s: %ls (%s)", what, e.KeyPath().c_str(), e.pszShape);
        if (problems.size() < 20) problems.push_back(line);
    };
    for (const Entry& e : Machine(n, dir)) {
        auto found = listed.find(e.KeyPath());
        const bool bListed = found != listed.end();
        nOurs += bListed;
        if (g_bVerbose && !e.bWellFormed)
            printf("  %-55s %s name [%ls] folder [%ls] size %lld\n", e.pszShape, bListed ? "listed " : "missing",
                   bListed ? found->second.Name.c_str() : L"", bListed ? found->second.Folder.c_str() : L"",
                   bListed ? found->second.Size : 0LL);
        if (bListed && !e.name.empty() && found->second.Name != e.name) {
            ++nWrongNames;
            note(e, "listed under another name");
        }
        switch (e.expect) {
        case Expect::Listed:
            (e.bWellFormed ? nWell : nSound) += 1;
            (e.bWellFormed ? nWellListed : nSoundListed) += bListed;
            if (!bListed) note(e, e.bWellFormed ? "well-formed entry missing" : "readable entry missing");
            break;
        case Expect::Dropped:
            ++nDrop;
            nDropListed += bListed;
            if (bListed) note(e, "listed although it must not be");
            break;
        case Expect::Open:
            ++nOpen;
            nOpenListed += bListed;
            break;
        }
    }
    printf("%-8ls %s in %lu ms, GetSize waited up to %lu ms: %u records (%d unreadable), %d of ours; well-formed %d/%d, hostile with a readable "
           "name %d/%d, must be dropped %d listed of %d, other value types %d listed of %d, %d names changed; a search "
           "found %u\n",
           mode.c_str(), source.c_str(), dwMs, g_dwLongestWaitMs, nSize, nBadRecords, nOurs, nWellListed, nWell, nSoundListed, nSound,
           nDropListed, nDrop, nOpenListed, nOpen, nWrongNames, nFound);
    for (const std::string& line : problems) printf("%s\n", line.c_str());
    fflush(stdout);

    list->RemoveListener(hHost, LIST_SOFT);
    uninst->Uninit();
    list.reset();
    uninst.reset();
    DestroyWindow(hHost);

    FILE* result = _wfopen(resultFile.c_str(), L"w");
    if (result) {
        fprintf(result, "%d %d %d\n", nOurs, nWellListed, nWell);
        fclose(result);
    }
    const bool bGood = nBadRecords == 0 && nWellListed == nWell && nSoundListed == nSound && nDropListed == 0 &&
                       nWrongNames == 0;
    return bGood ? 0 : 1;
}

// ---- the driver ----

int Run(int n, const std::wstring& dir, int nRounds) {
    wchar_t szExe[MAX_PATH];
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    const std::wstring resultFile = dir + L"\\result.txt";
    const wchar_t* modes[] = {L"fresh", L"cache", L"refresh"};
    int nRuns = 0, nCrashes = 0, nFailed = 0, nWell = 0;
    int nListed = -1;
    bool bSame = true;
    for (int round = 0; round < nRounds; ++round) {
        for (const wchar_t* mode : modes) {
            DeleteFileW(resultFile.c_str());
            std::wstring cmd = L"\"" + std::wstring(szExe) + L"\" list " + std::to_wstring(n) + L" \"" + dir + L"\" " +
                               mode + L" \"" + resultFile + L"\"";
            std::vector<wchar_t> line(cmd.begin(), cmd.end());
            line.push_back(0);
            STARTUPINFOW si = {sizeof(si)};
            PROCESS_INFORMATION pi = {};
            fflush(stdout);
            // In the bench's own folder, as a host runs in its install folder: a path of "\\" then names the root
            // of C:, where Wine would otherwise take the Unix file system's (Z:, the folder scripts/bench ran in).
            if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, dir.c_str(), &si, &pi))
                return 3;
            kx::unique_handle process(pi.hProcess), thread(pi.hThread);
            ++nRuns;
            DWORD code = 0;
            if (WaitForSingleObject(process.get(), kListBoundMs + 60000) == WAIT_TIMEOUT) {
                TerminateProcess(process.get(), 5);
                WaitForSingleObject(process.get(), INFINITE);
                printf("%ls: the child run hung and was ended\n", mode);
                code = 5;
            } else {
                GetExitCodeProcess(process.get(), &code);
            }
            if (code == 1) ++nFailed;
            if (code != 0 && code != 1) {
                ++nCrashes;
                printf("%ls: the child run ended abnormally with 0x%08lX\n", mode, code);
                continue;
            }
            int nOurs = -1, nWellListed = 0;
            FILE* result = _wfopen(resultFile.c_str(), L"r");
            if (result) {
                if (fscanf(result, "%d %d %d", &nOurs, &nWellListed, &nWell) != 3) nOurs = -1;
                fclose(result);
            }
            if (nListed >= 0 && nOurs != nListed) bSame = false;
            nListed = nOurs;
        }
    }
    DeleteFileW(resultFile.c_str());
    printf("%d child runs: %d crashed or hung, %d listed the machine wrongly; %d well-formed entries%s\n", nRuns,
           nCrashes, nFailed, nWell, bSame ? ", every run listed the same number of ours" : "; the runs listed different numbers of ours");
    printf("hostile registry: %d entries, %d crashes, %d listed\n", n, nCrashes, nListed < 0 ? 0 : nListed);
    fflush(stdout);
    return nCrashes || nFailed ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"write" && argc >= 4) return Write(_wtoi(argv[2]), argv[3]);
    if (mode == L"remove") {
        printf("removed %d entries\n", kxbench::RemoveMarkedEntries(kOwner));
        return 0;
    }
    if (mode == L"run" && argc >= 5) return Run(_wtoi(argv[2]), argv[3], _wtoi(argv[4]));
    if (mode == L"list" && argc >= 6) return List(_wtoi(argv[2]), argv[3], argv[4], argv[5]);
    fprintf(stderr, "usage: hostile_bench write N DIR | remove | run N DIR ROUNDS | list N DIR MODE RESULT\n");
    return 2;
}

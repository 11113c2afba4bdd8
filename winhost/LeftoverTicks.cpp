#include "LeftoverTicks.h"

#include <windows.h>

#include <cwctype>

#include "LowerText.h"
#include "PathText.h"

namespace {

// The registry keys whose values the scanner matches by their data (the startup entries of the machine and of the
// user); a value found elsewhere was matched by its name.
const wchar_t kRunKeyTail[] = L"\\software\\microsoft\\windows\\currentversion\\run";
const wchar_t* const kRunRoots[] = {L"hkey_local_machine", L"hkey_current_user"};

using kx::Lower;
using kx::TrimSlashes;

bool EndsWith(const std::wstring& s, const std::wstring& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The install folder in lower case without a trailing backslash; empty when there is none or when it is too
// broad to stand for one program (a drive root, a path that is not absolute).
std::wstring ProgramFolder(const CSoftItem& program) {
    const std::wstring folder = TrimSlashes(Lower(program.Folder));
    const bool bAbsolute = folder.size() > 3 && iswalpha(folder[0]) && folder[1] == L':' && folder[2] == L'\\';
    return bAbsolute ? folder : std::wstring();
}

bool InFolder(const std::wstring& path, const std::wstring& folder) {
    const std::wstring p = TrimSlashes(Lower(path));
    return p == folder || (p.size() > folder.size() && p.compare(0, folder.size(), folder) == 0 &&
                           p[folder.size()] == L'\\');
}

bool IsStartupValue(const std::wstring& text) {
    const std::wstring lower = Lower(text);
    const size_t p = lower.find(L"\\\\");
    if (p == std::wstring::npos || p == 0) return false;
    const std::wstring key = lower.substr(0, p);
    for (const wchar_t* root : kRunRoots)
        if (key == root + std::wstring(kRunKeyTail)) return true;
    return false;
}

}  // namespace

bool TickedByDefault(const CPowerSweepItem& item, const CSoftItem& program) {
    if (item.Level != CPowerSweepItem::LEVEL_MEMBER) return false;
    const std::wstring folder = ProgramFolder(program);
    switch (item.Kind) {
        case CPowerSweepItem::KIND_FOLDER:
        case CPowerSweepItem::KIND_FILE:
            return !folder.empty() && InFolder(item.Path, folder);
        case CPowerSweepItem::KIND_SHORTCUT:
            // Only a shortcut whose target lies in the install folder is ever offered.
            return !folder.empty() && EndsWith(Lower(item.Path), L".lnk");
        case CPowerSweepItem::KIND_REGISTRY:
            if (item.Path.find(L"\\\\") != std::wstring::npos) return !folder.empty() && IsStartupValue(item.Path);
            return !program.Key.empty() && TrimSlashes(Lower(item.Path)) == TrimSlashes(Lower(program.Key));
        default:
            return false;
    }
}

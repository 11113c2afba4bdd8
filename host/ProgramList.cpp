#include "ProgramList.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>

namespace {

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
    return s;
}

bool NameOrder(const Program& a, const Program& b) {
    int r = CompareNames(a.item.Name, b.item.Name);
    if (r) return r < 0;
    r = CompareNames(a.item.Key, b.item.Key);
    if (r) return r < 0;
    return a.item.Id < b.item.Id;
}

}  // namespace

void SortPrograms(std::vector<Program>& programs, SortKey key) {
    std::stable_sort(programs.begin(), programs.end(), [key](const Program& a, const Program& b) {
        switch (key) {
            case SortKey::Size:
                if (a.item.Size != b.item.Size) return a.item.Size > b.item.Size;
                break;
            case SortKey::Date: {
                std::wstring da = DateDigits(a.item.Time), db = DateDigits(b.item.Time);
                if (da != db) return da > db;
                break;
            }
            case SortKey::Category:
                if (int r = CompareNames(a.item.Category, b.item.Category)) return r < 0;
                break;
            case SortKey::Name:
                break;
        }
        return NameOrder(a, b);
    });
}

std::vector<const Program*> FindPrograms(const std::vector<Program>& programs, const std::wstring& target) {
    std::vector<const Program*> found;
    if (!target.empty() && target.find_first_not_of(L"0123456789") == std::wstring::npos && target.size() <= 10) {
        unsigned long long id = std::stoull(target);
        for (const Program& p : programs)
            if (p.item.Id == id) found.push_back(&p);
        if (!found.empty()) return found;
    }
    const std::wstring wanted = Lower(target);
    for (const Program& p : programs)
        if (Lower(p.item.Name) == wanted) found.push_back(&p);
    if (!found.empty()) return found;
    for (const Program& p : programs)
        if (Lower(p.item.Name).find(wanted) != std::wstring::npos) found.push_back(&p);
    return found;
}

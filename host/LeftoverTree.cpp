#include "LeftoverTree.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <set>

#include "JsonObject.h"
#include "ListRender.h"
#include "LowerText.h"
#include "PathText.h"
#include "ScopedHandle.h"
#include "WinText.h"

namespace {

// Files and bytes below a folder; links are counted as what they are, never followed.
void MeasureFolder(const std::wstring& folder, long long& bytes, unsigned& files) {
    WIN32_FIND_DATAW fd;
    kx::unique_hfind find(FindFirstFileW((folder + L"\\*").c_str(), &fd));
    if (!find) return;
    do {
        if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
        const bool bFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bFolder && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            MeasureFolder(folder + L"\\" + fd.cFileName, bytes, files);
        } else if (!bFolder) {
            bytes += static_cast<long long>((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
            ++files;
        }
    } while (FindNextFileW(find.get(), &fd));
}

void Measure(Leftover& l) {
    if (!l.IsEntry() || !l.IsFileSystem()) return;
    const std::wstring path = kx::TrimSlashesKeepRoot(l.item.Path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
    l.linuxPath = LinuxPath(path);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        l.bytes = 0;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) MeasureFolder(path, l.bytes, l.files);
        return;
    }
    l.bytes = static_cast<long long>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

std::string Padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// The entries of the group whose head is at index i (up to the next head).
template <typename Fn>
void ForGroupEntries(const std::vector<Leftover>& list, size_t head, Fn&& fn) {
    for (size_t j = head + 1; j < list.size() && list[j].IsEntry(); ++j) fn(list[j]);
}

bool ParseNumber(const std::wstring& text, unsigned& n) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    n = static_cast<unsigned>(std::stoul(text));
    return true;
}

}  // namespace

std::string KindWords(UINT nKind) {
    switch (nKind) {
        case CPowerSweepItem::KIND_FOLDER: return "folders";
        case CPowerSweepItem::KIND_FILE: return "files";
        case CPowerSweepItem::KIND_REGISTRY: return "registry";
        case CPowerSweepItem::KIND_SHORTCUT: return "shortcuts";
        default: return "all";
    }
}

std::vector<Leftover> MeasureLeftovers(const std::vector<CPowerSweepItem>& items) {
    std::vector<Leftover> list;
    unsigned number = 0;
    for (const CPowerSweepItem& item : items) {
        Leftover l;
        l.item = item;
        if (item.Level != CPowerSweepItem::LEVEL_ROOT) l.number = ++number;
        Measure(l);
        list.push_back(l);
    }
    return list;
}

std::string LeftoverTree(const std::vector<Leftover>& list, const std::wstring& programName) {
    size_t entries = 0, groups = 0;
    for (const Leftover& l : list) (l.IsEntry() ? entries : groups) += l.item.Level != CPowerSweepItem::LEVEL_ROOT;
    std::string out = "Leftovers of " + ToUtf8(programName) + ": " + std::to_string(entries) +
                      (entries == 1 ? " entry" : " entries") + " in " + std::to_string(groups) +
                      (groups == 1 ? " group" : " groups") + "\n";
    const std::vector<size_t> rowOf = LeftoverRowOf(list);
    for (size_t i = 0; i < list.size(); ++i) {
        const Leftover& l = list[i];
        if (l.item.Level == CPowerSweepItem::LEVEL_ROOT) continue;
        std::string line = Padded(std::to_string(l.number), 4) + "  ";
        if (!l.IsEntry()) {
            size_t count = 0;
            long long bytes = 0;
            ForGroupEntries(list, i, [&](const Leftover& e) {
                ++count;
                if (e.bytes > 0 && e.item.Kind != CPowerSweepItem::KIND_FOLDER) bytes += e.bytes;
            });
            line += ToUtf8(l.item.Path) + " " + KindWords(l.item.Kind) + " (" + std::to_string(count) +
                    (l.item.Kind == CPowerSweepItem::KIND_FILE || l.item.Kind == CPowerSweepItem::KIND_SHORTCUT
                         ? ", " + HumanSize(bytes)
                         : "") +
                    ")";
        } else {
            std::string size = !l.IsFileSystem() ? "" : l.bytes < 0 ? "gone" : HumanSize(l.bytes);
            line += Padded(size, 10) + "  " + ToUtf8(l.item.Path);
            if (l.item.Kind == CPowerSweepItem::KIND_FOLDER && l.bytes >= 0)
                line += "  (" + std::to_string(l.files) + (l.files == 1 ? " file)" : " files)");
            if (rowOf[i] != i) line += "  (the same as " + std::to_string(list[rowOf[i]].number) + ")";
        }
        out += line + "\n";
    }
    return out;
}

std::string LeftoversJson(const std::vector<Leftover>& list, const std::string& indent) {
    std::string out = "[";
    bool first = true;
    for (const Leftover& l : list) {
        JsonObject o("");
        o.Unsigned("number", l.number).Unsigned("id", l.item.Id).Unsigned("kind", l.item.Kind);
        o.Unsigned("level", l.item.Level).Raw("group", "\"" + KindWords(l.item.Kind) + "\"");
        o.Text("path", l.item.Path);
        if (l.IsEntry() && l.IsFileSystem()) {
            o.Text("linuxPath", l.linuxPath).Number("bytes", l.bytes);
            if (l.item.Kind == CPowerSweepItem::KIND_FOLDER) o.Unsigned("files", l.files);
        }
        out += (first ? "\n" : ",\n") + indent + "  " + o.Close();
        first = false;
    }
    return out + (first ? "]" : "\n" + indent + "]");
}

bool ChooseLeftovers(const std::vector<Leftover>& list, const std::wstring& answer, std::vector<UINT>& ids,
                     std::wstring& error) {
    std::set<unsigned> chosen;  // numbers of entries
    unsigned last = 0;
    for (const Leftover& l : list) last = l.number > last ? l.number : last;
    const std::wstring text = kx::Lower(answer);
    if (text == L"all") {
        for (const Leftover& l : list)
            if (l.IsEntry()) chosen.insert(l.number);
    } else {
        std::wstring token;
        std::vector<std::wstring> tokens;
        for (wchar_t c : text + L",") {
            if (c == L',' || c == L' ' || c == L'\t') {
                if (!token.empty()) tokens.push_back(token);
                token.clear();
            } else {
                token += c;
            }
        }
        if (tokens.empty()) {
            error = L"no entries given";
            return false;
        }
        for (const std::wstring& t : tokens) {
            const size_t dash = t.find(L'-');
            unsigned from = 0, to = 0;
            bool ok = dash == std::wstring::npos ? ParseNumber(t, from) && ParseNumber(t, to)
                                                  : ParseNumber(t.substr(0, dash), from) &&
                                                        ParseNumber(t.substr(dash + 1), to);
            if (!ok || from == 0 || from > to || to > last) {
                error = L"'" + t + L"' is not a number or range of the entries 1-" + std::to_wstring(last);
                return false;
            }
            for (size_t i = 0; i < list.size(); ++i) {
                const Leftover& l = list[i];
                if (l.number < from || l.number > to) continue;
                if (l.IsEntry())
                    chosen.insert(l.number);
                else
                    ForGroupEntries(list, i, [&](const Leftover& e) { chosen.insert(e.number); });
            }
        }
    }
    // A path offered twice goes as soon as either number is chosen: both are.
    const std::vector<size_t> rowOf = LeftoverRowOf(list);
    std::set<size_t> rows;
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].IsEntry() && chosen.count(list[i].number)) rows.insert(rowOf[i]);
    ids.clear();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].IsEntry() && rows.count(rowOf[i])) ids.push_back(list[i].item.Id);
    return true;
}

std::vector<size_t> LeftoverRowOf(const std::vector<Leftover>& list) {
    std::vector<size_t> rows(list.size());
    std::map<std::wstring, size_t> firstOfPath;  // within the current group
    for (size_t i = 0; i < list.size(); ++i) {
        rows[i] = i;
        if (!list[i].IsEntry()) {
            firstOfPath.clear();
            continue;
        }
        rows[i] = firstOfPath.emplace(kx::Lower(kx::TrimSlashes(list[i].item.Path)), i).first->second;
    }
    return rows;
}

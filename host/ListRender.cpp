#include "ListRender.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "JsonObject.h"
#include "WinText.h"

const char kNoFolder[] = "no folder";

int CompareNames(const std::wstring& a, const std::wstring& b) {
    int r = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                           static_cast<int>(b.size()));
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_GREATER_THAN) return 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::wstring DateDigits(const std::wstring& date) {
    std::wstring digits;
    for (wchar_t c : date)
        if (c >= L'0' && c <= L'9') digits += c;
    return digits;
}

std::string HumanSize(long long bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = static_cast<double>(bytes) / 1024;
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < sizeof(kUnits) / sizeof(kUnits[0])) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    snprintf(text, sizeof(text), "%.1f %s", value, kUnits[unit]);
    return text;
}

namespace {

struct UseClass {
    const char* table;  // the table's cell
    const char* json;   // the JSON value
    const char* sheet;  // show's line
};

const UseClass& UseClassOf(unsigned use) {
    static const UseClass kClasses[] = {
        {"unknown", "unknown", "unknown"},
        {"> 30 days", "older", "more than 30 days ago"},
        {"< 30 days", "month", "within 30 days"},
        {"< 7 days", "week", "within 7 days"},
    };
    return kClasses[use < 4 ? use : 0];
}

bool IsWide(unsigned cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) ||
           (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

// One character (a surrogate pair counts as one) starting at i: its length in code units and its width.
void CharAt(const std::wstring& s, size_t i, size_t& units, size_t& width) {
    unsigned cp = s[i];
    units = 1;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
        units = 2;
    }
    width = IsWide(cp) ? 2 : 1;
}

// The text cut to at most width columns, "…" marking the cut.
std::wstring Fit(const std::wstring& s, size_t width) {
    if (DisplayWidth(s) <= width) return s;
    std::wstring out;
    size_t used = 0;
    for (size_t i = 0, units, w; i < s.size(); i += units) {
        CharAt(s, i, units, w);
        if (used + w + 1 > width) break;
        out.append(s, i, units);
        used += w;
    }
    return out + L"\x2026";
}

// Control characters would break the lines of a table or a sheet.
std::wstring OrDash(const std::wstring& s) {
    if (s.empty()) return L"-";
    std::wstring out = s;
    for (wchar_t& c : out)
        if (c < 0x20) c = L' ';
    return out;
}
std::wstring Widen(const std::string& s) { return FromUtf8(s); }

struct Column {
    const wchar_t* title;
    bool rightAligned;
    size_t minWidth;  // 0: never cut
};

// Rows of cells under their titles, each column padded to its widest cell; the last column is not padded.
// Columns with a minimum width are cut, in order, until the table fits maxWidth.
std::string Table(const std::vector<Column>& columns, std::vector<std::vector<std::wstring>> rows, size_t maxWidth) {
    std::vector<std::wstring> titles;
    for (const Column& c : columns) titles.push_back(c.title);
    rows.insert(rows.begin(), titles);
    std::vector<size_t> widths(columns.size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    size_t total = 2 * (columns.size() - 1);
    for (size_t w : widths) total += w;
    for (size_t c = 0; c < columns.size() && total > maxWidth; ++c) {
        if (!columns[c].minWidth || widths[c] <= columns[c].minWidth) continue;
        size_t cut = std::min(widths[c] - columns[c].minWidth, total - maxWidth);
        widths[c] -= cut;
        total -= cut;
    }
    std::string out;
    for (const auto& row : rows) {
        std::wstring line;
        for (size_t c = 0; c < row.size(); ++c) {
            bool last = c + 1 == row.size();
            std::wstring cell = Fit(row[c], widths[c]);
            std::wstring pad(widths[c] - DisplayWidth(cell), L' ');
            if (columns[c].rightAligned)
                line += pad + cell;
            else
                line += last ? cell : cell + pad;
            if (!last) line += L"  ";
        }
        out += ToUtf8(line) + "\n";
    }
    return out;
}


std::string ReservedJson(const CSoftItem& it) {
    JsonObject o("");
    o.Text("ExtraText1", it.ExtraText1).Unsigned("ExtraFlag1", it.ExtraFlag1).Text("ExtraText2", it.ExtraText2);
    o.Text("ExtraText3", it.ExtraText3).Unsigned("ExtraFlag2", it.ExtraFlag2).Text("ExtraText4", it.ExtraText4);
    o.Unsigned("ExtraValue1", it.ExtraValue1).Unsigned("ExtraValue2", it.ExtraValue2);
    o.Text("ExtraText5", it.ExtraText5).Text("ExtraText6", it.ExtraText6).Text("ExtraText7", it.ExtraText7);
    o.Text("ExtraText8", it.ExtraText8).Unsigned("ExtraFlag3", it.ExtraFlag3);
    o.Unsigned("ExtraValue3", it.ExtraValue3).Unsigned("ExtraValue4", it.ExtraValue4);
    o.Unsigned("ExtraValue5", it.ExtraValue5).Unsigned("ExtraFlag4", it.ExtraFlag4);
    o.Unsigned("ExtraValue6", it.ExtraValue6).Unsigned("ExtraValue7", it.ExtraValue7);
    o.Unsigned("ExtraValue8", it.ExtraValue8).Unsigned("ExtraValue9", it.ExtraValue9);
    o.Unsigned("ExtraValue10", it.ExtraValue10);
    return o.Close();
}

std::string ProgramObject(const Program& p, const std::string& indent) {
    const CSoftItem& it = p.item;
    JsonObject o(indent);
    o.Unsigned("id", it.Id).Text("softId", it.SoftId).Text("name", it.Name);
    o.Text("publisher", p.facts.publisher).Text("version", p.facts.version).Text("category", it.Category);
    o.Text("installDate", it.Time).Number("size", it.Size);
    o.Raw("accessed", std::string("\"") + UseClassOf(it.Use).json + "\"");
    o.Text("folder", it.Folder).Text("icon", it.Icon).Text("uninstallCommand", p.facts.uninstallCommand);
    o.Text("registryKey", it.Key).Bool("softwareCentre", it.Virtual != 0);
    o.Text("brief", it.Brief).Text("infoUrl", it.InfoUrl).Raw("reserved", ReservedJson(it));
    return o.Close();
}

// The reserved fields that differ from nothing: "ExtraFlag1=1 ExtraText5=abc".
std::wstring ReservedSummary(const CSoftItem& it) {
    std::wstring out;
    auto add = [&out](const wchar_t* name, const std::wstring& value) {
        if (value.empty() || value == L"0") return;
        out += (out.empty() ? L"" : L" ") + std::wstring(name) + L"=" + value;
    };
    const struct { const wchar_t* name; const std::wstring* text; } texts[] = {
        {L"ExtraText1", &it.ExtraText1}, {L"ExtraText2", &it.ExtraText2}, {L"ExtraText3", &it.ExtraText3},
        {L"ExtraText4", &it.ExtraText4}, {L"ExtraText5", &it.ExtraText5}, {L"ExtraText6", &it.ExtraText6},
        {L"ExtraText7", &it.ExtraText7}, {L"ExtraText8", &it.ExtraText8}};
    const struct { const wchar_t* name; unsigned long long value; } numbers[] = {
        {L"ExtraFlag1", it.ExtraFlag1},   {L"ExtraFlag2", it.ExtraFlag2},   {L"ExtraFlag3", it.ExtraFlag3},
        {L"ExtraFlag4", it.ExtraFlag4},   {L"ExtraValue1", it.ExtraValue1}, {L"ExtraValue2", it.ExtraValue2},
        {L"ExtraValue3", it.ExtraValue3}, {L"ExtraValue4", it.ExtraValue4}, {L"ExtraValue5", it.ExtraValue5},
        {L"ExtraValue6", it.ExtraValue6}, {L"ExtraValue7", it.ExtraValue7}, {L"ExtraValue8", it.ExtraValue8},
        {L"ExtraValue9", it.ExtraValue9}, {L"ExtraValue10", it.ExtraValue10}};
    for (const auto& t : texts) add(t.name, *t.text);
    for (const auto& n : numbers) add(n.name, std::to_wstring(n.value));
    return (out.empty() ? L"all empty or 0" : out + L"; the rest empty or 0") + L" (carried, not interpreted)";
}

}  // namespace

std::string SizeCell(const CSoftItem& item) {
    return item.Size == 0 && item.Folder.empty() ? kNoFolder : HumanSize(item.Size);
}

std::string AccessCell(const CSoftItem& item) {
    return item.Use == 0 && item.Folder.empty() ? kNoFolder : UseClassOf(item.Use).table;
}

size_t DisplayWidth(const std::wstring& s) {
    size_t width = 0;
    for (size_t i = 0, units, w; i < s.size(); i += units) {
        CharAt(s, i, units, w);
        width += w;
    }
    return width;
}

std::string JsonString(const std::wstring& s) {
    std::string out = "\"";
    size_t runStart = 0;
    auto flush = [&](size_t end) {
        if (end > runStart) out += ToUtf8(s.substr(runStart, end - runStart));
    };
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        const char* escape = nullptr;
        char hex[8] = {0};
        bool high = c >= 0xD800 && c <= 0xDBFF;
        bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;  // a whole pair is plain UTF-8
            continue;
        }
        switch (c) {
            case L'"': escape = "\\\""; break;
            case L'\\': escape = "\\\\"; break;
            case L'\n': escape = "\\n"; break;
            case L'\r': escape = "\\r"; break;
            case L'\t': escape = "\\t"; break;
            case L'\b': escape = "\\b"; break;
            case L'\f': escape = "\\f"; break;
            default:
                // Control characters and lone surrogates (which UTF-8 cannot carry) as \u escapes.
                if (c < 0x20 || high || low) {
                    snprintf(hex, sizeof(hex), "\\u%04x", static_cast<unsigned>(c));
                    escape = hex;
                }
        }
        if (escape) {
            flush(i);
            out += escape;
            runStart = i + 1;
        }
    }
    flush(s.size());
    return out + "\"";
}

std::string SoftTable(const std::vector<Program>& programs, bool wide, size_t maxWidth) {
    std::vector<Column> columns = {{L"ID", true, 0},        {L"NAME", false, 16},     {L"VERSION", false, 7},
                                   {L"CATEGORY", false, 8}, {L"SIZE", true, 0},       {L"INSTALLED", false, 10},
                                   {L"ACCESSED", false, 0}};
    if (wide) {
        columns.insert(columns.begin() + 3, {L"PUBLISHER", false, 0});
        columns.push_back({L"KEY", false, 0});
    }
    std::vector<std::vector<std::wstring>> rows;
    for (const Program& p : programs) {
        const CSoftItem& it = p.item;
        std::vector<std::wstring> row = {std::to_wstring(it.Id),   OrDash(it.Name),        OrDash(p.facts.version),
                                         OrDash(it.Category),      Widen(SizeCell(it)),    OrDash(it.Time),
                                         Widen(AccessCell(it))};
        if (wide) {
            row.insert(row.begin() + 3, OrDash(p.facts.publisher));
            row.push_back(OrDash(it.Key));
        }
        rows.push_back(std::move(row));
    }
    return Table(columns, std::move(rows), wide ? static_cast<size_t>(-1) : maxWidth);
}

std::string ProgramJson(const Program& program) { return ProgramObject(program, "  ") + "\n"; }

std::string SoftJson(const std::vector<Program>& programs) {
    std::string out = "[";
    for (size_t i = 0; i < programs.size(); ++i) out += (i ? ",\n  " : "\n  ") + ProgramObject(programs[i], "    ");
    return out + (programs.empty() ? "]\n" : "\n]\n");
}

std::string ProgramSheet(const Program& program, const std::wstring& folderForUser) {
    const CSoftItem& it = program.item;
    std::wstring size = Widen(SizeCell(it));
    if (it.Size >= 1024) size += L" (" + std::to_wstring(it.Size) + L" bytes)";
    std::wstring folder = OrDash(it.Folder);
    if (!folderForUser.empty() && folderForUser != it.Folder) folder += L"\n" + std::wstring(19, L' ') + folderForUser;
    const std::vector<std::pair<const wchar_t*, std::wstring>> lines = {
        {L"ID", std::to_wstring(it.Id)},
        {L"SoftId", OrDash(it.SoftId)},
        {L"Publisher", OrDash(program.facts.publisher)},
        {L"Version", OrDash(program.facts.version)},
        {L"Category", OrDash(it.Category)},
        {L"Size", size},
        {L"Installed", OrDash(it.Time)},
        {L"Accessed", it.Use ? Widen(UseClassOf(it.Use).sheet) + L" (newest access to a file in its folder)"
                             : Widen(AccessCell(it))},
        {L"Folder", folder},
        {L"Icon", OrDash(it.Icon)},
        {L"Uninstall", OrDash(program.facts.uninstallCommand)},
        {L"Registry key", OrDash(it.Key)},
        {L"Software centre", it.Virtual ? L"yes" : L"no"},
        {L"Brief", OrDash(it.Brief)},
        {L"Info URL", OrDash(it.InfoUrl)},
        {L"Reserved", ReservedSummary(it)},
    };
    std::wstring out = OrDash(it.Name) + L"\n";
    for (const auto& line : lines) {
        std::wstring label = line.first;
        out += L"  " + label + std::wstring(17 - label.size(), L' ') + line.second + L"\n";
    }
    return ToUtf8(out);
}

std::string CategoryTable(const std::vector<CCategoryItem>& items) {
    std::vector<std::vector<std::wstring>> rows;
    for (const CCategoryItem& it : items) rows.push_back({std::to_wstring(it.Id), std::to_wstring(it.Count), it.Name});
    return Table({{L"ID", true, 0}, {L"COUNT", true, 0}, {L"NAME", false, 0}}, std::move(rows),
                 static_cast<size_t>(-1));
}

std::string CategoryJson(const std::vector<CCategoryItem>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        JsonObject o("");
        o.Unsigned("id", items[i].Id).Text("name", items[i].Name).Unsigned("count", items[i].Count);
        out += (i ? ",\n  " : "\n  ") + o.Close();
    }
    return out + (items.empty() ? "]\n" : "\n]\n");
}

#include "ListRender.h"

#include <algorithm>
#include <cstdio>

#include "CliOutput.h"

std::string HumanSize(long long bytes) {
    if (bytes <= 0) return bytes == 0 ? "-" : std::to_string(bytes) + " B";
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

std::string UseLabel(unsigned use) {
    switch (use) {
        case 3: return "this week";
        case 2: return "this month";
        case 1: return "rarely";
        default: return "-";
    }
}

namespace {

bool IsWide(unsigned cp) {
    return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) || (cp >= 0x3041 && cp <= 0x33FF) ||
           (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
           (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) ||
           (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

std::wstring OrDash(const std::wstring& s) { return s.empty() ? L"-" : s; }

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Rows of cells, each column padded to its widest cell; the last column is not padded.
std::string Table(const std::vector<std::vector<std::wstring>>& rows, const std::vector<bool>& rightAligned) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        if (widths.size() < row.size()) widths.resize(row.size(), 0);
        for (size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::wstring line;
        for (size_t c = 0; c < row.size(); ++c) {
            bool last = c + 1 == row.size();
            std::wstring pad(widths[c] - DisplayWidth(row[c]), L' ');
            if (c < rightAligned.size() && rightAligned[c]) {
                line += pad + row[c];
            } else {
                line += row[c];
                if (!last) line += pad;
            }
            if (!last) line += L"  ";
        }
        out += ToUtf8(line) + "\n";
    }
    return out;
}

void JsonField(std::string& out, const char* name, const std::string& value, bool& first) {
    out += first ? "" : ", ";
    first = false;
    out += "\"";
    out += name;
    out += "\": ";
    out += value;
}

void JsonText(std::string& out, const char* name, const std::wstring& value, bool& first) {
    JsonField(out, name, JsonString(value), first);
}

void JsonNumber(std::string& out, const char* name, unsigned long long value, bool& first) {
    JsonField(out, name, std::to_string(value), first);
}

void JsonSigned(std::string& out, const char* name, long long value, bool& first) {
    JsonField(out, name, std::to_string(value), first);
}

}  // namespace

size_t DisplayWidth(const std::wstring& s) {
    size_t width = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        width += IsWide(cp) ? 2 : 1;
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
        bool paired = high && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
        if (paired) {
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

std::string SoftTable(const std::vector<CSoftItem>& items) {
    std::vector<std::vector<std::wstring>> rows;
    rows.push_back({L"ID", L"NAME", L"CATEGORY", L"SIZE", L"INSTALLED", L"USED", L"KEY"});
    for (const CSoftItem& it : items) {
        rows.push_back({std::to_wstring(it.Id), OrDash(it.Name), OrDash(it.Category), Widen(HumanSize(it.Size)),
                        OrDash(it.Time), Widen(UseLabel(it.Use)), OrDash(it.Key)});
    }
    return Table(rows, {true, false, false, true, false, false, false});
}

std::string SoftJson(const std::vector<CSoftItem>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        const CSoftItem& it = items[i];
        bool first = true;
        out += i ? ",\n  {" : "\n  {";
        JsonNumber(out, "Id", it.Id, first);
        JsonText(out, "SoftId", it.SoftId, first);
        JsonText(out, "Name", it.Name, first);
        JsonText(out, "ExtraText1", it.ExtraText1, first);
        JsonNumber(out, "ExtraFlag1", it.ExtraFlag1, first);
        JsonNumber(out, "Virtual", it.Virtual, first);
        JsonText(out, "ExtraText2", it.ExtraText2, first);
        JsonText(out, "ExtraText3", it.ExtraText3, first);
        JsonText(out, "Category", it.Category, first);
        JsonText(out, "Icon", it.Icon, first);
        JsonText(out, "Brief", it.Brief, first);
        JsonText(out, "InfoUrl", it.InfoUrl, first);
        JsonNumber(out, "ExtraFlag2", it.ExtraFlag2, first);
        JsonText(out, "ExtraText4", it.ExtraText4, first);
        JsonNumber(out, "ExtraValue1", it.ExtraValue1, first);
        JsonNumber(out, "ExtraValue2", it.ExtraValue2, first);
        JsonText(out, "ExtraText5", it.ExtraText5, first);
        JsonText(out, "ExtraText6", it.ExtraText6, first);
        JsonText(out, "ExtraText7", it.ExtraText7, first);
        JsonText(out, "ExtraText8", it.ExtraText8, first);
        JsonNumber(out, "ExtraFlag3", it.ExtraFlag3, first);
        JsonNumber(out, "ExtraValue3", it.ExtraValue3, first);
        JsonNumber(out, "ExtraValue4", it.ExtraValue4, first);
        JsonNumber(out, "ExtraValue5", it.ExtraValue5, first);
        JsonNumber(out, "ExtraFlag4", it.ExtraFlag4, first);
        JsonNumber(out, "ExtraValue6", it.ExtraValue6, first);
        JsonNumber(out, "ExtraValue7", it.ExtraValue7, first);
        JsonNumber(out, "ExtraValue8", it.ExtraValue8, first);
        JsonNumber(out, "ExtraValue9", it.ExtraValue9, first);
        JsonNumber(out, "ExtraValue10", it.ExtraValue10, first);
        JsonText(out, "Folder", it.Folder, first);
        JsonText(out, "Time", it.Time, first);
        JsonNumber(out, "Use", it.Use, first);
        JsonSigned(out, "Size", it.Size, first);
        JsonText(out, "Key", it.Key, first);
        out += "}";
    }
    return out + (items.empty() ? "]\n" : "\n]\n");
}

std::string CategoryTable(const std::vector<CCategoryItem>& items) {
    std::vector<std::vector<std::wstring>> rows;
    rows.push_back({L"ID", L"COUNT", L"NAME"});
    for (const CCategoryItem& it : items) rows.push_back({std::to_wstring(it.Id), std::to_wstring(it.Count), it.Name});
    return Table(rows, {true, true, false});
}

std::string CategoryJson(const std::vector<CCategoryItem>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        bool first = true;
        out += i ? ",\n  {" : "\n  {";
        JsonNumber(out, "Id", items[i].Id, first);
        JsonText(out, "Name", items[i].Name, first);
        JsonNumber(out, "Count", items[i].Count, first);
        out += "}";
    }
    return out + (items.empty() ? "]\n" : "\n]\n");
}

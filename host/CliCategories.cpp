#include "CliCategories.h"

#include <algorithm>
#include <cwchar>

std::vector<CategoryName> ReadCategoryTable(const std::wstring& iniPath) {
    std::vector<CategoryName> table;
    wchar_t buffer[4096] = {0};
    DWORD n = GetPrivateProfileSectionW(L"List", buffer, 4096, iniPath.c_str());
    for (const wchar_t* line = buffer; line < buffer + n && *line; line += wcslen(line) + 1) {
        std::wstring text = line;
        size_t dot = text.find(L'.');
        if (dot == std::wstring::npos) continue;
        table.push_back({static_cast<UINT>(wcstoul(text.substr(0, dot).c_str(), nullptr, 10)), text.substr(dot + 1)});
    }
    return table;
}

std::vector<CategoryName> KnownCategories(const std::vector<CCategoryItem>& listed,
                                          const std::vector<CategoryName>& table) {
    std::vector<CategoryName> known;
    auto add = [&known](UINT id, const std::wstring& name) {
        for (const CategoryName& k : known)
            if (k.name == name) return;
        known.push_back({id, name});
    };
    for (const CCategoryItem& c : listed) add(c.Id, c.Name);
    for (const CategoryName& c : table) add(c.id, c.name);
    std::stable_sort(known.begin(), known.end(),
                     [](const CategoryName& a, const CategoryName& b) { return a.id < b.id; });
    return known;
}

bool ResolveCategory(const std::wstring& arg, const std::vector<CategoryName>& known, std::wstring& name,
                     std::wstring& error) {
    for (const CategoryName& k : known) {
        if (k.name == arg) {
            name = k.name;
            return true;
        }
    }
    if (!arg.empty() && arg.size() <= 10 && arg.find_first_not_of(L"0123456789") == std::wstring::npos) {
        for (const CategoryName& k : known) {
            if (std::to_wstring(k.id) == std::to_wstring(std::stoull(arg))) {
                name = k.name;
                return true;
            }
        }
    }
    error = L"unknown category '" + arg + L"'; the categories are:";
    for (size_t i = 0; i < known.size(); ++i)
        error += (i ? L"," : L"") + std::wstring(L" ") + std::to_wstring(known[i].id) + L" " + known[i].name;
    if (known.empty()) error += L" none";
    return false;
}

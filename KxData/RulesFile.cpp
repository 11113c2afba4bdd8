#include "RulesFile.h"

#include <cstdlib>
#include <cwchar>

#include "ScopedHandle.h"
#include "Serializer.h"

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

namespace {

std::wstring Trim(const std::wstring& s) {
    size_t b = s.find_first_not_of(L" \t\r");
    if (b == std::wstring::npos) return std::wstring();
    size_t e = s.find_last_not_of(L" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::wstring> Split(const std::wstring& line, wchar_t sep) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(sep, start);
        parts.push_back(Trim(line.substr(start, at == std::wstring::npos ? std::wstring::npos : at - start)));
        if (at == std::wstring::npos) return parts;
        start = at + 1;
    }
}

// Decimal digits only; false for anything else (an empty text is not a number).
bool ToUint(const std::wstring& s, UINT& v) {
    if (s.empty() || s.size() > 10 || s.find_first_not_of(L"0123456789") != std::wstring::npos) return false;
    unsigned long long n = wcstoull(s.c_str(), nullptr, 10);
    if (n > 0xFFFFFFFFull) return false;
    v = static_cast<UINT>(n);
    return true;
}

bool UintOrDefault(const std::wstring& s, UINT& v) {
    if (s.empty()) {
        v = 0;
        return true;
    }
    return ToUint(s, v);
}

// The opaque information fields a line may set by name; the rest keep the constructor's values.
void SetOpaque(CSoftInfoItem& info, const std::wstring& name, const std::wstring& value) {
    std::wstring* texts[] = {&info.InfoText1,  &info.InfoText2,  &info.InfoText3,  &info.InfoText4,  &info.InfoText5,
                             &info.InfoText6,  &info.InfoText7,  &info.InfoText8,  &info.InfoText9,  &info.InfoText10,
                             &info.InfoText11, &info.InfoText12, &info.InfoText13, &info.InfoText14, &info.InfoText15,
                             &info.InfoText16, &info.InfoText17, &info.InfoText18, &info.InfoText19, &info.InfoText20,
                             &info.InfoText21, &info.InfoText22, &info.InfoText23, &info.InfoText24, &info.InfoText25};
    BYTE* flags[] = {&info.InfoFlag1, &info.InfoFlag2, &info.InfoFlag3, &info.InfoFlag4, &info.InfoFlag5};
    UINT n = 0;
    if (name.compare(0, 8, L"InfoText") == 0 && ToUint(name.substr(8), n) && n >= 1 && n <= 25) {
        *texts[n - 1] = value;
    } else if (name.compare(0, 8, L"InfoFlag") == 0 && ToUint(name.substr(8), n) && n >= 1 && n <= 5) {
        *flags[n - 1] = static_cast<BYTE>(wcstoul(value.c_str(), nullptr, 10) != 0);
    } else if (name == L"InfoValue1") {
        info.InfoValue1 = wcstoull(value.c_str(), nullptr, 10);
    } else if (name == L"InfoValue2") {
        info.InfoValue2 = static_cast<UINT>(wcstoul(value.c_str(), nullptr, 10));
    } else if (name == L"InfoValue3") {
        info.InfoValue3 = static_cast<UINT>(wcstoul(value.c_str(), nullptr, 10));
    } else if (name == L"InfoValue4") {
        info.InfoValue4 = static_cast<UINT>(wcstoul(value.c_str(), nullptr, 10));
    }
}

std::wstring CategoryName(const KxRuleSet& set, UINT nTypeId) {
    for (const auto& c : set.categories)
        if (c.first == nTypeId) return c.second;
    return std::wstring();
}

// Id|SoftId|TypeId|UninstallName|Hide|MatchType|SoftLogo|Brief|InfoUrl|LogoCrc|MatchName|Name=Value...
bool ParseSoftware(const std::wstring& line, const KxRuleSet& set, UINT (*pfnDynamicId)(const std::wstring&),
                   KxSoftware& out) {
    std::vector<std::wstring> f = Split(line, L'|');
    if (f.size() < 4) return false;
    f.resize(f.size() < 11 ? 11 : f.size());
    CUninstallRuleItem& r = out.rule;
    r.SoftId = f[1];
    r.UninstallName = f[3];
    if (r.SoftId.empty() || r.UninstallName.empty()) return false;
    if (!ToUint(f[2], r.TypeId) || !UintOrDefault(f[4], r.Hide) || !UintOrDefault(f[5], r.MatchType)) return false;
    if (!UintOrDefault(f[0], r.Id) || r.Id >= kFirstDynamicSoftId) return false;
    if (r.Id == 0) r.Id = pfnDynamicId(r.SoftId);
    r.SoftLogo = f[6];
    r.Brief = f[7];
    r.InfoUrl = f[8];
    r.LogoCrc = f[9];

    CSoftInfoItem& info = out.info;
    info.Id = r.Id;
    info.SoftId = r.SoftId;
    info.Category = CategoryName(set, r.TypeId);
    info.MatchName = f[10].empty() ? r.UninstallName : f[10];
    for (size_t i = 11; i < f.size(); ++i) {
        size_t eq = f[i].find(L'=');
        if (eq != std::wstring::npos) SetOpaque(info, Trim(f[i].substr(0, eq)), Trim(f[i].substr(eq + 1)));
    }
    return true;
}

std::string Bytes(CBaseItem& item) {
    CSerializer s;
    item.Serialize(s);
    return std::string(reinterpret_cast<const char*>(s.Buffer()), s.Length());
}

bool SameSoftware(const KxSoftware& a, const KxSoftware& b) {
    return Bytes(const_cast<CUninstallRuleItem&>(a.rule)) == Bytes(const_cast<CUninstallRuleItem&>(b.rule)) &&
           Bytes(const_cast<CSoftInfoItem&>(a.info)) == Bytes(const_cast<CSoftInfoItem&>(b.info));
}

}  // namespace

KxRuleSet ParseRules(const std::string& text, UINT (*pfnDynamicId)(const std::wstring&)) {
    KxRuleSet set;
    std::wstring all = Utf8ToWide(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(L'\n', start);
        std::wstring line = Trim(all.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        start = end == std::wstring::npos ? all.size() + 1 : end + 1;
        if (line.empty() || line[0] == L'#') continue;
        if (line.compare(0, 8, L"version=") == 0) {
            ToUint(Trim(line.substr(8)), set.nVersion);
        } else if (line.compare(0, 9, L"category=") == 0) {
            std::wstring c = line.substr(9);
            size_t dot = c.find(L'.');
            UINT id = 0;
            if (dot != std::wstring::npos && ToUint(Trim(c.substr(0, dot)), id)) set.categories.emplace_back(id, c.substr(dot + 1));
        } else {
            auto soft = std::make_shared<KxSoftware>();
            if (ParseSoftware(line, set, pfnDynamicId, *soft)) set.soft.push_back(std::move(soft));
        }
    }
    return set;
}

bool ReadFileText(const std::wstring& path, std::string& text) {
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    text.clear();
    char buf[16384];
    DWORD got = 0;
    while (ReadFile(file.get(), buf, sizeof(buf), &got, nullptr) && got > 0) text.append(buf, got);
    return true;
}

KxRuleChange CompareRules(const KxRuleSet& oldSet, const KxRuleSet& newSet) {
    bool prefix = oldSet.nVersion == newSet.nVersion && oldSet.categories == newSet.categories &&
                  oldSet.soft.size() <= newSet.soft.size();
    for (size_t i = 0; prefix && i < oldSet.soft.size(); ++i) prefix = SameSoftware(*oldSet.soft[i], *newSet.soft[i]);
    if (!prefix) return KxRuleChange::Changed;
    return oldSet.soft.size() == newSet.soft.size() ? KxRuleChange::None : KxRuleChange::Appended;
}

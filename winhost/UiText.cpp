#include "UiText.h"

#include <cstdarg>

#include "WideFormat.h"

namespace {

// The user's UI language until the window chooses (pieces used on their own, by tests and tools, follow the user).
UiLanguage g_language = ChooseUiLanguage(GetUserDefaultUILanguage(), L"");

}  // namespace

UiLanguage ChooseUiLanguage(LANGID userUiLanguage, const std::wstring& forced) {
    if (forced == L"zh") return UiLanguage::Chinese;
    if (forced == L"en") return UiLanguage::English;
    return PRIMARYLANGID(userUiLanguage) == LANG_CHINESE ? UiLanguage::Chinese : UiLanguage::English;
}

LANGID UiLanguageId(UiLanguage language) {
    return language == UiLanguage::Chinese ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
                                           : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

void SetUiLanguage(UiLanguage language) {
    g_language = language;
    const LANGID id = UiLanguageId(language);
    SetThreadUILanguage(id);
    SetThreadLocale(MAKELCID(id, SORT_DEFAULT));
}

UiLanguage CurrentUiLanguage() { return g_language; }

std::wstring UiStringIn(HMODULE module, UINT id, LANGID language) {
    // A string table block holds 16 strings, each a length-prefixed run of UTF-16 without terminator.
    HRSRC block = FindResourceExW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!block) return L"";
    HGLOBAL loaded = LoadResource(module, block);
    const WCHAR* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!p) return L"";
    const DWORD size = SizeofResource(module, block) / sizeof(WCHAR);
    const WCHAR* end = p + size;
    for (UINT i = 0; i < id % 16; ++i) {
        if (p >= end) return L"";
        p += 1 + *p;
    }
    if (p >= end || p + 1 + *p > end) return L"";
    return std::wstring(p + 1, *p);
}

std::wstring UiString(UINT id) {
    HMODULE module = GetModuleHandleW(nullptr);
    std::wstring text = UiStringIn(module, id, UiLanguageId(g_language));
    if (text.empty() && g_language != UiLanguage::English)
        text = UiStringIn(module, id, UiLanguageId(UiLanguage::English));
    return text;
}

std::wstring UiFormat(UINT id, ...) {
    const std::wstring format = UiString(id);
    va_list args;
    va_start(args, id);
    std::wstring text = kx::FormatV(format.c_str(), args);
    va_end(args);
    return text;
}

std::wstring ButtonText(const std::wstring& menuText) {
    std::wstring text = menuText.substr(0, menuText.find(L'\t'));
    const size_t paren = text.find(L"(&");
    if (paren != std::wstring::npos && paren + 3 < text.size() + 1 && text.find(L')', paren) == paren + 3)
        text.erase(paren, 4);
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            out += text[++i];  // "&&" is a literal ampersand
            continue;
        }
        out += text[i];
    }
    return out;
}

#include "EntryFacts.h"

#include <windows.h>

#include "RegKey.h"

namespace {

bool OpenKeyText(const std::wstring& keyText, kx::CRegKey& key) {
    static const struct { HKEY hRoot; const wchar_t* pszName; } kRoots[] = {
        {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}, {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
        {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},   {HKEY_USERS, L"HKEY_USERS"}};
    size_t slash = keyText.find(L'\\');
    if (slash == std::wstring::npos) return false;
    for (const auto& root : kRoots)
        if (keyText.compare(0, slash, root.pszName) == 0) return key.Open(root.hRoot, keyText.substr(slash + 1));
    return false;
}

}  // namespace

EntryFacts ReadEntryFacts(const std::wstring& keyText) {
    EntryFacts facts;
    kx::CRegKey key;
    if (!OpenKeyText(keyText, key)) return facts;
    facts.publisher = key.String(L"Publisher");
    facts.version = key.String(L"DisplayVersion");
    facts.uninstallCommand = key.String(L"UninstallString");
    return facts;
}

bool KeyTextHasDisplayName(const std::wstring& keyText) {
    kx::CRegKey key;
    return OpenKeyText(keyText, key) && !key.String(L"DisplayName").empty();
}

#include "DustTestKit.h"

#include <shlobj.h>

#include "ScopedHandle.h"
#include "kxtest/RegistryOverride.h"

namespace dusttest {

std::wstring Folder(int nCsidl) {
    wchar_t sz[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, nCsidl, nullptr, SHGFP_TYPE_CURRENT, sz);
    return sz;
}

std::wstring Lower(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

bool MakeShortcut(const std::wstring& strLink, const std::wstring& strTarget) {
    CoInitialize(nullptr);
    kx::com_ptr<IShellLinkW> link;
    kx::com_ptr<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) &&
           SUCCEEDED(link->SetPath(strTarget.c_str())) &&
           SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())) &&
           SUCCEEDED(file->Save(strLink.c_str(), TRUE));
}

std::vector<std::wstring> ToVector(const std::deque<std::wstring>& lst) { return {lst.begin(), lst.end()}; }

RegEntry::RegEntry(HKEY hRoot, std::wstring strKey, const wchar_t* pszValue, REGSAM samView)
    : m_hRoot(hRoot), m_strKey(std::move(strKey)), m_strValue(pszValue ? pszValue : L""), m_bValueOnly(pszValue != nullptr),
      m_samView(samView) {
    if (!m_bValueOnly) kxtest::CreateKey(m_hRoot, m_strKey, m_samView);
}

RegEntry::~RegEntry() {
    if (m_bValueOnly) {
        kx::unique_hkey key;
        if (RegOpenKeyExW(m_hRoot, m_strKey.c_str(), 0, KEY_SET_VALUE | m_samView, key.put()) == ERROR_SUCCESS)
            RegDeleteValueW(key.get(), m_strValue.c_str());
    } else {
        RegDeleteTreeW(m_hRoot, m_strKey.c_str());
        RegDeleteKeyExW(m_hRoot, m_strKey.c_str(), m_samView, 0);
    }
}

RegEntry& RegEntry::String(const wchar_t* pszName, const std::wstring& strData) {
    kxtest::SetString(m_hRoot, m_strKey, pszName ? pszName : m_strValue.c_str(), strData, REG_SZ, m_samView);
    return *this;
}

RegEntry& RegEntry::Dword(const wchar_t* pszName, DWORD dwData) {
    kxtest::SetDword(m_hRoot, m_strKey, pszName ? pszName : m_strValue.c_str(), dwData, m_samView);
    return *this;
}

}  // namespace dusttest

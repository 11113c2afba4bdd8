#include "BenchHost.h"

#include <cstdio>
#include <cstring>

namespace kxbench {
namespace {

const wchar_t kUninstallPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kWow64UninstallPath[] = L"Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kMarkName[] = L"KxBenchOwner";

// The soft record on the wire, primitive by primitive: u = u32, b = u8, q = u64, t = text (u32 byte count,
// UTF-16LE).
const char kSoftLayout[] = "utttbbttttttbtuuttttbuuubuuquuttuqt";
const size_t kNameField = 2, kFolderField = 30, kSizeField = 33, kKeyField = 34;

const size_t kFirstBuffer = 64 * 1024;
const size_t kMaxBuffer = 64 * 1024 * 1024;

}  // namespace

const UninstallRoot kUninstallRoots[3] = {
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kUninstallPath},
    {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER", kUninstallPath},
    {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE", kWow64UninstallPath},
};

std::wstring ExeFolder() {
    wchar_t szPath[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring path(szPath, n < MAX_PATH ? n : 0);
    return path.substr(0, path.rfind(L'\\') + 1);
}

bool CComponent::Load() {
    std::wstring path = ExeFolder() + L"KxUninst.dll";
    m_hDll.reset(LoadLibraryW(path.c_str()));
    if (!m_hDll) fprintf(stderr, "cannot load %ls (error %lu)\n", path.c_str(), GetLastError());
    return m_hDll.valid();
}

bool CComponent::Create(kx::com_ptr<IKxUninstMgr>& uninst, kx::com_ptr<IKxListMgr>& list) const {
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto pfn = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllGetClassObject")));
    if (!pfn) return false;
    kx::com_ptr<IClassFactory> factory;
    if (FAILED(pfn(CLSID_KxUninstMgr, IID_IClassFactory, factory.put_void())) || !factory) return false;
    if (FAILED(factory->CreateInstance(nullptr, IID_IKxUninstMgr, uninst.put_void())) || !uninst) return false;
    return SUCCEEDED(uninst->QueryInterface(IID_IKxListMgr, list.put_void())) && list;
}

HRESULT CComponent::CanUnloadNow() const {
    auto pfn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllCanUnloadNow")));
    return pfn ? pfn() : E_FAIL;
}

bool DecodeSoftRecord(const BYTE* pData, size_t nSize, SoftFields& out) {
    size_t at = 0;
    size_t field = 0;
    for (const char* p = kSoftLayout; *p; ++p, ++field) {
        size_t width = *p == 'b' ? 1 : *p == 'q' ? 8 : 4;
        if (at + width > nSize) return false;
        if (*p != 't') {
            if (field == kSizeField) memcpy(&out.Size, pData + at, 8);
            at += width;
            continue;
        }
        UINT cb = 0;
        memcpy(&cb, pData + at, 4);
        at += 4;
        if (cb > nSize - at) return false;
        std::wstring text(cb / 2, L'\0');
        if (!text.empty()) memcpy(&text[0], pData + at, text.size() * 2);
        at += cb;
        if (field == kNameField) out.Name = std::move(text);
        if (field == kFolderField) out.Folder = std::move(text);
        if (field == kKeyField) out.Key = std::move(text);
    }
    return true;
}

HRESULT ReadSoftRecord(IKxListMgr* pList, UINT nIndex, std::vector<BYTE>& buffer) {
    if (buffer.empty()) buffer.resize(kFirstBuffer);
    for (;;) {
        HRESULT code = pList->GetItemByIndex(LIST_SOFT, nIndex, buffer.data(), static_cast<UINT>(buffer.size()));
        if (code != UNINST_ERR_BUFFER_TOO_SMALL || buffer.size() >= kMaxBuffer) return code;
        buffer.resize(buffer.size() * 2);
    }
}

kx::unique_hkey CreateMarkedEntry(const UninstallRoot& where, const std::wstring& name, const wchar_t* pszOwner) {
    std::wstring path = std::wstring(where.pszPath) + L"\\" + name;
    RegDeleteTreeW(where.hRoot, path.c_str());  // the key itself goes with its subtree
    kx::unique_hkey key;
    if (RegCreateKeyExW(where.hRoot, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return kx::unique_hkey();
    if (!SetText(key.get(), kMarkName, pszOwner)) return kx::unique_hkey();
    return key;
}

int RemoveMarkedEntries(const wchar_t* pszOwner) {
    int nRemoved = 0;
    for (const UninstallRoot& where : kUninstallRoots) {
        kx::unique_hkey parent;
        if (RegOpenKeyExW(where.hRoot, where.pszPath, 0, KEY_ALL_ACCESS, parent.put()) != ERROR_SUCCESS) continue;
        std::vector<std::wstring> owned;
        for (DWORD i = 0;; ++i) {
            wchar_t szName[256] = {};
            DWORD cch = 256;
            LONG r = RegEnumKeyExW(parent.get(), i, szName, &cch, nullptr, nullptr, nullptr, nullptr);
            if (r == ERROR_NO_MORE_ITEMS) break;
            if (r != ERROR_SUCCESS) continue;
            wchar_t szOwner[64] = {};
            DWORD cb = sizeof(szOwner) - sizeof(wchar_t);
            if (RegGetValueW(parent.get(), szName, kMarkName, RRF_RT_REG_SZ, nullptr, szOwner, &cb) == ERROR_SUCCESS &&
                wcscmp(szOwner, pszOwner) == 0)
                owned.emplace_back(szName, cch);
        }
        for (const std::wstring& name : owned)
            if (RegDeleteTreeW(parent.get(), name.c_str()) == ERROR_SUCCESS) ++nRemoved;
    }
    return nRemoved;
}

bool SetRawValue(HKEY hKey, const wchar_t* pszName, DWORD dwType, const void* pData, DWORD cbData) {
    return RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData) == ERROR_SUCCESS;
}

bool SetText(HKEY hKey, const wchar_t* pszName, const std::wstring& text) {
    return SetRawValue(hKey, pszName, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(HKEY hKey, const wchar_t* pszName, DWORD dwValue) {
    return SetRawValue(hKey, pszName, REG_DWORD, &dwValue, sizeof(dwValue));
}

bool MakeFile(const std::wstring& path) {
    // Every folder after the volume: skip "\\?\C:\" or "C:\".
    size_t from = path.compare(0, 4, L"\\\\?\\") == 0 ? 7 : 3;
    for (size_t slash = path.find(L'\\', from); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1)) {
        std::wstring folder = path.substr(0, slash);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    kx::unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    return file.valid();
}

}  // namespace kxbench

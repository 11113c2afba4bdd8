#include "ListTestSupport.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "CategoryItem.h"
#include "Serializer.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace listtest {

RecordingMgr::RecordingMgr() = default;

RecordingMgr::~RecordingMgr() { ClearLists(); }

HRESULT RecordingMgr::Notify(WPARAM wParam, LPARAM lParam) {
    notes.emplace_back(wParam, lParam);
    return S_OK;
}

void RecordingMgr::ClearLists() {
    for (auto* p : m_vecSoft) delete p;
    for (auto* p : m_vecRule) delete p;
    for (auto* p : m_vecCategory) delete p;
    m_vecSoft.clear();
    m_vecRule.clear();
    m_vecCategory.clear();
}

HRESULT TestDataMgr::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == __uuidof(IKxListMgr))
        *ppv = static_cast<IKxListMgr*>(this);
    else if (riid == __uuidof(IKxDataMgr) || riid == IID_IUnknown)
        *ppv = static_cast<IKxDataMgr*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT TestDataMgr::GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) {
    auto it = ids.find(bstrSoftId ? bstrSoftId : L"");
    if (it == ids.end()) return E_FAIL;
    *pnSoftId = it->second;
    return S_OK;
}

HRESULT TestDataMgr::GetDataVersion(UINT, UINT* pnVersion) {
    ++versionCalls;
    *pnVersion = version;
    return S_OK;
}

HRESULT TestDataMgr::GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) {
    auto it = infos.find(nId);
    if (nType != DATA_SOFT_INFO || it == infos.end()) return E_FAIL;
    CSerializer writer;
    if (!it->second.Serialize(writer) || writer.Length() > nBufferSize) return E_FAIL;
    memcpy(pBuffer, writer.Buffer(), writer.Length());
    return S_OK;
}

CSoftItem* MakeSoft(const std::wstring& name, const std::wstring& key, const std::wstring& category, UINT id) {
    auto* p = new CSoftItem;
    p->Name = name;
    p->Key = key;
    p->Category = category;
    p->Id = id;
    p->SoftId = L"soft-" + name;
    p->Folder = L"C:\\Program Files\\" + name + L"\\";
    p->Time = L"2024-05-06";
    p->Size = 123456789012LL;
    p->Use = 2;
    p->Icon = L"C:\\Program Files\\" + name + L"\\app.exe, 0";
    return p;
}

CUninstallRuleItem* MakeRule(const std::wstring& uninstallName, const std::wstring& softId, UINT typeId) {
    auto* p = new CUninstallRuleItem;
    p->UninstallName = uninstallName;
    p->SoftId = softId;
    p->TypeId = typeId;
    return p;
}

std::string Bytes(CSoftItem& item) {
    CSerializer w;
    item.Serialize(w);
    return std::string(reinterpret_cast<const char*>(w.Buffer()), w.Length());
}

std::string U32(UINT v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string CacheBytes(UINT version, UINT type, const std::string& payload) {
    return U32(version) + U32(type) + U32(static_cast<UINT>(payload.size())) + payload;
}

std::string CaptureStdout(const std::function<void()>& fn) {
    kxtest::TempDir dir;
    std::wstring path = dir / L"stdout.txt";
    fflush(stdout);
    int saved = _dup(1);
    int fd = _wopen(path.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    _dup2(fd, 1);
    fn();
    fflush(stdout);
    _dup2(saved, 1);
    _close(saved);
    _close(fd);
    std::string out = kxtest::ReadFileBytes(path);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end());
    return out;
}

std::vector<std::wstring> XLogLines(size_t from) {
    wchar_t szDate[16];
    time_t now = time(nullptr);
    wcsftime(szDate, 16, L"%Y%m%d", localtime(&now));
    auto lines = kxtest::ReadLogLines(kxtest::LogFolder() + L"kxxlog_" + szDate + L".log");
    if (from >= lines.size()) return {};
    return std::vector<std::wstring>(lines.begin() + static_cast<std::ptrdiff_t>(from), lines.end());
}

}  // namespace listtest

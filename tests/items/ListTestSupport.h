// Shared pieces of the list tests: a component object that records what it tells its host, an in-process
// data component serving software ids and information records, and small builders.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KxUninstMgr.h"
#include "SoftInfoItem.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace listtest {

// The component object with its notifications recorded instead of posted.
class RecordingMgr : public CKxUninstMgr {
public:
    RecordingMgr();
    ~RecordingMgr() override;
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override;
    // Empties every list (the records are destroyed).
    void ClearLists();

    std::vector<std::pair<WPARAM, LPARAM>> notes;
};

// Serves the calls the component makes on its data component: ids by SoftId, information records by id
// (type 1), the rule-data version. Everything else fails.
class TestDataMgr : public IKxDataMgr, public IKxListMgr {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_cRef; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_cRef; }

    HRESULT STDMETHODCALLTYPE Init() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Uninit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LoadData(UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ReloadData(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) override;
    HRESULT STDMETHODCALLTYPE GetSoftKey(UINT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftState(UINT, KX_SOFT_STATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSoftState(UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataVersion(UINT nType, UINT* pnVersion) override;

    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT, UINT, BYTE*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) override;
    HRESULT STDMETHODCALLTYPE AddListener(HWND, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveListener(HWND, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Notify(WPARAM, LPARAM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE NotifyByType(UINT, WPARAM, LPARAM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSize(UINT, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DumpToDisk(UINT, UINT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LoadFromDisk(UINT, UINT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Search(UINT, UINT, BSTR, UINT*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnNotify(UINT, UINT, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsLoaded(UINT, BOOL*) override { return E_NOTIMPL; }

    std::map<std::wstring, UINT> ids;        // SoftId -> id
    std::map<UINT, CSoftInfoItem> infos;     // id -> information record
    UINT version = 0;
    int versionCalls = 0;

private:
    ULONG m_cRef = 1;
};

CSoftItem* MakeSoft(const std::wstring& name, const std::wstring& key, const std::wstring& category = L"其他",
                    UINT id = 0);
CUninstallRuleItem* MakeRule(const std::wstring& uninstallName, const std::wstring& softId = L"", UINT typeId = 0);

// The serialized form of an item.
std::string Bytes(CSoftItem& item);
// A cache file's bytes: version, type, payload length, payload.
std::string CacheBytes(UINT version, UINT type, const std::string& payload);
std::string U32(UINT v);

// What the code run by fn wrote to the process's standard output, line ends as line feeds.
std::string CaptureStdout(const std::function<void()>& fn);

// Lines of today's kxxlog file (beside the executable) from line index `from` on.
std::vector<std::wstring> XLogLines(size_t from = 0);

}  // namespace listtest

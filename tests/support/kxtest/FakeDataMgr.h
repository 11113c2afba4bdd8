// An in-process stand-in for the data component, for tests that call the component's code directly: software
// ids by SoftId, information records by id, the rule data's version, uninstall states. Everything else fails.
// It is never freed by its last reference (tests own it on the stack).
#pragma once

#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KxUninstIf.h"
#include "Serializer.h"
#include "SoftInfoItem.h"

namespace kxtest {

class FakeDataMgr : public IKxDataMgr, public IKxListMgr {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == __uuidof(IKxListMgr)) *ppv = static_cast<IKxListMgr*>(this);
        if (riid == __uuidof(IKxDataMgr) || riid == IID_IUnknown) *ppv = static_cast<IKxDataMgr*>(this);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    HRESULT STDMETHODCALLTYPE Init() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Uninit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LoadData(UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ReloadData(UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) override {
        auto it = ids.find(bstrSoftId ? bstrSoftId : L"");
        if (it == ids.end()) return E_FAIL;
        *pnSoftId = it->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSoftKey(UINT, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSoftState(UINT nSoftId, KX_SOFT_STATE* pState) override {
        *pState = KX_SOFT_STATE{nSoftId, 0, {}};
        for (const auto& s : states)
            if (s.first == nSoftId) pState->nState = s.second;
        return S_OK;
    }
    // Every move is taken and recorded, so a test sees each state in order.
    HRESULT STDMETHODCALLTYPE SetSoftState(UINT nSoftId, UINT nState) override {
        states.emplace_back(nSoftId, nState);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataVersion(UINT, UINT* pnVersion) override {
        *pnVersion = version;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT, UINT, BYTE*, UINT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) override {
        auto it = infos.find(nId);
        if (nType != DATA_SOFT_INFO || it == infos.end()) return E_FAIL;
        CSerializer writer;
        if (!it->second.Serialize(writer) || writer.Length() > nBufferSize) return E_FAIL;
        memcpy(pBuffer, writer.Buffer(), writer.Length());
        return S_OK;
    }
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

    std::map<std::wstring, UINT> ids;     // SoftId -> id
    std::map<UINT, CSoftInfoItem> infos;  // id -> information record
    std::vector<std::pair<UINT, UINT>> states;  // (id, state) in the order they were set
    UINT version = 0;
    ULONG refs = 1;
};

}  // namespace kxtest

// The contract between KxUninst.dll, its host and the data component KxData.dll: the two host interfaces in
// slot order, the data component's interface, the ids, list types, notification actions and result codes.
// Usable from a plain C++ host: nothing here needs more than the Windows headers.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

// ---- identities -------------------------------------------------------------------------------------------
// {6F1C2A90-3B7E-4D52-9A11-5C0E8B7D2F41}
DEFINE_GUID(CLSID_KxUninstMgr, 0x6f1c2a90, 0x3b7e, 0x4d52, 0x9a, 0x11, 0x5c, 0x0e, 0x8b, 0x7d, 0x2f, 0x41);
// {A2D4F6B8-1C3E-4A5B-8D7F-0E2C4A6B8D90}
DEFINE_GUID(LIBID_KxUninstLib, 0xa2d4f6b8, 0x1c3e, 0x4a5b, 0x8d, 0x7f, 0x0e, 0x2c, 0x4a, 0x6b, 0x8d, 0x90);
// {0B7E9C24-58A1-4D3F-AE62-9F4C1B7D3E85}
DEFINE_GUID(APPID_KxUninst, 0x0b7e9c24, 0x58a1, 0x4d3f, 0xae, 0x62, 0x9f, 0x4c, 0x1b, 0x7d, 0x3e, 0x85);
// {D3B1E7A2-6C45-4F1E-B9A0-27C58E3D1F6B}
DEFINE_GUID(IID_IKxUninstMgr, 0xd3b1e7a2, 0x6c45, 0x4f1e, 0xb9, 0xa0, 0x27, 0xc5, 0x8e, 0x3d, 0x1f, 0x6b);
// {AE60F4A3-1415-4E21-96E7-A9521E9152BB}
DEFINE_GUID(IID_IKxListMgr, 0xae60f4a3, 0x1415, 0x4e21, 0x96, 0xe7, 0xa9, 0x52, 0x1e, 0x91, 0x52, 0xbb);
// The data component: {4BC6ACE8-10D4-43FF-B3C1-2AC15DAEB824}
DEFINE_GUID(CLSID_KxDataMgr, 0x4bc6ace8, 0x10d4, 0x43ff, 0xb3, 0xc1, 0x2a, 0xc1, 0x5d, 0xae, 0xb8, 0x24);
// {C4ECDDCF-2A99-4D7D-AA7F-DCE1280ACDC2}
DEFINE_GUID(IID_IKxDataMgr, 0xc4ecddcf, 0x2a99, 0x4d7d, 0xaa, 0x7f, 0xdc, 0xe1, 0x28, 0x0a, 0xcd, 0xc2);

// ---- notifications ----------------------------------------------------------------------------------------
// Always posted. wParam: list type in the high word, action bits in the low word. lParam: id, percent or 0.
#define WM_LISTMGR (WM_USER + 2000)

enum KX_LIST_TYPE : UINT {
    // The data component's lists.
    DATA_SOFT_INFO = 0x01,         // CSoftInfoItem
    DATA_UNINSTALL_RULE = 0x04,    // CUninstallRuleItem
    DATA_SOFT_STATE = 0x08,        // software states
    // This component's lists.
    LIST_SOFT = 0x20,              // CSoftItem
    LIST_CATEGORY = 0x100,         // CCategoryItem
    LIST_SWEEP = 0x200,            // CPowerSweepItem
};

enum KX_LIST_ACTION : UINT {
    ACT_LIST_READY = 0x01,
    ACT_ITEM_ADDED = 0x04,
    ACT_ITEM_REMOVED = 0x08,
    ACT_ITEM_CHANGED = 0x10,
    ACT_PROGRESS = 0x20,
    ACT_STATE_CHANGED = 0x40,
};

// The search types of IKxListMgr::Search.
enum KX_SEARCH_TYPE : UINT {
    SEARCH_BY_CATEGORY = 1,
    SEARCH_BY_NAME = 2,
};

// Uninstall states kept by the data component.
enum KX_SOFT_STATE_VALUE : UINT {
    SOFT_STATE_INSTALLED_A = 8,
    SOFT_STATE_INSTALLED_B = 11,
    SOFT_STATE_UNINSTALL_REQUESTED = 15,
    SOFT_STATE_TASK_WORKING = 16,
    SOFT_STATE_UNINSTALLER_RUNNING = 17,
    SOFT_STATE_LEFTOVERS_OFFERED = 18,
    SOFT_STATE_NOT_UNINSTALLED = 19,
    SOFT_STATE_REMOVED = 20,
};

// The data component's 36-byte state record; callers read only the state.
struct KX_SOFT_STATE {
    UINT nSoftId;
    UINT nState;
    UINT nReserved[7];
};
static_assert(sizeof(KX_SOFT_STATE) == 36, "the state record is 36 bytes");

enum UNINST_ERR_ENUM : UINT {
    UNINST_ERR_OK = 0,
    UNINST_ERR_BUFFER_TOO_SMALL = 3,
    UNINST_ERR_SERIALIZE = 4,
    UNINST_ERR_UNSUPPORTED_TYPE = 5,
    UNINST_ERR_NULL_POINTER = 11,
    UNINST_ERR_INDEX = 12,
    UNINST_ERR_ALREADY_INITED = 13,
    UNINST_ERR_STOPPED = 15,
    UNINST_ERR_LOAD_LIBRARY = 23,
    UNINST_ERR_NO_CLASS_OBJECT_EXPORT = 24,
    UNINST_ERR_NO_CLASS_FACTORY = 25,
    UNINST_ERR_NO_DATA_MGR = 26,
    UNINST_ERR_NO_DATA_LIST_MGR = 27,
    UNINST_ERR_ADD_LISTENER = 51,
    UNINST_ERR_GET_SIZE = 52,
    UNINST_ERR_NO_NEW_RULES = 53,
    UNINST_ERR_GET_RULE = 54,
    UNINST_ERR_LOAD_DATA = 55,
    UNINST_ERR_NO_DATA_COMPONENT = 101,
    UNINST_ERR_DATA_INIT = 102,
    UNINST_ERR_SOFT_ID = 201,
    UNINST_ERR_OTHER_ID = 202,
};

// ---- interfaces -------------------------------------------------------------------------------------------
// Slot order is part of the contract.

MIDL_INTERFACE("AE60F4A3-1415-4E21-96E7-A9521E9152BB")
IKxListMgr : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetItemByIndex(UINT nType, UINT nIndex, BYTE* pBuffer, UINT nBufferSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemById(UINT nType, UINT nId, BYTE* pBuffer, UINT nBufferSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddListener(HWND hWnd, UINT nTypeMask) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveListener(HWND hWnd, UINT nTypeMask) = 0;
    virtual HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyByType(UINT nType, WPARAM wParam, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSize(UINT nType, UINT* pnSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE DumpToDisk(UINT nType, UINT nVersion, BSTR bstrFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFromDisk(UINT nType, UINT nVersion, BSTR bstrFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved(UINT nReserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE Search(UINT nType, UINT nSearchType, BSTR bstrSearch, UINT* pIds,
                                             UINT* pnSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnNotify(UINT nType, UINT nAct, UINT nId) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsLoaded(UINT nType, BOOL* pbLoaded) = 0;
};
__CRT_UUID_DECL(IKxListMgr, 0xae60f4a3, 0x1415, 0x4e21, 0x96, 0xe7, 0xa9, 0x52, 0x1e, 0x91, 0x52, 0xbb)

MIDL_INTERFACE("D3B1E7A2-6C45-4F1E-B9A0-27C58E3D1F6B")
IKxUninstMgr : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Init() = 0;
    virtual HRESULT STDMETHODCALLTYPE Uninit() = 0;
    virtual HRESULT STDMETHODCALLTYPE Uninstall(UINT nSoftId) = 0;
    virtual HRESULT STDMETHODCALLTYPE PowerSweep(UINT nSoftId, UINT* nIds, UINT nCount) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCacheDir(BSTR bstrCachDir) = 0;
    virtual HRESULT STDMETHODCALLTYPE Active(UINT nSoftId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Refresh() = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelUninstall(UINT nSoftId) = 0;
};
__CRT_UUID_DECL(IKxUninstMgr, 0xd3b1e7a2, 0x6c45, 0x4f1e, 0xb9, 0xa0, 0x27, 0xc5, 0x8e, 0x3d, 0x1f, 0x6b)

// The data component. Positions 4 and 6 are never called by KxUninst.dll.
MIDL_INTERFACE("C4ECDDCF-2A99-4D7D-AA7F-DCE1280ACDC2")
IKxDataMgr : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Init() = 0;                                             // 1
    virtual HRESULT STDMETHODCALLTYPE Uninit() = 0;                                           // 2
    virtual HRESULT STDMETHODCALLTYPE LoadData(UINT nType) = 0;                               // 3
    virtual HRESULT STDMETHODCALLTYPE ReloadData(UINT nType) = 0;                             // 4: re-read now
    virtual HRESULT STDMETHODCALLTYPE GetSoftId(BSTR bstrSoftId, UINT* pnSoftId) = 0;         // 5
    virtual HRESULT STDMETHODCALLTYPE GetSoftKey(UINT nSoftId, BSTR* pbstrSoftId) = 0;        // 6: id to SoftId
    virtual HRESULT STDMETHODCALLTYPE GetSoftState(UINT nSoftId, KX_SOFT_STATE* pState) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE SetSoftState(UINT nSoftId, UINT nState) = 0;           // 8
    virtual HRESULT STDMETHODCALLTYPE GetDataVersion(UINT nType, UINT* pnVersion) = 0;       // 9
};
__CRT_UUID_DECL(IKxDataMgr, 0xc4ecddcf, 0x2a99, 0x4d7d, 0xaa, 0x7f, 0xdc, 0xe1, 0x28, 0x0a, 0xcd, 0xc2)

// Items cross the data component's interface in buffers of this size.
#define KX_DATA_BUFFER_SIZE 20480

#include "ComponentHost.h"

#include "Serializer.h"

namespace {

const wchar_t kListenerClass[] = L"KxUninstCliListener";
const UINT kListenMask = LIST_SOFT | LIST_CATEGORY | LIST_SWEEP;
// Records are a few hundred bytes; the buffer grows when the component reports it too small.
const size_t kFirstBufferSize = 64 * 1024;
const size_t kMaxBufferSize = 64 * 1024 * 1024;

std::wstring ErrorText(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = L"error " + std::to_wstring(code);
    if (text) {
        std::wstring message(text);
        LocalFree(text);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
            message.pop_back();
        if (!message.empty()) out += L": " + message;
    }
    return out;
}

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

}  // namespace

ComponentHost::~ComponentHost() { Stop(); }

bool ComponentHost::Load(const std::wstring& dllPath, std::wstring& error) {
    if (GetFileAttributesW(dllPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"component not found: " + dllPath;
        return false;
    }
    m_hDll.reset(LoadLibraryW(dllPath.c_str()));
    if (!m_hDll) {
        error = L"cannot load " + dllPath + L" (" + ErrorText(GetLastError()) + L")";
        return false;
    }
    return true;
}

HRESULT ComponentHost::Register(bool bUnregister, std::wstring& error) {
    const char* name = bUnregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), name)));
    if (!fn) {
        error = L"the component has no " + std::wstring(name, name + strlen(name));
        return E_FAIL;
    }
    HRESULT hr = fn();
    if (FAILED(hr)) error = std::wstring(name, name + strlen(name)) + L" failed with " + Hex(hr);
    return hr;
}

bool ComponentHost::Create(std::wstring& error) {
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), "DllGetClassObject")));
    if (!getClassObject) {
        error = L"the component has no DllGetClassObject";
        return false;
    }
    kx::com_ptr<IClassFactory> factory;
    HRESULT hr = getClassObject(CLSID_KxUninstMgr, IID_IClassFactory, factory.put_void());
    if (FAILED(hr) || !factory) {
        error = L"the component has no class object for KxUninstMgr (" + Hex(hr) + L")";
        return false;
    }
    hr = factory->CreateInstance(nullptr, IID_IKxUninstMgr, m_pUninst.put_void());
    if (FAILED(hr) || !m_pUninst) {
        error = L"cannot create KxUninstMgr (" + Hex(hr) + L")";
        return false;
    }
    hr = m_pUninst->QueryInterface(IID_IKxListMgr, m_pList.put_void());
    if (FAILED(hr) || !m_pList) {
        error = L"KxUninstMgr has no IKxListMgr (" + Hex(hr) + L")";
        return false;
    }
    return true;
}

LRESULT CALLBACK ComponentHost::ListenerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LISTMGR) {
        auto* self = reinterpret_cast<ComponentHost*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (self) self->m_vecPending.push_back({HIWORD(wParam), LOWORD(wParam), lParam});
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

bool ComponentHost::CreateListener(std::wstring& error) {
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kListenerClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = L"cannot register the listener window class (" + ErrorText(GetLastError()) + L")";
        return false;
    }
    // A message-only window: never shown, reachable by posted messages.
    m_hListener = CreateWindowExW(0, kListenerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr);
    if (!m_hListener) {
        error = L"cannot create the listener window (" + ErrorText(GetLastError()) + L")";
        return false;
    }
    SetWindowLongPtrW(m_hListener, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

bool ComponentHost::Start(const std::wstring& cacheDir, std::wstring& error) {
    if (!CreateListener(error)) return false;
    m_pList->AddListener(m_hListener, kListenMask);
    if (!cacheDir.empty()) {
        BSTR dir = SysAllocString(cacheDir.c_str());
        HRESULT hr = m_pUninst->SetCacheDir(dir);
        SysFreeString(dir);
        if (FAILED(hr)) {
            error = L"SetCacheDir failed with " + Hex(hr);
            return false;
        }
    }
    HRESULT hr = m_pUninst->Init();
    m_bStarted = true;
    if (FAILED(hr)) {
        error = L"Init failed with " + Hex(hr);
        return false;
    }
    return true;
}

std::vector<ListNotification> ComponentHost::Pump(DWORD waitMs) {
    MsgWaitForMultipleObjectsEx(0, nullptr, waitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::vector<ListNotification> out;
    out.swap(m_vecPending);
    return out;
}

void ComponentHost::Stop() {
    if (m_pList && m_hListener) m_pList->RemoveListener(m_hListener, kListenMask);
    if (m_pUninst && m_bStarted) m_pUninst->Uninit();
    m_bStarted = false;
    m_pList.reset();
    m_pUninst.reset();
    if (m_hListener) {
        DestroyWindow(m_hListener);
        m_hListener = nullptr;
    }
    // The DLL stays loaded: objects of a COM server may outlive their last interface by a little, and the
    // process is about to end.
    (void)m_hDll.release();
}

HRESULT ComponentHost::ReadRecord(UINT nType, UINT nIndex, std::vector<BYTE>& buffer) {
    if (buffer.empty()) buffer.resize(kFirstBufferSize);
    for (;;) {
        HRESULT code = m_pList->GetItemByIndex(nType, nIndex, buffer.data(), static_cast<UINT>(buffer.size()));
        if (code != UNINST_ERR_BUFFER_TOO_SMALL || buffer.size() >= kMaxBufferSize) return code;
        buffer.resize(buffer.size() * 2);
    }
}

bool ComponentHost::ReadSoftList(std::vector<SoftRecord>& records, std::wstring& error) {
    records.clear();
    UINT nSize = 0;
    HRESULT code = m_pList->GetSize(LIST_SOFT, &nSize);
    if (code != 0) {
        error = L"GetSize of the soft list failed with code " + std::to_wstring(code);
        return false;
    }
    std::vector<BYTE> buffer;
    for (UINT i = 0; i < nSize; ++i) {
        code = ReadRecord(LIST_SOFT, i, buffer);
        if (code == UNINST_ERR_INDEX) break;  // the list became shorter meanwhile
        if (code != 0) {
            error = L"GetItemByIndex(0x20, " + std::to_wstring(i) + L") failed with code " + std::to_wstring(code);
            return false;
        }
        SoftRecord record;
        CSerializer reader(buffer.data(), static_cast<UINT>(buffer.size()));
        if (!record.item.Deserialize(reader)) {
            error = L"soft-list record " + std::to_wstring(i) + L" cannot be read";
            return false;
        }
        record.bytes.assign(reinterpret_cast<const char*>(buffer.data()), reader.Length());
        records.push_back(std::move(record));
    }
    return true;
}

bool ComponentHost::ReadCategories(std::vector<CCategoryItem>& items, std::wstring& error) {
    items.clear();
    UINT nSize = 0;
    HRESULT code = m_pList->GetSize(LIST_CATEGORY, &nSize);
    if (code != 0) {
        error = L"GetSize of the category list failed with code " + std::to_wstring(code);
        return false;
    }
    std::vector<BYTE> buffer;
    for (UINT i = 0; i < nSize; ++i) {
        code = ReadRecord(LIST_CATEGORY, i, buffer);
        if (code == UNINST_ERR_INDEX) break;
        if (code != 0) {
            error = L"GetItemByIndex(0x100, " + std::to_wstring(i) + L") failed with code " + std::to_wstring(code);
            return false;
        }
        CCategoryItem item;
        CSerializer reader(buffer.data(), static_cast<UINT>(buffer.size()));
        if (!item.Deserialize(reader)) {
            error = L"category record " + std::to_wstring(i) + L" cannot be read";
            return false;
        }
        items.push_back(item);
    }
    return true;
}

HRESULT ComponentHost::Search(UINT nSearchType, const std::wstring& text, std::vector<UINT>& ids) {
    UINT nListSize = 0;
    m_pList->GetSize(LIST_SOFT, &nListSize);
    ids.assign(nListSize + 16, 0);
    BSTR search = SysAllocString(text.c_str());
    HRESULT hr;
    for (;;) {
        UINT nSize = static_cast<UINT>(ids.size());
        hr = m_pList->Search(LIST_SOFT, nSearchType, search, ids.data(), &nSize);
        if (hr == DISP_E_BUFFERTOOSMALL && nSize > ids.size()) {
            ids.assign(nSize, 0);  // the list grew meanwhile: ask again with the size it needs
            continue;
        }
        ids.resize(SUCCEEDED(hr) ? nSize : 0);
        break;
    }
    SysFreeString(search);
    return hr;
}

HRESULT ComponentHost::Refresh() { return m_pUninst->Refresh(); }

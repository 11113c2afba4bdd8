#include "ComponentHost.h"

#include <atomic>

#include "Serializer.h"
#include "WinText.h"

namespace {

const wchar_t kListenerClass[] = L"KxUninstHostListener";
const wchar_t kProbeClass[] = L"KxUninstHostProbe";
const UINT kListenMask = LIST_SOFT | LIST_CATEGORY | LIST_SWEEP;
const UINT WM_HOST_INTERRUPT = WM_APP + 0x4B1;
// Records are a few hundred bytes; the buffer grows when the component reports it too small.
const size_t kFirstBufferSize = 64 * 1024;
const size_t kMaxBufferSize = 64 * 1024 * 1024;

// The console handler runs on a thread of its own: it only posts to the host thread's listener.
std::atomic<HWND> g_hInterruptTarget{nullptr};

BOOL WINAPI ConsoleHandler(DWORD dwCtrlType) {
    if (dwCtrlType != CTRL_C_EVENT && dwCtrlType != CTRL_BREAK_EVENT) return FALSE;
    HWND target = g_hInterruptTarget.load();
    return target && PostMessageW(target, WM_HOST_INTERRUPT, dwCtrlType, 0);
}

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

std::wstring HexText(UINT n) {
    wchar_t text[16];
    _snwprintf(text, 16, L"%x", n);
    text[15] = L'\0';
    return text;
}

// A top-level window of the thread that is not ours: input-method windows come with the thread's first window,
// the probe is gone, the listener is message-only.
BOOL CALLBACK FindForeignWindow(HWND hWnd, LPARAM lParam) {
    wchar_t name[64] = {0};
    GetClassNameW(hWnd, name, 64);
    if (lstrcmpiW(name, L"IME") == 0 || lstrcmpW(name, kProbeClass) == 0) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

}  // namespace

bool CanCreateTopLevelWindow(DWORD& dwError) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kProbeClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        dwError = GetLastError();
        return false;
    }
    // The styles of the component's message window: caption, system menu, clipping, never shown.
    HWND hWnd = CreateWindowExW(0, kProbeClass, L"", WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!hWnd) {
        dwError = GetLastError();
        return false;
    }
    DestroyWindow(hWnd);
    dwError = 0;
    return true;
}

ComponentHost::~ComponentHost() { Stop(); }

bool ComponentHost::Load(const std::wstring& dllPath, std::wstring& error) {
    if (GetFileAttributesW(dllPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"component not found: " + UserPath(dllPath);
        return false;
    }
    m_hDll.reset(LoadLibraryW(dllPath.c_str()));
    if (!m_hDll) {
        error = L"cannot load " + UserPath(dllPath) + L": " + ErrorText(GetLastError());
        return false;
    }
    return true;
}

HRESULT ComponentHost::Register(bool bUnregister, std::wstring& error) {
    const char* name = bUnregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(m_hDll.get(), name)));
    if (!fn) {
        error = L"the component has no " + Wide(name);
        return E_FAIL;
    }
    HRESULT hr = fn();
    if (FAILED(hr)) error = Wide(name) + L" failed: " + HResultText(hr);
    return hr;
}

bool ComponentHost::Create(std::wstring& error) {
    if (!CreateListener(error)) return false;
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
        error = L"the component has no class object for KxUninstMgr: " + HResultText(hr);
        return false;
    }
    hr = factory->CreateInstance(nullptr, IID_IKxUninstMgr, m_pUninst.put_void());
    if (FAILED(hr) || !m_pUninst) {
        error = L"cannot create KxUninstMgr: " + HResultText(hr);
        return false;
    }
    hr = m_pUninst->QueryInterface(IID_IKxListMgr, m_pList.put_void());
    if (FAILED(hr) || !m_pList) {
        error = L"KxUninstMgr has no IKxListMgr: " + HResultText(hr);
        return false;
    }
    return true;
}

LRESULT CALLBACK ComponentHost::ListenerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ComponentHost*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (msg == WM_LISTMGR) {
        if (!self) return 0;
        ListNotification n = {HIWORD(wParam), LOWORD(wParam), lParam};
        // A copy runs: a handler may replace itself (a modal dialog opened from it installs its own).
        if (self->m_onNotify)
            std::function<void(const ListNotification&)>(self->m_onNotify)(n);
        else
            self->m_vecPending.push_back(n);
        return 0;
    }
    if (msg == WM_HOST_INTERRUPT) {
        if (self && !self->m_bInterrupted) {
            self->m_bInterrupted = true;
            if (self->m_onInterrupt) self->m_onInterrupt();
        }
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

bool ComponentHost::CreateListener(std::wstring& error) {
    if (m_hListener) return true;
    HINSTANCE hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = kListenerClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = L"cannot register the listener window class: " + ErrorText(GetLastError());
        return false;
    }
    // A message-only window: never shown, reachable by posted messages.
    m_hListener = CreateWindowExW(0, kListenerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInstance, nullptr);
    if (!m_hListener) {
        error = L"cannot create the listener window: " + ErrorText(GetLastError());
        return false;
    }
    SetWindowLongPtrW(m_hListener, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void ComponentHost::ForwardConsoleInterrupt(std::function<void()> onInterrupt) {
    m_onInterrupt = std::move(onInterrupt);
    g_hInterruptTarget = m_hListener;
    SetConsoleCtrlHandler(ConsoleHandler, TRUE);
}

bool ComponentHost::Start(const std::wstring& cacheDir, std::wstring& error) {
    m_pList->AddListener(m_hListener, kListenMask);
    if (!cacheDir.empty()) {
        BSTR dir = SysAllocString(cacheDir.c_str());
        HRESULT hr = m_pUninst->SetCacheDir(dir);
        SysFreeString(dir);
        if (FAILED(hr)) {
            error = L"SetCacheDir failed: " + HResultText(hr);
            return false;
        }
    }
    HRESULT hr = m_pUninst->Init();
    m_bStarted = true;
    if (FAILED(hr)) {
        error = L"Init failed: " + HResultText(hr);
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

bool ComponentHost::ComponentHasWindow() const {
    HWND hFound = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindForeignWindow, reinterpret_cast<LPARAM>(&hFound));
    return hFound != nullptr;
}

bool ComponentHost::ListReady() const {
    BOOL bLoaded = FALSE;
    return m_pList && SUCCEEDED(m_pList->IsLoaded(LIST_SOFT, &bLoaded)) && bLoaded;
}

void ComponentHost::Stop() {
    if (m_pList && m_hListener) m_pList->RemoveListener(m_hListener, kListenMask);
    if (m_pUninst && m_bStarted) m_pUninst->Uninit();
    m_bStarted = false;
    m_pList.reset();
    m_pUninst.reset();
    if (m_hListener) {
        if (g_hInterruptTarget == m_hListener) g_hInterruptTarget = nullptr;
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

template <typename Item>
bool ComponentHost::ReadItems(UINT nType, const wchar_t* pszWhat, std::vector<Item>& items, std::wstring& error) {
    items.clear();
    UINT nSize = 0;
    HRESULT code = m_pList->GetSize(nType, &nSize);
    const std::wstring type = L"0x" + HexText(nType);
    if (code != 0) {
        error = L"GetSize of the " + std::wstring(pszWhat) + L" list failed with code " + std::to_wstring(code);
        return false;
    }
    std::vector<BYTE> buffer;
    for (UINT i = 0; i < nSize; ++i) {
        code = ReadRecord(nType, i, buffer);
        if (code == UNINST_ERR_INDEX) break;  // the list became shorter meanwhile
        if (code != 0) {
            error = L"GetItemByIndex(" + type + L", " + std::to_wstring(i) + L") failed with code " +
                    std::to_wstring(code);
            return false;
        }
        Item item;
        CSerializer reader(buffer.data(), static_cast<UINT>(buffer.size()));
        if (!item.Deserialize(reader)) {
            error = std::wstring(pszWhat) + L" record " + std::to_wstring(i) + L" cannot be read";
            return false;
        }
        items.push_back(item);
    }
    return true;
}

bool ComponentHost::ReadCategories(std::vector<CCategoryItem>& items, std::wstring& error) {
    return ReadItems(LIST_CATEGORY, L"category", items, error);
}

bool ComponentHost::ReadSweepList(std::vector<CPowerSweepItem>& items, std::wstring& error) {
    return ReadItems(LIST_SWEEP, L"leftover", items, error);
}

UINT ComponentHost::SweepListSize() {
    UINT nSize = 0;
    return m_pList && m_pList->GetSize(LIST_SWEEP, &nSize) == 0 ? nSize : 0;
}

HRESULT ComponentHost::Uninstall(UINT nSoftId) { return m_pUninst->Uninstall(nSoftId); }

HRESULT ComponentHost::CancelUninstall(UINT nSoftId) { return m_pUninst->CancelUninstall(nSoftId); }

HRESULT ComponentHost::Active(UINT nSoftId) { return m_pUninst->Active(nSoftId); }

HRESULT ComponentHost::PowerSweep(UINT nSoftId, std::vector<UINT> ids) {
    return m_pUninst->PowerSweep(nSoftId, ids.empty() ? nullptr : ids.data(), static_cast<UINT>(ids.size()));
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

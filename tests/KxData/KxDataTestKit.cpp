#include "KxDataTestKit.h"

#include "KxUninstMgr.h"

#include <tlhelp32.h>

#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace kxdatatest {

std::string RulesText(UINT nCount, UINT nVersion, UINT nFirst) {
    std::string text = "# test rules\nversion=" + std::to_string(nVersion) +
                       "\ncategory=0.全部软件\ncategory=1.浏览器\ncategory=2.聊天通讯\ncategory=3.办公软件\n";
    for (UINT i = nFirst; i < nFirst + nCount; ++i) {
        std::string n = std::to_string(i);
        text += std::to_string(5000 + i) + "|soft" + n + "|" + std::to_string(1 + i % 3) + "|Program " + n +
                "|0|1||Brief " + n + "|https://example.com/" + n + "||\n";
    }
    return text;
}

std::wstring RulesPath() { return kxtest::ExeFolder() + L"KxDataRules.txt"; }

void WriteRules(const std::string& text) { kxtest::WriteFileBytes(RulesPath(), text); }

DataDll::DataDll() {
    m_hDll = LoadLibraryW((kxtest::ExeFolder() + L"KxData.dll").c_str());
    if (!m_hDll) return;
    using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_hDll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (!get || FAILED(get(CLSID_KxDataMgr, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return;
    factory->CreateInstance(nullptr, IID_IKxDataMgr, reinterpret_cast<void**>(&m_pMgr));
    factory->Release();
    if (m_pMgr) m_pMgr->QueryInterface(IID_IKxListMgr, reinterpret_cast<void**>(&m_pList));
}

void DataDll::ReleaseObjects() {
    if (m_pList) m_pList->Release();
    if (m_pMgr) m_pMgr->Release();
    m_pList = nullptr;
    m_pMgr = nullptr;
}

HRESULT DataDll::CanUnloadNow() const {
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_hDll, "DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

DataDll::~DataDll() {
    ReleaseObjects();
    if (m_hDll) FreeLibrary(m_hDll);
}

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_received;

LRESULT CALLBACK ListenerProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LISTMGR) {
        g_received.emplace_back(wParam, lParam);
        return 0;
    }
    return DefWindowProcW(hWnd, msg, wParam, lParam);
}

}  // namespace

ListenerWindow::ListenerWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ListenerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KxDataTestListener";
    RegisterClassW(&wc);
    m_hWnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    g_received.clear();
}

ListenerWindow::~ListenerWindow() {
    if (m_hWnd) DestroyWindow(m_hWnd);
    g_received.clear();
}

std::vector<std::pair<WPARAM, LPARAM>>& ListenerWindow::Received() { return g_received; }

bool ListenerWindow::WaitFor(WPARAM wParam, DWORD dwTimeoutMs) {
    return PumpUntil(
        [&] {
            for (const auto& m : g_received)
                if (m.first == wParam) return true;
            return false;
        },
        dwTimeoutMs);
}

std::vector<std::pair<WPARAM, LPARAM>> ListenerWindow::Collect(DWORD dwMs) {
    PumpUntil([] { return false; }, dwMs);
    return g_received;
}

size_t ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 te = {sizeof(te)};
    size_t n = 0;
    DWORD pid = GetCurrentProcessId();
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == pid) ++n;
    CloseHandle(snap);
    return n;
}

}  // namespace kxdatatest

void kxdatatest::ReleaseDataComponent(CKxUninstMgr& mgr) {
    mgr.ReleaseDataComponent();
    mgr.m_hDll.reset();
}

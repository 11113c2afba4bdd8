#include "kxtest/Processes.h"

#include <tlhelp32.h>

#include <algorithm>

#include "kxtest/ChildProcess.h"

namespace kxtest {
namespace {

constexpr DWORD kLingerMs = 60000;

// Waits for the named event, serving this thread's windows (and destroying hWnd) meanwhile.
int Linger(const std::wstring& strEvent, HWND hWnd) {
    kx::unique_handle release(OpenEventW(SYNCHRONIZE, FALSE, strEvent.c_str()));
    if (!release) return 3;
    HANDLE h = release.get();
    for (DWORD start = GetTickCount(); GetTickCount() - start < kLingerMs;) {
        if (MsgWaitForMultipleObjects(1, &h, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    if (hWnd) DestroyWindow(hWnd);
    return 0;
}

}  // namespace

KXTEST_CHILD_MODE(kx_linger) { return Linger(args, nullptr); }

// "base|action|exe0|exe1|...": child i lingers on "base.i", the uninstaller itself on "base.u".
KXTEST_CHILD_MODE(kx_uninstaller) {
    std::vector<std::wstring> parts;
    for (size_t start = 0, at;; start = at + 1) {
        at = args.find(L'|', start);
        parts.push_back(args.substr(start, at - start));
        if (at == std::wstring::npos) break;
    }
    if (parts.size() < 2) return 2;
    for (size_t i = 2; i < parts.size(); ++i) {
        std::wstring cmd = L"\"" + parts[i] + L"\" --kx-child=kx_linger " + parts[0] + L"." + std::to_wstring(i - 2);
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 4;
        kx::unique_handle process(pi.hProcess), thread(pi.hThread);
    }
    if (parts[1] == L"exit") return 0;
    HWND hWnd = nullptr;
    if (parts[1] == L"window") {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = ScriptedUninstaller::WindowClass();
        RegisterClassW(&wc);
        // Shown without activation: only the waiter may bring it to the front.
        hWnd = CreateWindowW(wc.lpszClassName, parts[0].c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
        ShowWindow(hWnd, SW_SHOWNOACTIVATE);
    }
    return Linger(parts[0] + L".u", hWnd);
}

std::wstring SelfPath() {
    wchar_t szExe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szExe, MAX_PATH);
    return szExe;
}

size_t ThreadCount() {
    kx::unique_handle snap(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 te = {sizeof(te)};
    size_t n = 0;
    for (BOOL ok = Thread32First(snap.get(), &te); ok; ok = Thread32Next(snap.get(), &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    return n;
}

ScriptedUninstaller::ScriptedUninstaller(const wchar_t* action, const std::vector<std::wstring>& children) {
    static int s_count = 0;
    m_base = L"kxun." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(++s_count);
    std::wstring args = m_base + L"|" + action;
    for (size_t i = 0; i <= children.size(); ++i) {
        const std::wstring suffix = i < children.size() ? std::to_wstring(i) : L"u";
        m_events.emplace_back(CreateEventW(nullptr, TRUE, FALSE, (m_base + L"." + suffix).c_str()));
        if (i < children.size()) args += L"|" + (children[i].empty() ? SelfPath() : children[i]);
    }
    m_cmd = ChildCommandLine("kx_uninstaller", args);
}

void ScriptedUninstaller::ReleaseAll() {
    for (auto& event : m_events) SetEvent(event.get());
}

std::vector<JobProcess> JobProcesses(const wchar_t* jobName) {
    std::vector<JobProcess> found;
    kx::unique_handle job(OpenJobObjectW(JOB_OBJECT_QUERY, FALSE, jobName));
    if (!job) return found;
    struct {
        JOBOBJECT_BASIC_PROCESS_ID_LIST head;
        ULONG_PTR more[63];
    } ids = {};
    ids.head.NumberOfAssignedProcesses = 64;
    QueryInformationJobObject(job.get(), JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr);
    for (DWORD i = 0; i < ids.head.NumberOfProcessIdsInList; ++i) {
        JobProcess p;
        p.process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                    static_cast<DWORD>(i == 0 ? ids.head.ProcessIdList[0] : ids.more[i - 1])));
        wchar_t szPath[MAX_PATH] = {};
        DWORD n = MAX_PATH;
        if (p.process && QueryFullProcessImageNameW(p.process.get(), 0, szPath, &n))
            p.name = std::wstring(szPath).substr(std::wstring(szPath).rfind(L'\\') + 1);
        found.push_back(std::move(p));
    }
    return found;
}

std::vector<std::wstring> JobProcessNames(const wchar_t* jobName) {
    std::vector<std::wstring> names;
    for (const auto& p : JobProcesses(jobName)) names.push_back(p.name);
    std::sort(names.begin(), names.end());
    return names;
}

AsyncCall::AsyncCall(std::function<void()> fn, std::function<void()> abandon)
    : m_fn(std::move(fn)), m_abandon(std::move(abandon)) {
    m_thread.reset(CreateThread(nullptr, 0, [](void* p) -> DWORD {
        static_cast<AsyncCall*>(p)->m_fn();
        return 0;
    }, this, 0, nullptr));
}

AsyncCall::~AsyncCall() {
    if (!Done() && m_abandon) m_abandon();
    Join(INFINITE);
}

}  // namespace kxtest

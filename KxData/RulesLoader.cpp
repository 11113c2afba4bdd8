#include "RulesLoader.h"

#include <cwchar>

#include "DataMgr.h"
#include "ErrorEdge.h"

namespace {

constexpr DWORD kPollMs = 200;

struct FileStamp {
    bool bExists = false;
    FILETIME ftWrite = {};
    ULONGLONG nSize = 0;
    bool operator==(const FileStamp& o) const {
        return bExists == o.bExists && nSize == o.nSize && CompareFileTime(&ftWrite, &o.ftWrite) == 0;
    }
};

FileStamp Stamp(const std::wstring& path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        stamp.bExists = true;
        stamp.ftWrite = data.ftLastWriteTime;
        stamp.nSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return stamp;
}

}  // namespace

KxRuleSet ReadRules(const std::wstring& strPath) {
    std::string text;
    if (!ReadFileText(strPath, text)) return KxRuleSet();
    return ParseRules(text, KxDynamicSoftId);
}

CRulesLoader::CRulesLoader(CompareFn compare, PublishFn publish)
    : m_compare(std::move(compare)), m_publish(std::move(publish)) {}

bool CRulesLoader::Prepare() {
    kx::CritSecLock lock(m_cs);
    if (!m_hStop) m_hStop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hReload) m_hReload.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return m_hStop && m_hReload;
}

bool CRulesLoader::Start(const std::wstring& strPath) {
    kx::CritSecLock lock(m_cs);
    if (m_hThread) return true;
    if (!m_hStop || !m_hReload) return false;
    ResetEvent(m_hStop.get());
    m_strPath = strPath;
    m_hThread.reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    return m_hThread.valid();
}

bool CRulesLoader::IsRunning() {
    kx::CritSecLock lock(m_cs);
    return m_hThread.valid();
}

void CRulesLoader::Reload() {
    kx::CritSecLock lock(m_cs);
    if (m_hReload) SetEvent(m_hReload.get());
}

// Joined without the lock: the thread reads the handles under it while it starts.
void CRulesLoader::Stop() {
    kx::unique_handle hThread;
    {
        kx::CritSecLock lock(m_cs);
        hThread = std::move(m_hThread);
        if (m_hStop) SetEvent(m_hStop.get());
    }
    if (hThread) WaitForSingleObject(hThread.get(), INFINITE);
    kx::CritSecLock lock(m_cs);
    m_hStop.reset();
    m_hReload.reset();
}

DWORD WINAPI CRulesLoader::ThreadProc(void* pThis) {
    auto* self = static_cast<CRulesLoader*>(pThis);
    try {
        std::wstring path;
        {
            kx::CritSecLock lock(self->m_cs);
            path = self->m_strPath;
        }
        self->Run(path);
        return 0;
    } catch (...) {
        return 1;  // the rules stay as they were handed over last
    }
}

void CRulesLoader::Run(const std::wstring& strPath) {
    HANDLE hStop = nullptr;
    HANDLE hReload = nullptr;
    {
        kx::CritSecLock lock(m_cs);
        hStop = m_hStop.get();
        hReload = m_hReload.get();
    }
    // A test hook: loading that takes a while, to exercise shutdown while the rules are still loading.
    wchar_t szDelay[16] = {};
    GetEnvironmentVariableW(L"KXDATA_LOAD_DELAY", szDelay, 16);
    DWORD dwDelay = static_cast<DWORD>(wcstoul(szDelay, nullptr, 10));
    if (dwDelay && WaitForSingleObject(hStop, dwDelay) != WAIT_TIMEOUT) return;

    FileStamp stamp = Stamp(strPath);
    m_publish(ReadRules(strPath), ACT_LIST_READY);

    HANDLE waits[] = {hStop, hReload};
    for (;;) {
        DWORD r = WaitForMultipleObjects(2, waits, FALSE, kPollMs);
        if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
        FileStamp now = Stamp(strPath);
        if (r == WAIT_TIMEOUT && now == stamp) continue;
        stamp = now;
        KxRuleSet fresh = ReadRules(strPath);
        KxRuleChange change = m_compare(fresh);
        if (change != KxRuleChange::None)
            m_publish(std::move(fresh), change == KxRuleChange::Appended ? ACT_ITEM_ADDED : ACT_ITEM_CHANGED);
    }
}

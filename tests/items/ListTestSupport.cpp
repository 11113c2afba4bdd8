#include "ListTestSupport.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "Serializer.h"
#include "kxtest/HostLayout.h"
#include "kxtest/TempDir.h"

namespace listtest {

std::vector<std::pair<WPARAM, LPARAM>> RecordingMgr::SoftNotes() const {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    for (const auto& n : notes)
        if (HIWORD(n.first) == LIST_SOFT) out.push_back(n);
    return out;
}

CSoftItem* MakeSoft(const std::wstring& name, const std::wstring& key, const std::wstring& category, UINT id) {
    auto* p = new CSoftItem;
    p->Name = name, p->Key = key, p->Category = category, p->Id = id, p->SoftId = L"soft-" + name;
    p->Folder = L"C:\\Program Files\\" + name + L"\\", p->Time = L"2024-05-06", p->Size = 123456789012LL, p->Use = 2;
    p->Icon = L"C:\\Program Files\\" + name + L"\\app.exe, 0";
    return p;
}

CUninstallRuleItem* MakeRule(const std::wstring& uninstallName, const std::wstring& softId, UINT typeId) {
    auto* p = new CUninstallRuleItem;
    p->UninstallName = uninstallName, p->SoftId = softId, p->TypeId = typeId;
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

}  // namespace listtest

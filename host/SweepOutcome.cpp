#include "SweepOutcome.h"

#include <windows.h>

#include <map>

#include "ComponentLog.h"
#include "JsonObject.h"
#include "PathText.h"
#include "RecycleBin.h"
#include "RegKey.h"
#include "WinText.h"

namespace {

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }


bool Listed(const std::vector<std::wstring>& paths, const std::wstring& path) {
    for (const std::wstring& p : paths)
        if (_wcsicmp(p.c_str(), path.c_str()) == 0) return true;
    return false;
}

// A registry key text, or a value text (key, two backslashes, name), still there.
bool RegistryEntryExists(const std::wstring& text) {
    HKEY hRoot = nullptr;
    std::wstring rest;
    if (!kx::SplitKeyText(text, hRoot, rest)) return false;
    const size_t p = rest.find(L"\\\\");
    const bool bValue = p != std::wstring::npos && p > 0;
    kx::CRegKey key(hRoot, bValue ? rest.substr(0, p) : rest);
    if (!key.IsOpen()) return false;
    return !bValue || RegQueryValueExW(key.Get(), rest.substr(p + 2).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                          ERROR_SUCCESS;
}

EntryOutcome Judge(const Leftover& l, const SweepEvidence& evidence) {
    EntryOutcome o{l, Outcome::NotRemoved, L""};
    const std::wstring path = kx::TrimSlashesKeepRoot(l.item.Path);
    const bool bRegistry = l.item.Kind == CPowerSweepItem::KIND_REGISTRY;
    const bool bThere = bRegistry ? RegistryEntryExists(l.item.Path) : Exists(path);
    if (!bThere) {
        if (bRegistry) {
            o.outcome = Outcome::Registry;
        } else if (!evidence.bTrashReadable || RecycleBin::Holds(evidence.trashed, path)) {
            o.outcome = evidence.bTrashReadable ? Outcome::RecycleBin : Outcome::Gone;
            if (Listed(evidence.pending, path + L".old"))
                o.detail = L"it was in use: the original goes at restart as " + path + L".old";
        } else {
            o.outcome = Outcome::Gone;
            o.detail = L"not found in the Recycle Bin";
        }
        return o;
    }
    if (!bRegistry && Listed(evidence.pending, path)) {
        o.outcome = Outcome::AtRestart;
        return o;
    }
    const std::wstring reason = GuardRefusal(evidence.componentLog, path);
    o.guardReason = reason;
    o.detail = reason.empty() ? L"the deletion failed" : L"refused by the guard (" + reason + L")";
    return o;
}

}  // namespace

std::vector<std::wstring> PendingDeletions() {
    std::vector<std::wstring> out;
    kx::CRegKey key(HKEY_LOCAL_MACHINE, kSessionManager);
    DWORD type = 0, bytes = 0;
    if (!key.IsOpen() ||
        RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return out;
    std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.Get(), L"PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
        return out;
    // Pairs of source and destination; an empty destination deletes the source.
    std::vector<std::wstring> strings;
    for (size_t i = 0; i < bytes / sizeof(wchar_t);) {
        std::wstring s(&data[i]);
        strings.push_back(s);
        i += s.size() + 1;
    }
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        if (!strings[i + 1].empty()) continue;
        std::wstring source = strings[i];
        if (source.compare(0, 4, L"\\??\\") == 0) source.erase(0, 4);
        out.push_back(kx::TrimSlashesKeepRoot(source));
    }
    return out;
}

std::vector<EntryOutcome> CheckSweep(const std::vector<Leftover>& list, const std::vector<UINT>& ids,
                                     const SweepEvidence& evidence) {
    std::map<UINT, const Leftover*> byId;
    for (const Leftover& l : list)
        if (l.IsEntry()) byId.emplace(l.item.Id, &l);
    std::vector<EntryOutcome> out;
    for (UINT id : ids) {
        auto it = byId.find(id);
        if (it != byId.end()) out.push_back(Judge(*it->second, evidence));
    }
    return out;
}

const char* OutcomeKey(Outcome outcome) {
    switch (outcome) {
        case Outcome::RecycleBin: return "recycle-bin";
        case Outcome::Gone: return "gone";
        case Outcome::Registry: return "registry";
        case Outcome::AtRestart: return "restart";
        default: return "not-removed";
    }
}

std::string SweepSummary(const std::vector<EntryOutcome>& outcomes) {
    static const std::pair<Outcome, const char*> kHeads[] = {
        {Outcome::RecycleBin, "moved to the Recycle Bin"},
        {Outcome::Gone, "gone"},
        {Outcome::Registry, "removed from the registry"},
        {Outcome::AtRestart, "scheduled for removal at restart"},
        {Outcome::NotRemoved, "not removed"},
    };
    std::string out;
    for (const auto& head : kHeads) {
        std::string lines;
        size_t n = 0;
        for (const EntryOutcome& o : outcomes) {
            if (o.outcome != head.first) continue;
            ++n;
            lines += "  " + std::to_string(o.entry.number) + "  " + ToUtf8(o.entry.item.Path) +
                     (o.detail.empty() ? "" : "  (" + ToUtf8(o.detail) + ")") + "\n";
        }
        if (n) out += std::string(head.second) + ": " + std::to_string(n) + "\n" + lines;
    }
    return out.empty() ? "nothing was chosen\n" : out;
}

std::string SweepJson(const std::vector<EntryOutcome>& outcomes, const std::string& indent) {
    std::string out = "[";
    for (size_t i = 0; i < outcomes.size(); ++i) {
        const EntryOutcome& o = outcomes[i];
        JsonObject j("");
        j.Unsigned("number", o.entry.number).Unsigned("id", o.entry.item.Id).Unsigned("kind", o.entry.item.Kind);
        j.Text("path", o.entry.item.Path).Raw("outcome", std::string("\"") + OutcomeKey(o.outcome) + "\"");
        if (!o.detail.empty()) j.Text("detail", o.detail);
        out += (i ? ",\n" : "\n") + indent + "  " + j.Close();
    }
    return out + (outcomes.empty() ? "]" : "\n" + indent + "]");
}

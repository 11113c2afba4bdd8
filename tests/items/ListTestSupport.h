// Shared pieces of the list tests: a component object that records what it tells its host, record builders,
// and the bytes of the cache file.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KxUninstMgr.h"
#include "SoftItem.h"
#include "UninstallRuleItem.h"

namespace listtest {

// The component object with its notifications recorded instead of posted; its lists are its own.
class RecordingMgr : public CKxUninstMgr {
public:
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override {
        notes.emplace_back(wParam, lParam);
        return S_OK;
    }
    // The soft-list notifications only.
    std::vector<std::pair<WPARAM, LPARAM>> SoftNotes() const;
    std::vector<std::pair<WPARAM, LPARAM>> notes;
};

// An item with every field a list build fills: SoftId "soft-<name>", a folder, a date, a size, a use, an icon.
CSoftItem* MakeSoft(const std::wstring& name, const std::wstring& key, const std::wstring& category = L"其他",
                    UINT id = 0);
CUninstallRuleItem* MakeRule(const std::wstring& uninstallName, const std::wstring& softId = L"", UINT typeId = 0);

std::string Bytes(CSoftItem& item);
std::string U32(UINT v);
// A cache file's bytes: version, type, payload length, payload.
std::string CacheBytes(UINT version, UINT type, const std::string& payload);

// What the code run by fn wrote to the process's standard output, line ends as line feeds.
std::string CaptureStdout(const std::function<void()>& fn);

}  // namespace listtest

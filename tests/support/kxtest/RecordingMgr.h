// The component object with its notifications recorded in order instead of posted, for tests that run its tasks
// from the test thread. Header-only: for test binaries that link the component.
#pragma once

#include "KxUninstMgr.h"
#include "kxtest/Pump.h"

namespace kxtest {

class RecordingMgr : public CKxUninstMgr {
public:
    HRESULT STDMETHODCALLTYPE Notify(WPARAM wParam, LPARAM lParam) override {
        notes.emplace_back(wParam, lParam);
        return S_OK;
    }
    // The notifications about one list.
    Notes Of(UINT nList) const {
        Notes out;
        for (const auto& note : notes)
            if (HIWORD(note.first) == nList) out.push_back(note);
        return out;
    }
    Notes notes;
};

}  // namespace kxtest

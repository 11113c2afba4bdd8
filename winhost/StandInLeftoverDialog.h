// Until the leftover dialog is in this folder: its entry point, so that the window builds and runs without it.
#pragma once

#include <windows.h>

#include <functional>

#include "ComponentHost.h"
#include "DataStates.h"

struct LeftoverDialogResult {
    bool bSwept = false;
    UINT nFinalState = 0;
};

LeftoverDialogResult RunLeftoverDialog(HWND owner, ComponentHost& host, const DataStates& states,
                                       const CSoftItem& program,
                                       std::function<void(const ListNotification&)> restore);

// One uninstall at a time, driven from the window: the confirmation, Uninstall, the state in the program's row
// as each change is notified, Cancel and "bring to front" while the uninstaller runs, and the leftover dialog
// when leftovers are offered. The component's cancel and activation act on whatever uninstall runs, so the
// window never starts a second one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ComponentHost.h"
#include "DataStates.h"
#include "LeftoverDialog.h"
#include "ProgramView.h"
#include "RowStates.h"
#include "UninstallStates.h"

class WindowUninstall {
public:
    WindowUninstall(ComponentHost& host, DataStates& states, ProgramView& view) : m_host(host), m_states(states), m_view(view) {}

    void SetOwner(HWND hOwner) { m_hOwner = hOwner; }
    // Called when an uninstall has ended, with the program's id and its last state.
    void OnEnded(std::function<void(UINT nId, UINT nState)> onEnded) { m_onEnded = std::move(onEnded); }

    bool Running() const { return m_bRunning; }
    bool UninstallerRunning() const { return m_bRunning && m_trail.Current() == SOFT_STATE_UNINSTALLER_RUNNING; }
    // Until leftovers are offered: after that the uninstall itself is over and only the sweep remains.
    bool CanCancel() const { return m_bRunning && m_trail.Current() != SOFT_STATE_LEFTOVERS_OFFERED; }
    const CSoftItem& Program() const { return m_program; }

    // Asks the user, then asks the component; false when nothing started (the user was told why).
    bool Start(const CSoftItem& program);
    // A program's state changed (the notification names only its id).
    void OnStateChanged(UINT nId);
    void Cancel();  // only while CanCancel
    void BringToFront();
    // After leftovers were offered: runs the leftover dialog and ends the uninstall with its outcome.
    void OfferLeftovers(std::function<void(const ListNotification&)> restore);

private:
    void Show(UINT nState);
    void End(UINT nState);

    ComponentHost& m_host;
    DataStates& m_states;
    ProgramView& m_view;
    HWND m_hOwner = nullptr;
    std::function<void(UINT, UINT)> m_onEnded;
    bool m_bRunning = false;
    bool m_bCancelled = false;
    CSoftItem m_program;
    StateTrail m_trail;
};

// The words of a state for a row; the state's number when it has none.
std::wstring StateText(UINT nState, bool bAfterUninstaller, const UninstallEnd& end);

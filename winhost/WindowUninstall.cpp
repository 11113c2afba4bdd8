#include "WindowUninstall.h"

#include "UiText.h"
#include "WinHostMessages.h"
#include "WinHostRes.h"

std::wstring StateText(UINT nState, bool bAfterUninstaller, const UninstallEnd& end) {
    UINT id = StateTextId(nState, bAfterUninstaller, end);
    return id ? UiString(id) : UiFormat(IDS_STATE_OTHER, nState);
}

bool WindowUninstall::Start(const CSoftItem& program) {
    if (m_bRunning) {
        MessageBoxW(m_hOwner, UiFormat(IDS_BUSY, m_program.Name.c_str()).c_str(), UiString(IDS_ERROR_TITLE).c_str(),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    const std::wstring question = UiFormat(IDS_CONFIRM_UNINSTALL, program.Name.c_str());
    if (MessageBoxW(m_hOwner, question.c_str(), UiString(IDS_CONFIRM_TITLE).c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return false;
    HRESULT hr = m_host.Uninstall(program.Id);
    KX_SOFT_STATE now = m_states.Get(program.Id);
    if (FAILED(hr)) {
        const std::wstring state = StateText(now.nState, false, UninstallEnd());
        MessageBoxW(m_hOwner, UiFormat(IDS_REFUSED, program.Name.c_str(), now.nState, state.c_str()).c_str(),
                    UiString(IDS_ERROR_TITLE).c_str(), MB_OK | MB_ICONWARNING);
        return false;
    }
    m_program = program;
    m_bRunning = true;
    m_bCancelled = false;
    m_trail = StateTrail();
    m_trail.Begin(now);
    Show(now.nState);
    return true;
}

void WindowUninstall::Show(UINT nState) {
    UninstallEnd end;
    end.bCancelled = m_bCancelled;
    end.bSawUninstaller = m_trail.SawUninstaller();
    end.bSoftCentreRemoved = m_program.Virtual == 1 && SoftCentreRemoved(m_program.Folder);
    const bool bAfter = m_trail.SawUninstaller() && nState != SOFT_STATE_UNINSTALLER_RUNNING;
    m_view.SetState(m_program.Id, StateText(nState, bAfter, end));
}

void WindowUninstall::OnStateChanged(UINT nId) {
    if (!m_bRunning || nId != m_program.Id) return;
    for (UINT s : m_trail.Advance(m_states.Get(nId))) Show(s);
    const UINT now = m_trail.Current();
    if (!IsFinalState(now)) return;
    if (now == SOFT_STATE_LEFTOVERS_OFFERED)
        PostMessageW(m_hOwner, WM_KXW_LEFTOVERS, 0, 0);
    else
        End(now);
}

void WindowUninstall::End(UINT nState) {
    m_bRunning = false;
    if (m_onEnded) m_onEnded(m_program.Id, nState);
}

void WindowUninstall::Cancel() {
    if (!CanCancel()) return;
    m_bCancelled = true;
    m_host.CancelUninstall(m_program.Id);
    m_view.SetState(m_program.Id, UiString(IDS_STATE_CANCELLING));
}

void WindowUninstall::BringToFront() {
    if (UninstallerRunning()) m_host.Active(m_program.Id);
}

void WindowUninstall::OfferLeftovers(std::function<void(const ListNotification&)> restore) {
    if (!m_bRunning || m_trail.Current() != SOFT_STATE_LEFTOVERS_OFFERED) return;
    LeftoverDialogResult result = RunLeftoverDialog(m_hOwner, m_host, m_states, m_program, std::move(restore));
    // A sweep that removed everything moved the program on to 20, and that notification, passed on by the
    // dialog, has ended the uninstall already.
    if (!m_bRunning) return;
    // The sweep moves the program on to 20 when nothing is left; otherwise it stays uninstalled with leftovers.
    const UINT nState = result.nFinalState ? result.nFinalState : m_states.Get(m_program.Id).nState;
    if (nState == SOFT_STATE_REMOVED)
        m_view.SetState(m_program.Id, UiString(IDS_STATE_REMOVED));
    else
        m_view.SetState(m_program.Id, UiString(IDS_STATE_LEFTOVERS_KEPT));
    End(nState);
}

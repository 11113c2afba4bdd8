// A test tool, not part of the window host: uninstalls one program through the component as the window host does
// and opens the leftover dialog on what the uninstaller left behind, so that the dialog can be seen and driven on a
// throwaway copy of the sample machine (what is swept is really deleted: it runs only in a sandboxed prefix).
// With --auto FOLDER it presses "Remove selected" itself, saves screenshots of the dialog before and after the sweep
// into FOLDER (PNG) and prints the tree and the summary as another process would read them.
//
// With --untick, before the sweep it unticks the third group with a click on its box and then the first entry of
// the second group with the space bar, as a user would, so that the sweep leaves those behind; afterwards it ticks
// the rest with the root's box and sweeps again.
//
//   kxw_leftover_driver.exe "DISPLAY NAME" [--auto FOLDER] [--lang zh|en] [--untick 1]
#include <windows.h>
#include <commctrl.h>
#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>

#include "ComponentHost.h"
#include "DataStates.h"
#include "HostExe.h"
#include "LeftoverDialog.h"
#include "ScopedHandle.h"
#include "UiText.h"
#include "WinHostIds.h"
#include "WinText.h"
#include "kxtest/SandboxedPrefix.h"

namespace {

void Say(const std::string& line) {
    fprintf(stderr, "driver: %s\n", line.c_str());
    fflush(stderr);
}

// The window's pixels from the screen, as a PNG through the imaging component.
bool SavePng(HWND hWnd, const std::wstring& path) {
    RECT rc;
    if (!GetWindowRect(hWnd, &rc)) return false;
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    HDC hScreen = GetDC(nullptr);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    BitBlt(hMem, 0, 0, cx, cy, hScreen, rc.left, rc.top, SRCCOPY);
    SelectObject(hMem, hOld);
    DeleteDC(hMem);
    ReleaseDC(nullptr, hScreen);

    bool ok = false;
    kx::com_ptr<IWICImagingFactory> factory;
    kx::com_ptr<IWICBitmap> bitmap;
    kx::com_ptr<IWICStream> stream;
    kx::com_ptr<IWICBitmapEncoder> encoder;
    kx::com_ptr<IWICBitmapFrameEncode> frame;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                   reinterpret_cast<void**>(factory.put()))) &&
        SUCCEEDED(factory->CreateBitmapFromHBITMAP(hBitmap, nullptr, WICBitmapIgnoreAlpha, bitmap.put())) &&
        SUCCEEDED(factory->CreateStream(stream.put())) &&
        SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
        SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.put(), nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->WriteSource(bitmap.get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
        SUCCEEDED(encoder->Commit()))
        ok = true;
    DeleteObject(hBitmap);
    return ok;
}

std::wstring ItemText(HWND hTree, HTREEITEM hItem, LPARAM& lParam, bool& bChecked) {
    wchar_t sz[1024] = {};
    TVITEMW item = {};
    item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_STATE;
    item.hItem = hItem;
    item.pszText = sz;
    item.cchTextMax = 1024;
    item.stateMask = TVIS_STATEIMAGEMASK;
    SendMessageW(hTree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    lParam = item.lParam;
    bChecked = ((item.state & TVIS_STATEIMAGEMASK) >> 12) == 2;
    return sz;
}

void DumpTree(HWND hTree, HTREEITEM hItem, int depth) {
    for (; hItem; hItem = TreeView_GetNextSibling(hTree, hItem)) {
        LPARAM lParam = 0;
        bool bChecked = false;
        const std::wstring text = ItemText(hTree, hItem, lParam, bChecked);
        Say(std::string(static_cast<size_t>(depth) * 2, ' ') + (bChecked ? "[x] " : "[ ] ") + ToUtf8(text) +
            "  (id " + std::to_string(lParam) + ", state " + std::to_string(SendMessageW(hTree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), TVIS_STATEIMAGEMASK)) + ")");
        DumpTree(hTree, TreeView_GetChild(hTree, hItem), depth + 1);
    }
}

std::wstring ControlText(HWND hDlg, int nId) {
    wchar_t sz[4096] = {};
    GetDlgItemTextW(hDlg, nId, sz, 4096);
    return sz;
}

// The n-th child of an item (0-based).
HTREEITEM NthChild(HWND hTree, HTREEITEM hItem, int n) {
    HTREEITEM h = TreeView_GetChild(hTree, hItem);
    while (h && n-- > 0) h = TreeView_GetNextSibling(hTree, h);
    return h;
}

void Input(std::initializer_list<INPUT> inputs) {
    for (INPUT in : inputs) {
        SendInput(1, &in, sizeof(INPUT));
        Sleep(100);
    }
}

// A real click on the item's check box: found by hit testing leftwards from its text.
bool ClickBox(HWND hTree, HTREEITEM hItem) {
    // The message takes the item in the rectangle's first bytes.
    RECT rc = {};
    memcpy(&rc, &hItem, sizeof(hItem));
    if (!SendMessageW(hTree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rc))) return false;
    for (int x = rc.left - 1; x > 0; --x) {
        TVHITTESTINFO ht = {};
        ht.pt = {x, (rc.top + rc.bottom) / 2};
        if (TreeView_HitTest(hTree, &ht) == hItem && (ht.flags & TVHT_ONITEMSTATEICON)) {
            ClientToScreen(hTree, &ht.pt);
            SetCursorPos(ht.pt.x, ht.pt.y);
            INPUT down = {}, up = {};
            down.type = up.type = INPUT_MOUSE;
            down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
            up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
            Input({down, up});
            return true;
        }
    }
    return false;
}

void PressSpace(HWND hTree, HTREEITEM hItem) {
    TreeView_SelectItem(hTree, hItem);
    SetFocus(hTree);
    INPUT down = {}, up = {};
    down.type = up.type = INPUT_KEYBOARD;
    down.ki.wVk = up.ki.wVk = VK_SPACE;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    Input({down, up});
}

// Another thread plays the user: waits for the dialog, shoots it, presses the button, waits for the summary,
// shoots it again and closes it. Cross-thread sends are served by the dialog's own message loop.
void AutoPilot(std::wstring folder, bool bUntick) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND hDlg = nullptr;
    while (!(hDlg = FindWindowW(KXW_LEFTOVER_CLASS, nullptr))) Sleep(100);
    Sleep(1000);  // let it paint: only the screenshot waits for this
    HWND hTree = GetDlgItem(hDlg, IDC_KXW_LEFTOVER_TREE);
    Say("tree as opened:");
    DumpTree(hTree, TreeView_GetRoot(hTree), 1);
    Say(SavePng(hDlg, folder + L"\\leftover-dialog.png") ? "saved leftover-dialog.png" : "no screenshot");
    if (bUntick) {
        // Input goes to the thread that owns the focus: this thread joins the dialog's input for it.
        AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(hDlg, nullptr), TRUE);
        SetForegroundWindow(hDlg);
        HTREEITEM hRoot = TreeView_GetRoot(hTree);
        Say(ClickBox(hTree, NthChild(hTree, hRoot, 2)) ? "clicked the third group's box" : "no box to click");
        Sleep(500);
        PressSpace(hTree, NthChild(hTree, NthChild(hTree, hRoot, 1), 0));
        Sleep(500);
        Say("tree as the user left it:");
        DumpTree(hTree, hRoot, 1);
        Say(SavePng(hDlg, folder + L"\\leftover-dialog-unticked.png") ? "saved leftover-dialog-unticked.png"
                                                                        : "no screenshot");
    }
    SendMessageW(GetDlgItem(hDlg, IDC_KXW_SWEEP), BM_CLICK, 0, 0);
    // The sweep has ended when the dialog takes input again.
    while (!IsWindowEnabled(GetDlgItem(hDlg, IDCANCEL))) Sleep(100);
    Sleep(1000);
    Say("progress " + std::to_string(SendMessageW(GetDlgItem(hDlg, IDC_KXW_SWEEP_PROGRESS), PBM_GETPOS, 0, 0)));
    Say("summary:\n" + ToUtf8(ControlText(hDlg, IDC_KXW_SWEEP_SUMMARY)));
    Say("tree after the sweep:");
    DumpTree(hTree, TreeView_GetRoot(hTree), 1);
    Say(SavePng(hDlg, folder + L"\\leftover-dialog-swept.png") ? "saved leftover-dialog-swept.png" : "no screenshot");
    if (bUntick && TreeView_GetRoot(hTree)) {
        // A second round: the root's box ticks what is left, and the sweep takes it.
        Say(ClickBox(hTree, TreeView_GetRoot(hTree)) ? "clicked the root's box" : "no box to click");
        Sleep(500);
        SendMessageW(GetDlgItem(hDlg, IDC_KXW_SWEEP), BM_CLICK, 0, 0);
        while (!IsWindowEnabled(GetDlgItem(hDlg, IDCANCEL))) Sleep(100);
        Say("summary of the second sweep:\n" + ToUtf8(ControlText(hDlg, IDC_KXW_SWEEP_SUMMARY)));
        Say(TreeView_GetRoot(hTree) ? "the tree still has items" : "the tree is empty");
    }
    PostMessageW(hDlg, WM_CLOSE, 0, 0);
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) {
        Say("usage: kxw_leftover_driver \"DISPLAY NAME\" [--auto FOLDER]");
        return 2;
    }
    if (!kxtest::RequireSandboxedPrefix()) return 3;
    const std::wstring name = argv[1];
    std::wstring autoFolder, lang;
    bool bUntick = false;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::wstring(argv[i]) == L"--auto") autoFolder = argv[i + 1];
        if (std::wstring(argv[i]) == L"--lang") lang = argv[i + 1];
        if (std::wstring(argv[i]) == L"--untick") bUntick = std::wstring(argv[i + 1]) == L"1";
    }
    SetUiLanguage(ChooseUiLanguage(GetUserDefaultUILanguage(), lang));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring folder = GetHostExeFolder();
    ComponentHost host;
    DataStates states;
    std::wstring error;
    if (!host.Load(folder + L"KxUninst.dll", error) || !host.Create(error) || !states.Open(folder, error) ||
        !host.Start(L"", error)) {
        Say(ToUtf8(error));
        return 1;
    }
    CSoftItem program;
    for (int round = 0; program.Id == 0 && round < 600; ++round) {
        host.Pump(100);
        std::vector<SoftRecord> records;
        if (!host.ListReady() || !host.ReadSoftList(records, error)) continue;
        for (const SoftRecord& r : records)
            if (r.item.Name == name) program = r.item;
    }
    if (program.Id == 0) {
        Say("not in the list: " + ToUtf8(name));
        return 1;
    }
    Say("folder " + ToUtf8(program.Folder) + ", key " + ToUtf8(program.Key));
    Say("uninstalling " + ToUtf8(program.Name) + " (id " + std::to_string(program.Id) + ")");
    if (FAILED(host.Uninstall(program.Id))) return 1;
    UINT nState = 0;
    while (nState != SOFT_STATE_LEFTOVERS_OFFERED && nState != SOFT_STATE_NOT_UNINSTALLED && nState != SOFT_STATE_REMOVED) {
        host.Pump(100);
        nState = states.Get(program.Id).nState;
    }
    Say("state " + std::to_string(nState));
    if (nState != SOFT_STATE_LEFTOVERS_OFFERED) return 1;
    std::thread pilot;
    if (!autoFolder.empty()) pilot = std::thread(AutoPilot, autoFolder, bUntick);
    const LeftoverDialogResult result = RunLeftoverDialog(nullptr, host, states, program, nullptr);
    if (pilot.joinable()) pilot.join();
    Say(std::string("swept ") + (result.bSwept ? "yes" : "no") + ", final state " + std::to_string(result.nFinalState));
    host.Stop();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) { return Run(argc, argv); }

// kxwinprobe: reads and drives the windows of another process from outside, as a person would see and use
// them, for the window's tests and for scripts/run's screenshots. Every command names the window by its class
// (the first visible top-level window of that class) and a control by its id.
#include "InputProbe.h"
#include "ListViewProbe.h"
#include "RemoteMemory.h"
#include "ScreenCapture.h"
#include "TreeViewProbe.h"
#include "WindowFinder.h"
#include "WinText.h"

#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"usage: kxwinprobe [--desktop NAME] [--wait SECONDS] COMMAND ARGUMENTS\n"
    L"  wait CLASS                  until a visible top-level window of CLASS is there\n"
    L"  gone CLASS                  until no visible top-level window of CLASS is left\n"
    L"  rows CLASS ID               the ListView's rows: lParam, selected (0/1), then each column, tab-separated\n"
    L"  tree CLASS ID               the TreeView's items: level, checked (0/1), lParam, text, tab-separated\n"
    L"  text CLASS ID [PART]        the control's text (a status bar's part PART, default 0)\n"
    L"  type CLASS ID TEXT          types TEXT into the control; \\b deletes backwards\n"
    L"  select CLASS ID ROW         selects the ListView row ROW (its first column's text, or #N from 0)\n"
    L"  click CLASS ID ROW [double]  clicks the row's name with the mouse\n"
    L"  tick CLASS ID ITEM          clicks the check box of the TreeView item ITEM (its lParam, or #N)\n"
    L"  press CLASS ID              clicks the button\n"
    L"  command CLASS CMD           sends the window the command CMD (WM_COMMAND)\n"
    L"  close CLASS                 asks the window to close (WM_CLOSE)\n"
    L"  key CLASS ID KEY            presses KEY (F5, DELETE, RETURN, SPACE, ESCAPE, TAB or a virtual-key number)\n"
    L"  answer CLASS BUTTON         clicks button BUTTON (1 OK, 2 Cancel, 6 Yes, 7 No) of the message box that\n"
    L"                              the window of CLASS owns; prints the box's title\n"
    L"  shot CLASS|screen FILE      saves the window (or the whole screen) as a PNG\n"
    L"  differ CLASS ID ROW1 ROW2   whether two ListView rows' names are drawn with different pixels; prints the\n"
    L"                              ink of each and the pixels that differ; exit 0 only when both have ink\n"
    L"                              and they differ\n"
    L"exit codes: 0 done, 1 not found or not done within the wait (default 30 s), 2 usage\n";

double g_wait = 30;

void Print(const std::wstring& line) {
    std::string bytes = ToUtf8(line + L"\n");
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

struct Failure {
    std::wstring what;
};

[[noreturn]] void Fail(const std::wstring& what) { throw Failure{what}; }

HWND Top(const std::wstring& cls) {
    HWND found = nullptr;
    WaitUntil(g_wait, [&] { return (found = FindTopWindow(cls)) != nullptr; });
    if (!found) Fail(L"no visible window of class " + cls);
    return found;
}

HWND Control(const std::wstring& cls, const std::wstring& id) {
    HWND top = Top(cls);
    HWND found = nullptr;
    WaitUntil(g_wait, [&] { return (found = FindControl(top, _wtoi(id.c_str()))) != nullptr; });
    if (!found) Fail(L"the window of class " + cls + L" has no control " + id);
    return found;
}

std::vector<ListRow> Rows(HWND list) {
    std::vector<ListRow> rows;
    if (!ReadRows(list, rows)) Fail(L"cannot read the list's rows");
    return rows;
}

int Row(HWND list, const std::wstring& selector) {
    int row = -1;
    WaitUntil(g_wait, [&] { return (row = FindRow(Rows(list), selector)) >= 0; });
    if (row < 0) Fail(L"no row " + selector);
    return row;
}

std::vector<TreeNode> Tree(HWND tree) {
    std::vector<TreeNode> nodes;
    if (!ReadTree(tree, nodes)) Fail(L"cannot read the tree's items");
    return nodes;
}

const TreeNode* TreeItem(const std::vector<TreeNode>& nodes, const std::wstring& selector) {
    if (selector.size() > 1 && selector[0] == L'#') {
        size_t n = wcstoul(selector.c_str() + 1, nullptr, 10);
        return n < nodes.size() ? &nodes[n] : nullptr;
    }
    for (const TreeNode& n : nodes)
        if (std::to_wstring(n.param) == selector) return &n;
    return nullptr;
}

// The screen as it settles: captured until two pictures in a row agree (painting reaches the X server a little
// after the window has drawn).
Image Settled(const RECT& rect) {
    Image last, now;
    for (int i = 0; i < 40; ++i) {
        if (!CaptureScreen(rect, now)) Fail(L"cannot read the screen");
        if (i > 0 && now.pixels == last.pixels) return now;
        last = now;
        Sleep(150);
    }
    return now;
}

RECT ScreenRect(HWND hwnd, RECT client) {
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

using Args = std::vector<std::wstring>;

int Wait(const Args& a) { Top(a[0]); return 0; }

int Gone(const Args& a) {
    if (!WaitUntil(g_wait, [&] { return FindTopWindow(a[0]) == nullptr; }))
        Fail(L"the window of class " + a[0] + L" is still there");
    return 0;
}

int PrintRows(const Args& a) {
    for (const ListRow& r : Rows(Control(a[0], a[1]))) {
        std::wstring line = std::to_wstring(r.param) + L"\t" + ((r.state & LVIS_SELECTED) ? L"1" : L"0");
        for (const std::wstring& c : r.cells) line += L"\t" + c;
        Print(line);
    }
    return 0;
}

int PrintTree(const Args& a) {
    for (const TreeNode& n : Tree(Control(a[0], a[1])))
        Print(std::to_wstring(n.level) + L"\t" + (n.checked ? L"1" : L"0") + L"\t" + std::to_wstring(n.param) + L"\t" +
              n.text);
    return 0;
}

int PrintText(const Args& a) {
    HWND ctl = Control(a[0], a[1]);
    std::wstring text;
    if (ClassOf(ctl) == STATUSCLASSNAMEW) {
        int part = a.size() > 2 ? _wtoi(a[2].c_str()) : 0;
        size_t len = LOWORD(SendMessageW(ctl, SB_GETTEXTLENGTHW, part, 0));
        RemoteMemory mem(ctl, (len + 1) * sizeof(wchar_t));
        text.assign(len + 1, L'\0');
        if (!mem.valid()) Fail(L"cannot reach the status bar's process");
        SendMessageW(ctl, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(mem.at()));
        if (!mem.Read(0, &text[0], text.size() * sizeof(wchar_t))) Fail(L"cannot read the status bar");
        text.resize(wcsnlen(text.c_str(), len));
    } else {
        int len = GetWindowTextLengthW(ctl);
        text.assign(static_cast<size_t>(len) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(ctl, &text[0], len + 1)));
    }
    Print(text);
    return 0;
}

int Type(const Args& a) {
    std::wstring text;
    for (size_t i = 0; i < a[2].size(); ++i) {
        if (a[2][i] == L'\\' && i + 1 < a[2].size() && a[2][i + 1] == L'b') { text += L'\b'; ++i; }
        else text += a[2][i];
    }
    TypeText(Control(a[0], a[1]), text);
    return 0;
}

int Select(const Args& a) {
    HWND list = Control(a[0], a[1]);
    if (!SelectRow(list, Row(list, a[2]))) Fail(L"cannot select row " + a[2]);
    return 0;
}

int Click(const Args& a) {
    HWND list = Control(a[0], a[1]);
    int row = Row(list, a[2]);
    RECT r{};
    if (!CellRect(list, row, 0, r)) Fail(L"cannot find row " + a[2] + L" on the screen");
    POINT mid = {r.left + std::min<LONG>(8, (r.right - r.left) / 2), (r.top + r.bottom) / 2};
    if (!ClickAt(list, mid, a.size() > 3 && a[3] == L"double")) Fail(L"cannot send the click");
    return 0;
}

int Tick(const Args& a) {
    HWND tree = Control(a[0], a[1]);
    std::vector<TreeNode> nodes = Tree(tree);
    const TreeNode* node = TreeItem(nodes, a[2]);
    if (!node) Fail(L"no tree item " + a[2]);
    HTREEITEM item = node->item;
    bool before = node->checked;
    POINT pt{};
    if (!CheckBoxPoint(tree, item, pt)) Fail(L"the item " + a[2] + L" shows no check box");
    if (!ClickAt(tree, pt, false)) Fail(L"cannot send the click");
    bool flipped = WaitUntil(g_wait, [&] {
        for (const TreeNode& n : Tree(tree))
            if (n.item == item) return n.checked != before;
        return false;
    });
    if (!flipped) Fail(L"the check box of item " + a[2] + L" did not change");
    return 0;
}

int Press(const Args& a) {
    PostMessageW(Control(a[0], a[1]), BM_CLICK, 0, 0);
    return 0;
}

int Command(const Args& a) {
    PostMessageW(Top(a[0]), WM_COMMAND, MAKEWPARAM(_wtoi(a[1].c_str()), 0), 0);
    return 0;
}

int Close(const Args& a) {
    PostMessageW(Top(a[0]), WM_CLOSE, 0, 0);
    return 0;
}

int Key(const Args& a) {
    UINT vk = KeyByName(a[2]);
    if (!vk) Fail(L"unknown key " + a[2]);
    PressKey(Control(a[0], a[1]), vk);
    return 0;
}

int Answer(const Args& a) {
    HWND owner = Top(a[0]);
    HWND box = nullptr;
    WaitUntil(g_wait, [&] { return (box = FindOwnedWindow(owner, L"#32770")) != nullptr; });
    if (!box) Fail(L"the window of class " + a[0] + L" shows no message box");
    HWND button = GetDlgItem(box, _wtoi(a[1].c_str()));
    if (!button) Fail(L"the message box has no button " + a[1]);
    wchar_t title[256] = {};
    GetWindowTextW(box, title, 256);
    Print(title);
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
}

int Shot(const Args& a) {
    RECT r{};
    if (a[0] == L"screen") {
        r = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
        r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
        r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    } else {
        HWND top = Top(a[0]);
        SendMessageW(top, WM_NULL, 0, 0);
        GetWindowRect(top, &r);
    }
    std::wstring error;
    if (!SavePng(Settled(r), a[1], error)) Fail(a[1] + L": " + error);
    return 0;
}

int Differ(const Args& a) {
    HWND list = Control(a[0], a[1]);
    int rows[2] = {Row(list, a[2]), Row(list, a[3])};
    // Neither row selected nor focused: both drawn on the same background.
    RemoteMemory mem(list, sizeof(LVITEMW));
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (!mem.Write(0, &none, sizeof(none))) Fail(L"cannot reach the list's process");
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(mem.at()));
    Image img[2];
    for (int i = 0; i < 2; ++i) {
        RECT r{};
        if (!CellRect(list, rows[i], 0, r)) Fail(L"cannot find row " + a[2 + i] + L" on the screen");
        img[i] = Settled(ScreenRect(list, r));
    }
    size_t ink0 = InkPixels(img[0]), ink1 = InkPixels(img[1]), diff = DifferentPixels(img[0], img[1]);
    Print(L"ink " + std::to_wstring(ink0) + L" " + std::to_wstring(ink1) + L", differing " + std::to_wstring(diff));
    return ink0 > 0 && ink1 > 0 && diff > 0 ? 0 : 1;
}

struct CommandSpec {
    const wchar_t* name;
    size_t minArgs, maxArgs;
    int (*run)(const Args&);
};

const CommandSpec kCommands[] = {
    {L"wait", 1, 1, Wait},       {L"gone", 1, 1, Gone},         {L"rows", 2, 2, PrintRows},
    {L"tree", 2, 2, PrintTree},  {L"text", 2, 3, PrintText},    {L"type", 3, 3, Type},
    {L"select", 3, 3, Select},   {L"click", 3, 4, Click},       {L"tick", 3, 3, Tick},
    {L"press", 2, 2, Press},     {L"command", 2, 2, Command},   {L"close", 1, 1, Close},   {L"key", 3, 3, Key},
    {L"answer", 2, 2, Answer},   {L"shot", 2, 2, Shot},         {L"differ", 4, 4, Differ},
};

int Usage() {
    std::string bytes = ToUtf8(kUsage);
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    return 2;
}

void PrintError(const std::wstring& what) {
    std::string bytes = ToUtf8(L"kxwinprobe: " + what + L"\n");
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

int Run(Args args) {
    std::wstring desktop;
    size_t i = 0;
    for (; i + 1 < args.size() && args[i].rfind(L"--", 0) == 0; i += 2) {
        if (args[i] == L"--desktop") {
            // The desktop appears when its first program starts: it is waited for like a window.
            desktop = args[i + 1];
        } else if (args[i] == L"--wait") {
            g_wait = _wtof(args[i + 1].c_str());
        } else {
            return Usage();
        }
    }
    if (i >= args.size()) return Usage();
    if (!desktop.empty() && !WaitUntil(g_wait, [&] { return UseDesktop(desktop); })) Fail(L"no desktop " + desktop);
    for (const CommandSpec& c : kCommands) {
        if (args[i] != c.name) continue;
        Args rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
        if (rest.size() < c.minArgs || rest.size() > c.maxArgs) return Usage();
        return c.run(rest);
    }
    return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        // Multithreaded: a single-threaded apartment would give the thread a window, and a thread with a window
        // cannot move to another desktop.
        HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        int rc = Run(Args(argv + 1, argv + argc));
        if (SUCCEEDED(hr)) CoUninitialize();
        return rc;
    } catch (const Failure& f) {
        PrintError(f.what);
        return 1;
    } catch (...) {
        PrintError(L"out of memory");
        return 1;
    }
}

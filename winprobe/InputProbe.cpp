#include "InputProbe.h"

#include <cstdlib>
#include <cwctype>

void TypeText(HWND control, const std::wstring& text) {
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, c, 1);
}

void PressKey(HWND control, UINT vk) {
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(control, WM_KEYDOWN, vk, scan | 1);
    PostMessageW(control, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
}

namespace {

INPUT MouseInput(DWORD flags, LONG x, LONG y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = x;
    in.mi.dy = y;
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    return in;
}

}  // namespace

bool ClickAt(HWND control, POINT client, bool twice) {
    HWND top = GetAncestor(control, GA_ROOT);
    SetForegroundWindow(top);
    POINT pt = client;
    if (!ClientToScreen(control, &pt)) return false;
    int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (vw < 2 || vh < 2) return false;
    // Absolute input is in 0..65535 across the virtual screen.
    LONG x = static_cast<LONG>((pt.x - vx) * 65535LL / (vw - 1));
    LONG y = static_cast<LONG>((pt.y - vy) * 65535LL / (vh - 1));
    // On a busy machine the X server can still be reporting the pointer's old place when the button goes down,
    // and the click then lands there: as a person does, the pointer reaches the spot (and the window is in
    // front) before the button is pressed.
    INPUT move = MouseInput(MOUSEEVENTF_MOVE, x, y);
    if (SendInput(1, &move, sizeof(INPUT)) != 1) return false;
    for (int i = 0; i < 200; ++i, Sleep(10)) {
        POINT now{};
        if (GetCursorPos(&now) && std::abs(now.x - pt.x) <= 1 && std::abs(now.y - pt.y) <= 1 &&
            GetForegroundWindow() == top)
            break;
    }
    INPUT seq[4] = {MouseInput(MOUSEEVENTF_LEFTDOWN, x, y), MouseInput(MOUSEEVENTF_LEFTUP, x, y),
                    MouseInput(MOUSEEVENTF_LEFTDOWN, x, y), MouseInput(MOUSEEVENTF_LEFTUP, x, y)};
    UINT n = twice ? 4 : 2;
    return SendInput(n, seq, sizeof(INPUT)) == n;
}

UINT KeyByName(const std::wstring& name) {
    struct Named { const wchar_t* name; UINT vk; };
    static const Named keys[] = {{L"F5", VK_F5},         {L"DELETE", VK_DELETE}, {L"RETURN", VK_RETURN},
                                 {L"SPACE", VK_SPACE},   {L"ESCAPE", VK_ESCAPE}, {L"TAB", VK_TAB}};
    for (const Named& k : keys)
        if (_wcsicmp(name.c_str(), k.name) == 0) return k.vk;
    if (!name.empty() && std::iswdigit(name[0])) return static_cast<UINT>(wcstoul(name.c_str(), nullptr, 0));
    return 0;
}

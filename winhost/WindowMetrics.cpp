#include "WindowMetrics.h"

namespace {

// Calls newer than the oldest system the host runs on.
void* User32Export(const char* pszName) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), pszName));
}

}  // namespace

UINT SystemDpi() {
    HDC hdc = GetDC(nullptr);
    const int dpi = hdc ? GetDeviceCaps(hdc, LOGPIXELSY) : 96;
    if (hdc) ReleaseDC(nullptr, hdc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

UINT WindowDpi(HWND hWnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto pfn = reinterpret_cast<GetDpiForWindowFn>(User32Export("GetDpiForWindow"));
    const UINT dpi = pfn && hWnd ? pfn(hWnd) : 0;
    return dpi ? dpi : SystemDpi();
}

kx::unique_hfont MessageFont(UINT dpi) {
    using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto pfn = reinterpret_cast<SystemParametersInfoForDpiFn>(User32Export("SystemParametersInfoForDpi"));
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof(ncm);
    if (pfn && pfn(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0, dpi))
        return kx::unique_hfont(CreateFontIndirectW(&ncm.lfMessageFont));
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) return kx::unique_hfont();
    // Without the per-DPI call the metrics are the screen's.
    ncm.lfMessageFont.lfHeight =
        MulDiv(ncm.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return kx::unique_hfont(CreateFontIndirectW(&ncm.lfMessageFont));
}

std::wstring WindowText(HWND hWnd) {
    const int n = GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    const int got = GetWindowTextW(hWnd, &text[0], n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

// kxuninstw.exe: the window host of KxUninst.dll. It loads the component from its own folder like the suite's
// user interface does, shows the installed programs, and uninstalls and sweeps them with the mouse or the keyboard.
// Options: --lang zh|en (the texts' language; else the user's UI language), --cache-dir DIR, --allow-changes
// (uninstalling from a prefix that scripts/run --prefix marks as only read).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "HostExe.h"
#include "MainWindow.h"
#include "UiText.h"

namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {0};
    DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n && n < 1024 ? value : L"";
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int nCmdShow) {
    WindowOptions options;
    options.folder = GetHostExeFolder();
    // scripts/run --prefix sets it: the user's own prefix is only read unless told otherwise.
    options.readOnlyPrefix = Env(L"KXUNINST_READ_ONLY_PREFIX");
    std::wstring lang;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--allow-changes")
            options.allowChanges = true;
        else if (arg == L"--lang" && i + 1 < argc)
            lang = argv[++i];
        else if (arg == L"--cache-dir" && i + 1 < argc)
            options.cacheDir = argv[++i];
    }
    LocalFree(argv);
    SetUiLanguage(ChooseUiLanguage(GetUserDefaultUILanguage(), lang));

    HRESULT hrCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                           ICC_TREEVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    int rc = 1;
    {
        MainWindow window(options);
        if (window.Create(nCmdShow)) rc = window.Run();
    }
    if (SUCCEEDED(hrCom)) CoUninitialize();
    return rc;
}

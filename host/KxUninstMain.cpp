// kxuninst.exe: the command-line host of KxUninst.dll. It plays the suite's user interface: loads the
// component from its own folder, creates it through the DLL's class factory, listens for WM_LISTMGR with a
// hidden window and reads and searches the lists through IKxListMgr.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "CliArgs.h"
#include "CliOutput.h"
#include "CliSession.h"
#include "ComponentOutput.h"
#include "HostExe.h"
#include "ScopedHandle.h"
#include "WinText.h"

namespace {

std::vector<std::wstring> Arguments() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv && i < argc; ++i) args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

}  // namespace

int main() {
    Console err(GetStdHandle(STD_ERROR_HANDLE));
    CliContext cli{CliOptions(), err, TextSink(), GetHostExeFolder()};
    std::wstring error;
    if (!ParseCliArgs(Arguments(), cli.opt, error)) {
        err.Say(ToUtf8(error));
        err.Line("run 'kxuninst --help' for the commands and options");
        return kExitUsage;
    }
    if (cli.opt.command == CliCommand::Help) {
        TextSink(GetStdHandle(STD_OUTPUT_HANDLE)).Write(kCliUsage);
        return kExitOk;
    }
    // From here on the component may print to the process's standard output: its lines go to the log, or with
    // --verbose to standard error; the result goes to the original standard output.
    CliLog log;
    log.Open(cli.folder);
    ComponentOutput componentOutput;
    const bool verbose = cli.opt.verbose;
    kx::unique_handle original(componentOutput.Capture([&log, &err, verbose](const std::string& line) {
        log.Write("component: " + line);
        if (verbose) err.Line("component: " + line);
    }));
    cli.out = TextSink(original.get());

    HRESULT hrCom = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int rc;
    {
        CliSession session(cli);
        rc = session.Run();
    }
    componentOutput.Finish();
    log.Write("exit code " + std::to_string(rc));
    if (SUCCEEDED(hrCom)) CoUninitialize();
    return rc;
}

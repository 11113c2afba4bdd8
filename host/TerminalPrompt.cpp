#include "TerminalPrompt.h"

#include <memory>
#include <thread>

#include "ScopedHandle.h"
#include "WinText.h"

namespace {

struct PendingLine {
    kx::unique_handle hDone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::string line;
    bool bGot = false;
};

// One line from a console (as typed, any language) or from a file or pipe (UTF-8 bytes).
void ReadLine(HANDLE hIn, PendingLine& pending) {
    DWORD mode = 0;
    if (GetConsoleMode(hIn, &mode)) {
        std::wstring text;
        wchar_t buffer[256];
        DWORD read = 0;
        while (ReadConsoleW(hIn, buffer, 256, &read, nullptr) && read > 0) {
            text.append(buffer, read);
            if (text.back() == L'\n') break;
        }
        pending.bGot = !text.empty();
        pending.line = ToUtf8(text);
    } else {
        char c = 0;
        DWORD read = 0;
        while (ReadFile(hIn, &c, 1, &read, nullptr) && read == 1) {
            pending.bGot = true;
            if (c == '\n') break;
            pending.line += c;
        }
    }
    while (!pending.line.empty() && (pending.line.back() == '\n' || pending.line.back() == '\r'))
        pending.line.pop_back();
    SetEvent(pending.hDone.get());
}

}  // namespace

bool StdinIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != FALSE;
}

Answer AskLine(Console& console, ComponentHost& host, const std::string& question, std::string& answer) {
    console.Prompt(question);
    auto pending = std::make_shared<PendingLine>();
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    // Left to itself when the question is interrupted: it ends with the process.
    std::thread([pending, hIn] { ReadLine(hIn, *pending); }).detach();
    for (;;) {
        if (WaitForSingleObject(pending->hDone.get(), 0) == WAIT_OBJECT_0) break;
        if (host.Interrupted()) {
            console.Line("");
            return Answer::Interrupted;
        }
        host.Pump(100);
    }
    answer = pending->line;
    if (!pending->bGot) console.Line("");
    return pending->bGot ? Answer::Given : Answer::Closed;
}

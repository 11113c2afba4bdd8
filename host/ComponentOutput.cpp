#include "ComponentOutput.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "ScopedHandle.h"
#include "WinText.h"

// Shared by the object and its thread, so that a reader left running past Finish never touches the object.
struct ComponentOutput::Reader {
    LineFn onLine;
    kx::unique_handle hRead;
    kx::unique_handle hDone;  // set when the pipe has ended and every line was handed over
    std::atomic<bool> bMuted{false};
    std::thread thread;

    void Emit(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The component writes in the system's code page.
        int n = MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
        std::wstring wide(n, L'\0');
        if (n) MultiByteToWideChar(CP_ACP, 0, line.data(), static_cast<int>(line.size()), &wide[0], n);
        if (!bMuted && onLine) onLine(ToUtf8(wide));
    }

    void Run() {
        std::string pending;
        char buffer[1024];
        DWORD read = 0;
        while (ReadFile(hRead.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
            pending.append(buffer, read);
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                Emit(pending.substr(0, end));
        }
        if (!pending.empty()) Emit(pending);
        SetEvent(hDone.get());
    }
};

ComponentOutput::~ComponentOutput() { Finish(); }

HANDLE ComponentOutput::Capture(LineFn onLine) {
    fflush(stdout);
    HANDLE original = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE saved = nullptr;
    if (original && original != INVALID_HANDLE_VALUE &&
        !DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &saved, 0, FALSE, DUPLICATE_SAME_ACCESS))
        saved = nullptr;
    HANDLE hRead = nullptr, hWrite = nullptr;
    if (m_pReader || !CreatePipe(&hRead, &hWrite, nullptr, 0)) return saved;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(hWrite), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(hRead);
        CloseHandle(hWrite);
        return saved;
    }
    // The component shares this process's C runtime: its printf writes through descriptor 1. Unbuffered, so
    // each line reaches the pipe when it is written, not when the runtime exits.
    _dup2(fd, 1);
    _close(fd);
    setvbuf(stdout, nullptr, _IONBF, 0);
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));

    auto reader = std::make_shared<Reader>();
    reader->onLine = std::move(onLine);
    reader->hRead.reset(hRead);
    reader->hDone.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    reader->thread = std::thread([reader] { reader->Run(); });
    m_pReader = reader;
    return saved;
}

void ComponentOutput::Finish() {
    if (!m_pReader) return;
    std::shared_ptr<Reader> reader = std::move(m_pReader);
    fflush(stdout);
    // Descriptor 1 and the standard handle held the pipe's write end: pointing them elsewhere ends the reader.
    int nul = _open("NUL", _O_WRONLY);
    if (nul >= 0) {
        _dup2(nul, 1);
        _close(nul);
    } else {
        _close(1);
    }
    SetStdHandle(STD_OUTPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(1)));
    if (WaitForSingleObject(reader->hDone.get(), 2000) == WAIT_OBJECT_0) {
        reader->thread.join();
    } else {
        reader->bMuted = true;
        reader->thread.detach();
    }
}

// The component writes lines of its own to the process's standard output (the cache's "protocol version" line,
// a failed cache write). A host that keeps standard output for itself, or draws on the terminal, takes those
// lines apart: the process's standard output becomes a pipe, and each line read from it goes to a callback.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

class ComponentOutput {
public:
    // Called on a reader thread, once per line (without its line end), in the order written.
    using LineFn = std::function<void(const std::string& utf8Line)>;

    ComponentOutput() = default;
    ~ComponentOutput();
    ComponentOutput(const ComponentOutput&) = delete;
    ComponentOutput& operator=(const ComponentOutput&) = delete;

    // Points the runtime's descriptor 1 and STD_OUTPUT_HANDLE at the pipe. Returns a duplicate of the original
    // standard output for the host's own output (NULL when the process had none); the caller owns it.
    HANDLE Capture(LineFn onLine);
    // Closes the pipe and waits (at most two seconds) until every line written so far has been handed over.
    // Call it once the component is stopped; later lines are dropped. A process the component started may
    // hold the pipe open: the reader is then left to the end of the process, silent.
    void Finish();

private:
    struct Reader;
    std::shared_ptr<Reader> m_pReader;
};

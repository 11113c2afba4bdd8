// Memory inside the process that owns a window. The common controls' messages that carry a structure take a
// pointer in the control's own process, so a reader in another process places the structure there first.
#pragma once

#include <windows.h>

#include "ScopedHandle.h"

#include <cstddef>

class RemoteMemory {
public:
    // Reserves `size` bytes in the process of `hwnd`; valid() is false when that fails.
    RemoteMemory(HWND hwnd, size_t size);
    ~RemoteMemory();
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool valid() const { return m_base != nullptr; }
    // The address in the other process, `offset` bytes in.
    void* at(size_t offset = 0) const { return static_cast<char*>(m_base) + offset; }
    bool Write(size_t offset, const void* data, size_t size) const;
    bool Read(size_t offset, void* data, size_t size) const;

private:
    kx::unique_handle m_process;
    void* m_base = nullptr;
};

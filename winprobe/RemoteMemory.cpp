#include "RemoteMemory.h"

RemoteMemory::RemoteMemory(HWND hwnd, size_t size) {
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(hwnd, &pid)) return;
    m_process.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (!m_process) return;
    m_base = VirtualAllocEx(m_process.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
    if (m_base) VirtualFreeEx(m_process.get(), m_base, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(size_t offset, const void* data, size_t size) const {
    SIZE_T done = 0;
    return m_base && WriteProcessMemory(m_process.get(), at(offset), data, size, &done) && done == size;
}

bool RemoteMemory::Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return m_base && ReadProcessMemory(m_process.get(), at(offset), data, size, &done) && done == size;
}

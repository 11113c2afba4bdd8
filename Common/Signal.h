// How long loops learn that their task is to stop: the zero-wait test of an event, or the flag its owner
// keeps beside it.
#pragma once

#include <windows.h>

#include <atomic>

namespace kx {

// True when hEvent is set; false for NULL. Under Wine each call is a round trip to the server: test it
// between items, not inside a per-item inner loop.
inline bool IsSignalled(HANDLE hEvent) { return hEvent && WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

// The stop request a loop tests before each item. Built from the event alone it waits on the event at every
// test. Built with the owner's flag (set just before the owner sets the event, cleared where it creates or
// resets it) it waits once, here, for a request made before the loop began, and afterwards only reads the
// flag: the event is set by its owner alone, so the flag mirrors it at no cost per test.
class CStopSignal {
public:
    explicit CStopSignal(HANDLE hEvent) : m_hEvent(hEvent) {}
    CStopSignal(HANDLE hEvent, const std::atomic<bool>* pbFlag)
        : m_hEvent(hEvent), m_pbFlag(pbFlag), m_bSetBefore(IsSignalled(hEvent)) {}

    bool IsSet() const {
        if (!m_pbFlag) return IsSignalled(m_hEvent);
        return m_bSetBefore || m_pbFlag->load(std::memory_order_acquire);
    }
    HANDLE Event() const { return m_hEvent; }

private:
    HANDLE m_hEvent;
    const std::atomic<bool>* m_pbFlag = nullptr;
    bool m_bSetBefore = false;
};

}  // namespace kx

// The status bar's two texts: what the list shows, and where it came from or what is being read.
#pragma once

#include <string>

// What the component has told the window so far about the list it shows.
enum class ListPhase {
    Starting,       // the component is starting; nothing is known yet
    Reading,        // no list yet: the installed software is being read (first start, or after Refresh)
    CacheChecking,  // the cache's list is shown while the machine is read again
    Read,           // the list read from the machine
};

// "6 programs, 1.2 GB" or, when filtered, "3 of 6 programs, 20.5 MB" (the size is that of the programs shown).
std::wstring CountText(size_t nShown, size_t nTotal, long long nShownBytes);
// "Reading the installed software… 2.4 s" and the like; seconds since the phase began (or, for Read, how long
// the reading took).
std::wstring PhaseText(ListPhase phase, double seconds);

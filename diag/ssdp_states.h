#pragma once
// What each state of the SSDP Discovery service means: to the status panel (its line,
// the button's caption and whether the button works) and to the panel's tip.
#include <windows.h>

struct SsdpStateView {
    DWORD state;
    bool changeable;     // the button starts or stops the service; otherwise it is disabled
    bool running;        // the button stops the service (else it starts it); only when changeable
    const char* button;  // the button's caption
    const char* line;    // the status line's text
    const char* tip;     // the tip's sentence on the state and the button
    const char* word;    // the state in a word, for a tip without the button ("stopped")
};

// The row of the state; a state of no row gets the row of an unknown state, whose state is 0
// (its tip then tells only what the button does, and it has no word).
const SsdpStateView& SsdpStateOf(DWORD state);

#pragma once
// The per-user first-run marker: REG_DWORD "FirstRun" under HKCU\Software\Quillon Systems\Gatekeel.

constexpr const char* FIRST_RUN_KEY = "Software\\Quillon Systems\\Gatekeel";
constexpr const char* FIRST_RUN_VALUE = "FirstRun";

// True on a first run (marker absent, unreadable, not a 4-byte REG_DWORD, or 0), after
// writing the marker 1. False when the marker is set or the key cannot be opened.
bool TakeFirstRun();

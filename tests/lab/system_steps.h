#pragma once
// Steps that ask the system rather than the attached program: every top-level window, the
// system's text for a result code, and the start-up time of a program the step starts itself.
#include <windows.h>

#include <string>

namespace lab {

// Every top-level window, for a failing scenario's log.
void PrintWindows();
void PrintSystemMessage(HRESULT code);

// Process start to the program's first visible window whose caption starts with the prefix;
// the program is then closed, and gets endWaitMs to end.
void PrintStartupTime(const std::string& exe, const std::string& captionPrefix, DWORD waitMs, DWORD endWaitMs);

}  // namespace lab

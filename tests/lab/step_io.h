#pragma once
// What every step uses: its answer lines, the escaping of texts in them, and the clock
// its deadlines are measured on.
#include <windows.h>

#include <string>

namespace lab {

// \r, \n, \t and \\ escaped, so a text stays on its answer line.
std::string Escape(const std::string& text);
void Print(const std::string& line);
double NowMs();
std::string Seconds(DWORD ms);

}  // namespace lab

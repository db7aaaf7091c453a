#pragma once
// What every step uses: its answer lines, in UTF-8, the escaping of texts in them, and the
// clock its deadlines are measured on.
#include <windows.h>

#include <string>
#include <string_view>

namespace lab {

// \r, \n, \t and \\ escaped, so a text stays on its answer line.
std::string Escape(const std::string& text);
// The program's texts are read as UTF-16 and printed as UTF-8, so they come back whole in
// any script; the words of a batch are UTF-8 too.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
void Print(const std::string& line);
double NowMs();
std::string Seconds(DWORD ms);

}  // namespace lab

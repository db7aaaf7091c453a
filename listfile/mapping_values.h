#pragma once
// The values of a list's line as people and spreadsheets write them: ports, internal clients and
// Enabled. Pure code over UTF-16 text.
#include <cstdint>
#include <string_view>

namespace listfile {

// A whole number from 1 to 65535, blanks around it and leading zeros allowed.
bool ReadPort(std::wstring_view text, int32_t& port);
// Four decimal numbers up to 255, without the leading zeros that some readers take for octal.
bool IsIpv4Address(std::wstring_view text);
// ASCII labels of letters, digits and hyphens between dots, as a network names a computer.
bool IsComputerName(std::wstring_view text);
// Enabled as a spreadsheet may have rewritten it: yes/no, true/false, 1/0 in any case, empty meaning yes.
bool ReadEnabled(std::wstring_view text, int32_t& enabled);

}  // namespace listfile

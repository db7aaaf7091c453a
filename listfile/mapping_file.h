#pragma once
// The mapping list's file: a CSV that people keep and edit in spreadsheets. Pure code over bytes
// and PortMapping records, with no platform header, so it can be table-tested and fuzzed natively.
// Texts are UTF-16 code units on every platform, as PortMapping's texts are.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listfile/unicode_text.h"
#include "natcfg/port_mapping.h"

namespace listfile {

constexpr size_t kMaxFileBytes = 1024 * 1024;  // larger files are refused whole
constexpr size_t kMaxFileLines = 4096;

// A mapping read from a file, with the file line where its record begins (1 = the first line).
struct ListedMapping {
    size_t line;
    PortMapping mapping;
};

// line 0: the whole file (too large, too many lines, empty); its text is a sentence of its own.
// Otherwise the text follows "Line N: ".
struct FileFault {
    size_t line;
    std::wstring text;
};

// mappings is empty whenever faults is not; faults are in line order.
struct ReadResult {
    std::vector<ListedMapping> mappings;
    std::vector<FileFault> faults;
};

// The file's bytes for the mappings, in their order: UTF-8 with a byte-order mark, CRLF, a header line.
std::string WriteMappingList(const std::vector<PortMapping>& mappings, char separator /* ',' or ';' */);

// Where the file of a list (WriteMappingList's bytes) would pass a limit of the import, why the export
// writes nothing; empty where it fits, so that what Gatekeel exports it can import.
std::wstring ExportRefusal(std::string_view bytes);

// Every fault of the whole file, or its mappings when it has none.
ReadResult ReadMappingList(std::string_view bytes, AnsiDecoder decodeAnsi);

// The faults a line each ("Line 7: ..."; a line-0 fault without the prefix), at most ten, then
// "... and N more". Each line ends in "\r\n".
std::wstring FaultList(const std::vector<FileFault>& faults);

}  // namespace listfile

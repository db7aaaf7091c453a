#pragma once
// The records of the list's file in one pass, as SQLite's csv.c reads them: RFC 4180, lenient as
// spreadsheets are (a quote inside an unquoted field is literal, text after a closing quote belongs
// to the field), counting physical lines as it goes (CRLF, LF and a lone CR each end one) and naming
// the line of each fault of the characters where it meets it. Pure code, no platform header.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "listfile/mapping_file.h"
#include "listfile/unicode_text.h"

namespace listfile {

struct Record {
    size_t line = 0;  // where it begins (1 = the first line)
    std::vector<std::wstring> fields;
    std::wstring separators;  // the one that ended each field but the last
    size_t unclosedAt = 0;    // the line of a quote that runs to the end of the text (0: none)
    // Faults of the characters on its later lines, which follow the faults of its values.
    std::vector<FileFault> later;

    // A spreadsheet writes ",,,,," for an empty row.
    bool Blank() const;
};

class RecordReader {
public:
    // Faults met on a record's first line go to faults at once.
    RecordReader(const DecodedText& decoded, std::vector<FileFault>& faults);

    // The next record, its fields ended by any of the separators or a line end; false at the end.
    bool Next(Record& record, std::wstring_view separators);
    // The text reached a line past kMaxFileLines.
    bool PastLineLimit() const { return line_ > kMaxFileLines; }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    wchar_t Peek() const { return AtEnd() ? L'\0' : text_[pos_]; }
    // Takes the next character, counting the line it ends and noting a fault of it.
    wchar_t Take();
    void QuotedPart(std::wstring& field);
    void Fault(size_t& reportedLine, const std::wstring& text);

    std::wstring_view text_;
    const std::vector<size_t>& invalidAt_;
    const std::wstring notValid_;
    std::vector<FileFault>& faults_;
    Record* record_ = nullptr;
    size_t pos_ = 0;
    size_t line_ = 1;
    size_t nextInvalid_ = 0;  // index into invalidAt_
    size_t invalidLine_ = 0;  // the last line each kind was reported for: once a line
    size_t nulLine_ = 0;
};

}  // namespace listfile

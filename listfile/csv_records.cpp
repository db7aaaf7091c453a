#include "listfile/csv_records.h"

#include <algorithm>

#include "ui/text_rules.h"

namespace listfile {

bool Record::Blank() const {
    return std::all_of(fields.begin(), fields.end(), [](const std::wstring& field) { return ui::TrimmedBlanks(field).empty(); });
}

RecordReader::RecordReader(const DecodedText& decoded, std::vector<FileFault>& faults)
    : text_(decoded.text), invalidAt_(decoded.invalidAt), notValid_(L"the bytes are not valid " + decoded.encoding + L"."),
      faults_(faults) {}

void RecordReader::Fault(size_t& reportedLine, const std::wstring& text) {
    if (reportedLine == line_) return;
    reportedLine = line_;
    (record_ && line_ > record_->line ? record_->later : faults_).push_back(FileFault{line_, text});
}

wchar_t RecordReader::Take() {
    while (nextInvalid_ < invalidAt_.size() && invalidAt_[nextInvalid_] < pos_) ++nextInvalid_;
    if (nextInvalid_ < invalidAt_.size() && invalidAt_[nextInvalid_] == pos_) Fault(invalidLine_, notValid_);
    const wchar_t c = text_[pos_++];
    if (c == L'\0') Fault(nulLine_, L"the line holds a NUL character.");
    const bool lineEnd = c == L'\n' || (c == L'\r' && Peek() != L'\n');
    if (lineEnd && !AtEnd()) ++line_;
    return c;
}

void RecordReader::QuotedPart(std::wstring& field) {
    const size_t opened = line_;
    Take();
    while (!AtEnd()) {
        const wchar_t c = Take();
        if (c != L'"') {
            field += c;
        } else if (Peek() == L'"') {
            field += Take();
        } else {
            return;
        }
    }
    record_->unclosedAt = opened;
}

bool RecordReader::Next(Record& record, std::wstring_view separators) {
    if (AtEnd() || PastLineLimit()) return false;
    record = Record{line_, {}, {}, 0, {}};
    record_ = &record;
    for (;;) {
        std::wstring& field = record.fields.emplace_back();
        if (Peek() == L'"') QuotedPart(field);
        while (!AtEnd() && Peek() != L'\r' && Peek() != L'\n' && separators.find(Peek()) == std::wstring_view::npos) {
            field += Take();
            if (PastLineLimit()) break;
        }
        if (AtEnd() || record.unclosedAt || PastLineLimit() || (Peek() == L'\r' || Peek() == L'\n')) break;
        record.separators += Take();
    }
    // The line end, CRLF as one.
    if (!AtEnd() && Take() == L'\r' && Peek() == L'\n') Take();
    record_ = nullptr;
    return true;
}

}  // namespace listfile

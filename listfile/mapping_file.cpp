#include "listfile/mapping_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <utility>

#include "listfile/list_text.h"
#include "listfile/unicode_text.h"
#include "ui/text_rules.h"

namespace listfile {

using ui::OneLine;
using ui::SameIgnoringAsciiCase;

namespace {

constexpr size_t kQuotedValueChars = 40;

// ---- Lines and records ----

bool IsLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Where each physical line starts; CRLF, LF and a lone CR each end one.
class LineIndex {
public:
    explicit LineIndex(std::wstring_view text) {
        if (!text.empty()) starts_.push_back(0);
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            if (IsLineEnd(text[i]) && i + 1 < text.size()) starts_.push_back(i + 1);
        }
    }
    size_t Count() const { return starts_.size(); }
    // The line (from 1) that holds the text offset.
    size_t LineAt(size_t offset) const {
        return static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin());
    }

private:
    std::vector<size_t> starts_;
};

struct Record {
    size_t start = 0;  // text offset where the record begins
    std::vector<std::wstring> fields;

    // A spreadsheet writes ",,,,," for an empty row.
    bool Blank() const {
        return std::all_of(fields.begin(), fields.end(), [](const std::wstring& f) { return Trimmed(f).empty(); });
    }
};

// RFC 4180 records, lenient as spreadsheets are: a quote inside an unquoted field is literal, and
// text after a closing quote belongs to the field.
class RecordReader {
public:
    RecordReader(std::wstring_view text, wchar_t separator) : text_(text), stops_{separator, L'\r', L'\n'} {}

    // The next record that is not blank; none at the end, or when a quote runs to the end of the text.
    std::optional<Record> NextFilled() {
        Record record;
        while (Next(record)) {
            if (unclosedAt_) return std::nullopt;
            if (!record.Blank()) return record;
        }
        return std::nullopt;
    }
    // Where the quote opened that was never closed.
    std::optional<size_t> UnclosedQuote() const { return unclosedAt_; }

private:
    bool Next(Record& record) {
        if (pos_ >= text_.size()) return false;
        record.start = pos_;
        record.fields.clear();
        for (;;) {
            record.fields.push_back(Field());
            if (pos_ < text_.size() && text_[pos_] == stops_[0]) {
                ++pos_;
                continue;
            }
            SkipLineEnd();
            return true;
        }
    }

    std::wstring Field() {
        std::wstring field;
        if (pos_ < text_.size() && text_[pos_] == L'"') QuotedPart(field);
        const size_t end = std::min(text_.find_first_of(std::wstring_view(stops_, 3), pos_), text_.size());
        field.append(text_.substr(pos_, end - pos_));
        pos_ = end;
        return field;
    }

    void QuotedPart(std::wstring& field) {
        const size_t opened = pos_++;
        for (;;) {
            const size_t quote = text_.find(L'"', pos_);
            if (quote == std::wstring_view::npos) {
                unclosedAt_ = opened;
                pos_ = text_.size();
                return;
            }
            field.append(text_.substr(pos_, quote - pos_));
            pos_ = quote + 1;
            if (pos_ >= text_.size() || text_[pos_] != L'"') return;
            field += L'"';
            ++pos_;
        }
    }

    void SkipLineEnd() {
        if (pos_ >= text_.size()) return;
        const wchar_t end = text_[pos_++];
        if (end == L'\r' && pos_ < text_.size() && text_[pos_] == L'\n') ++pos_;
    }

    std::wstring_view text_;
    const wchar_t stops_[3];  // where an unquoted field ends
    size_t pos_ = 0;
    std::optional<size_t> unclosedAt_;
};

// ---- Columns ----

enum Column : size_t { kProtocol, kExternalPort, kInternalClient, kInternalPort, kEnabled, kDescription, kColumnCount };
constexpr const wchar_t* kColumnNames[kColumnCount] = {L"Protocol",      L"External port", L"Internal client",
                                                       L"Internal port", L"Enabled",       L"Description"};
constexpr size_t kRequiredColumns = kEnabled;
constexpr size_t kAbsent = SIZE_MAX;
constexpr wchar_t kSeparators[] = {L',', L';', L'\t'};

// Where the header puts each column; names in any order and letter case, unknown ones ignored.
struct Header {
    std::array<size_t, kColumnCount> index;
    std::vector<Column> twice;

    explicit Header(const std::vector<std::wstring>& names) {
        index.fill(kAbsent);
        for (size_t at = 0; at < names.size(); ++at) {
            for (size_t column = 0; column < kColumnCount; ++column) {
                if (!SameIgnoringAsciiCase(Trimmed(names[at]), kColumnNames[column])) continue;
                if (index[column] == kAbsent) {
                    index[column] = at;
                } else if (std::find(twice.begin(), twice.end(), column) == twice.end()) {
                    twice.push_back(static_cast<Column>(column));
                }
            }
        }
    }
    std::vector<Column> MissingRequired() const {
        std::vector<Column> missing;
        for (size_t column = 0; column < kRequiredColumns; ++column) {
            if (index[column] == kAbsent) missing.push_back(static_cast<Column>(column));
        }
        return missing;
    }
};

// The separator with which the header holds the most required columns (all of them in a good file).
wchar_t DetectSeparator(std::wstring_view text) {
    wchar_t best = kSeparators[0];
    size_t bestMissing = kRequiredColumns;
    for (wchar_t candidate : kSeparators) {
        RecordReader records(text, candidate);
        const std::optional<Record> first = records.NextFilled();
        const size_t missing = first ? Header(first->fields).MissingRequired().size() : kRequiredColumns;
        if (missing < bestMissing) best = candidate, bestMissing = missing;
    }
    return best;
}

// ---- The formula guard and quoting ----

// A spreadsheet runs a cell that begins with one of these as a formula.
bool StartsFormula(wchar_t c) {
    return c == L'=' || c == L'+' || c == L'-' || c == L'@' || c == L'\t' || c == L'\r' || c == L'\n';
}

// Formula-like after any run of apostrophes: such a field gets one apostrophe more, so taking one
// off again gives every text back exactly.
bool NeedsGuard(std::wstring_view text) {
    const size_t apostrophes = std::min(text.find_first_not_of(L'\''), text.size());
    return apostrophes < text.size() && StartsFormula(text[apostrophes]);
}

std::wstring Guarded(std::wstring_view text) { return NeedsGuard(text) ? L"'" + std::wstring(text) : std::wstring(text); }

std::wstring_view Unguarded(std::wstring_view text) {
    return !text.empty() && text.front() == L'\'' && NeedsGuard(text) ? text.substr(1) : text;
}

// A spreadsheet's default import splits on comma, semicolon and tab at once, whichever the file
// uses, so a field with any of them is quoted.
bool NeedsQuotes(std::wstring_view field) {
    if (field.empty()) return false;
    if (IsBlank(field.front()) || IsBlank(field.back())) return true;
    return field.find_first_of(L",;\t\"\r\n") != std::wstring_view::npos;
}

void AppendField(std::wstring& line, std::wstring_view field) {
    if (!NeedsQuotes(field)) {
        line.append(field);
        return;
    }
    line += L'"';
    for (wchar_t c : field) {
        if (c == L'"') line += L'"';
        line += c;
    }
    line += L'"';
}

void AppendLine(std::wstring& text, std::initializer_list<std::wstring_view> fields, wchar_t separator) {
    bool first = true;
    for (std::wstring_view field : fields) {
        if (!first) text += separator;
        AppendField(text, field);
        first = false;
    }
    text += ui::kEol;
}

// ---- Values ----

// A value from the file as a message shows it: one line, not too long.
std::wstring Quoted(std::wstring_view value) { return L"\"" + OneLine(value, kQuotedValueChars) + L"\""; }

bool IsAsciiDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool AllDigits(std::wstring_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsAsciiDigit); }

// Digits only, leading zeros allowed, at most max.
bool ReadNumber(std::wstring_view text, int32_t max, int32_t& number) {
    if (!AllDigits(text)) return false;
    text.remove_prefix(std::min(text.find_first_not_of(L'0'), text.size() - 1));
    if (text.size() > 9) return false;
    int32_t value = 0;
    for (wchar_t c : text) value = value * 10 + (c - L'0');
    if (value > max) return false;
    number = value;
    return true;
}

// A whole number from 1 to 65535, blanks around it allowed.
bool ReadPort(std::wstring_view text, int32_t& port) {
    int32_t value = 0;
    if (!ReadNumber(Trimmed(text), 65535, value) || value == 0) return false;
    port = value;
    return true;
}

// The parts between the dots.
std::vector<std::wstring_view> Labels(std::wstring_view text) {
    std::vector<std::wstring_view> labels;
    for (size_t start = 0;;) {
        const size_t dot = text.find(L'.', start);
        labels.push_back(text.substr(start, dot == std::wstring_view::npos ? std::wstring_view::npos : dot - start));
        if (dot == std::wstring_view::npos) return labels;
        start = dot + 1;
    }
}

// Four decimal numbers up to 255, without the leading zeros that some readers take for octal.
bool IsIpv4Address(std::wstring_view text) {
    const std::vector<std::wstring_view> parts = Labels(text);
    return parts.size() == 4 && std::all_of(parts.begin(), parts.end(), [](std::wstring_view part) {
               int32_t value = 0;
               return part.size() <= 3 && (part.size() == 1 || part[0] != L'0') && ReadNumber(part, 255, value);
           });
}

bool IsNameLabel(std::wstring_view label) {
    if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
    return std::all_of(label.begin(), label.end(), [](wchar_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == L'-'; });
}

bool IsComputerName(std::wstring_view text) {
    if (text.size() > 253) return false;
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return IsAsciiDigit(c) || c == L'.'; })) return false;
    const std::vector<std::wstring_view> labels = Labels(text);
    return std::all_of(labels.begin(), labels.end(), IsNameLabel);
}

// Enabled as a spreadsheet may have rewritten it; empty means yes.
bool ReadEnabled(std::wstring_view text, int32_t& enabled) {
    text = Trimmed(text);
    for (const wchar_t* yes : {L"", L"yes", L"true", L"1"}) {
        if (SameIgnoringAsciiCase(text, yes)) return enabled = -1, true;
    }
    for (const wchar_t* no : {L"no", L"false", L"0"}) {
        if (SameIgnoringAsciiCase(text, no)) return enabled = 0, true;
    }
    return false;
}

// ---- The whole file ----

// Checks every line of the decoded file and collects each fault with its line.
class ListReader {
public:
    ListReader(const DecodedText& decoded, const LineIndex& lines) : decoded_(decoded), lines_(lines) {}

    ReadResult Read() {
        CheckCharacters();
        RecordReader records(decoded_.text, DetectSeparator(decoded_.text));
        if (const std::optional<Record> first = records.NextFilled()) {
            const Header header(first->fields);
            if (CheckHeader(header, lines_.LineAt(first->start))) {
                while (const std::optional<Record> row = records.NextFilled()) ReadRow(*row, header);
            }
        } else if (!records.UnclosedQuote()) {
            Fault(0, L"The file is empty: it has no header line.");
        }
        if (const std::optional<size_t> opened = records.UnclosedQuote()) {
            Fault(lines_.LineAt(*opened), L"the quote that opens here is never closed.");
        }
        std::stable_sort(result_.faults.begin(), result_.faults.end(),
                         [](const FileFault& a, const FileFault& b) { return a.line < b.line; });
        if (!result_.faults.empty()) result_.mappings.clear();
        return std::move(result_);
    }

private:
    void Fault(size_t line, std::wstring text) { result_.faults.push_back(FileFault{line, std::move(text)}); }

    // Bytes that broke their encoding and NUL characters, one fault a line for each.
    void CheckCharacters() {
        std::vector<size_t> nuls;
        for (size_t at = decoded_.text.find(L'\0'); at != std::wstring::npos; at = decoded_.text.find(L'\0', at + 1)) {
            nuls.push_back(at);
        }
        FaultOncePerLine(decoded_.invalidAt, L"the bytes are not valid " + std::wstring(decoded_.encoding) + L".");
        FaultOncePerLine(nuls, L"the line holds a NUL character.");
    }

    void FaultOncePerLine(const std::vector<size_t>& offsets, const std::wstring& text) {
        size_t reported = 0;
        for (size_t offset : offsets) {
            const size_t line = lines_.LineAt(offset);
            if (line != reported) Fault(line, text);
            reported = line;
        }
    }

    bool CheckHeader(const Header& header, size_t line) {
        for (Column column : header.twice) {
            Fault(line, L"the header names the column " + Quoted(kColumnNames[column]) + L" twice.");
        }
        const std::vector<Column> missing = header.MissingRequired();
        if (!missing.empty()) {
            std::wstring names;
            for (size_t i = 0; i < missing.size(); ++i) {
                if (i > 0) names += i + 1 < missing.size() ? L", " : L" and ";
                names += Quoted(kColumnNames[missing[i]]);
            }
            Fault(line, std::wstring(L"the header lacks the column") + (missing.size() > 1 ? L"s " : L" ") + names + L".");
        }
        return header.twice.empty() && missing.empty();
    }

    void ReadRow(const Record& record, const Header& header) {
        const size_t line = lines_.LineAt(record.start);
        auto field = [&](Column column) {
            const size_t at = header.index[column];
            return at < record.fields.size() ? std::wstring_view(record.fields[at]) : std::wstring_view();
        };
        PortMapping mapping;
        bool good = ReadProtocol(field(kProtocol), line, mapping.protocol);
        const bool externalGood = ReadPortField(field(kExternalPort), L"external", line, mapping.externalPort);
        good = externalGood && good;
        good = ReadClient(field(kInternalClient), line, mapping.internalClient) && good;
        good = ReadPortField(field(kInternalPort), L"internal", line, mapping.internalPort) && good;
        if (!ReadEnabled(field(kEnabled), mapping.enabled)) {
            Fault(line, L"the Enabled value " + Quoted(Trimmed(field(kEnabled))) + L" is none of yes, no, true, false, 1 and 0.");
            good = false;
        }
        mapping.description = Unguarded(field(kDescription));
        if (!mapping.protocol.empty() && externalGood) good = FirstListing(mapping, line) && good;
        if (good) result_.mappings.push_back(ListedMapping{line, std::move(mapping)});
    }

    // Stored upper-case; an invalid protocol leaves it empty.
    bool ReadProtocol(std::wstring_view text, size_t line, std::wstring& protocol) {
        const std::wstring_view value = Trimmed(Unguarded(text));
        for (const wchar_t* known : {L"TCP", L"UDP"}) {
            if (SameIgnoringAsciiCase(value, known)) return protocol = known, true;
        }
        protocol.clear();
        Fault(line, L"the protocol " + Quoted(value) + L" is neither TCP nor UDP.");
        return false;
    }

    bool ReadPortField(std::wstring_view text, const wchar_t* which, size_t line, int32_t& port) {
        if (ReadPort(text, port)) return true;
        Fault(line, L"the " + std::wstring(which) + L" port " + Quoted(Trimmed(text)) + L" is not a number from 1 to 65535.");
        return false;
    }

    bool ReadClient(std::wstring_view text, size_t line, std::wstring& client) {
        const std::wstring_view value = Trimmed(Unguarded(text));
        client = value;
        if (value.empty()) {
            Fault(line, L"the internal client is empty.");
        } else if (!IsIpv4Address(value) && !IsComputerName(value)) {
            Fault(line, L"the internal client " + Quoted(value) + L" is neither an IPv4 address nor a computer name.");
        } else {
            return true;
        }
        return false;
    }

    // The router holds one mapping per protocol and external port, so a second line for it is a fault.
    bool FirstListing(const PortMapping& mapping, size_t line) {
        const auto [listed, first] = listedOn_.emplace(std::make_pair(mapping.protocol, mapping.externalPort), line);
        if (first) return true;
        Fault(line, mapping.protocol + L" " + PortText(mapping.externalPort) + L" is listed on line " +
                        std::to_wstring(listed->second) + L" already.");
        return false;
    }

    const DecodedText& decoded_;
    const LineIndex& lines_;
    ReadResult result_;
    std::map<std::pair<std::wstring, int32_t>, size_t> listedOn_;
};

ReadResult Refused(const wchar_t* why) { return ReadResult{{}, {FileFault{0, why}}}; }

}  // namespace

std::string WriteMappingList(const std::vector<PortMapping>& mappings, char separator) {
    const wchar_t sep = static_cast<wchar_t>(separator);
    std::wstring text;
    AppendLine(text, {kColumnNames[0], kColumnNames[1], kColumnNames[2], kColumnNames[3], kColumnNames[4], kColumnNames[5]}, sep);
    for (const PortMapping& mapping : mappings) {
        AppendLine(text,
                   {Guarded(mapping.protocol), PortText(mapping.externalPort), Guarded(mapping.internalClient),
                    PortText(mapping.internalPort), mapping.enabled ? L"yes" : L"no", Guarded(mapping.description)},
                   sep);
    }
    return kUtf8Bom + ToUtf8(text);
}

ReadResult ReadMappingList(std::string_view bytes, AnsiDecoder decodeAnsi) {
    if (bytes.size() > kMaxFileBytes) return Refused(L"The file is larger than 1 MiB.");
    const DecodedText decoded = Decode(bytes, decodeAnsi);
    const LineIndex lines(decoded.text);
    if (lines.Count() > kMaxFileLines) return Refused(L"The file has more than 4,096 lines.");
    return ListReader(decoded, lines).Read();
}

std::wstring FaultList(const std::vector<FileFault>& faults) {
    std::vector<std::wstring> lines;
    lines.reserve(faults.size());
    for (const FileFault& fault : faults) {
        lines.push_back(fault.line == 0 ? fault.text : L"Line " + std::to_wstring(fault.line) + L": " + fault.text);
    }
    return AtMostTen(lines);
}

}  // namespace listfile

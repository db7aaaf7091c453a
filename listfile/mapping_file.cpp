#include "listfile/mapping_file.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <map>
#include <utility>

#include "listfile/csv_records.h"
#include "listfile/list_text.h"
#include "listfile/mapping_values.h"
#include "listfile/unicode_text.h"
#include "ui/text_rules.h"

namespace listfile {

using ui::OneLine;
using ui::SameIgnoringAsciiCase;
using ui::TrimmedBlanks;
using ui::WithInserts;

namespace {

constexpr size_t kQuotedValueChars = 40;
constexpr const wchar_t* kSpreadsheetSeparators = L",;\t";

// ---- Columns ----

enum Column : size_t { kProtocol, kExternalPort, kInternalClient, kInternalPort, kEnabled, kDescription, kColumnCount };
constexpr const wchar_t* kColumnNames[kColumnCount] = {L"Protocol",      L"External port", L"Internal client",
                                                       L"Internal port", L"Enabled",       L"Description"};
constexpr size_t kRequiredColumns = kEnabled;
constexpr size_t kAbsent = SIZE_MAX;

// How many fields a record fills: up to its last that is not blank.
size_t FilledWidth(const std::vector<std::wstring>& fields) {
    size_t width = fields.size();
    while (width > 0 && TrimmedBlanks(fields[width - 1]).empty()) --width;
    return width;
}

// Where the header puts each column; names in any order and letter case, unknown ones ignored.
struct Header {
    std::array<size_t, kColumnCount> index;
    std::vector<Column> twice;
    size_t width;

    explicit Header(const std::vector<std::wstring>& names) : width(FilledWidth(names)) {
        index.fill(kAbsent);
        for (size_t at = 0; at < names.size(); ++at) {
            for (size_t column = 0; column < kColumnCount; ++column) {
                if (!SameIgnoringAsciiCase(TrimmedBlanks(names[at]), kColumnNames[column])) continue;
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

// The header record, read split at every separator a spreadsheet uses, as split at one of them.
std::vector<std::wstring> SplitAt(const Record& header, wchar_t separator) {
    std::vector<std::wstring> names{header.fields[0]};
    for (size_t i = 1; i < header.fields.size(); ++i) {
        if (header.separators[i - 1] == separator) {
            names.emplace_back();
        } else {
            names.back() += header.separators[i - 1];
        }
        names.back() += header.fields[i];
    }
    return names;
}

// The separator with which the header holds the most required columns (all of them in a good file).
wchar_t SeparatorOf(const Record& header) {
    wchar_t best = kSpreadsheetSeparators[0];
    size_t bestMissing = kRequiredColumns + 1;
    for (const wchar_t* candidate = kSpreadsheetSeparators; *candidate; ++candidate) {
        const size_t missing = Header(SplitAt(header, *candidate)).MissingRequired().size();
        if (missing < bestMissing) best = *candidate, bestMissing = missing;
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
    if (TrimmedBlanks(field).size() != field.size()) return true;
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

// A value from the file as a message shows it: one line, not too long.
std::wstring Quoted(std::wstring_view value) { return L"\"" + OneLine(value, kQuotedValueChars) + L"\""; }

// ---- The whole file ----

constexpr const wchar_t* kTooLarge = L"The file is larger than 1 MiB.";
constexpr const wchar_t* kTooLong = L"The file has more than 4,096 lines.";

ReadResult Refused(const wchar_t* why) { return ReadResult{{}, {FileFault{0, why}}}; }

// Reads the records one by one and names each fault at its line where it meets it, so the faults
// come in line order: a record's values at the line it begins on, then its later lines' characters.
class ListReader {
public:
    explicit ListReader(const DecodedText& decoded) : records_(decoded, result_.faults) {}

    ReadResult Read() {
        Record record;
        bool found = false;
        while (!found && records_.Next(record, kSpreadsheetSeparators)) found = record.unclosedAt || !record.Blank();
        if (found && !record.unclosedAt) ReadFrom(record);
        if (records_.PastLineLimit()) return Refused(kTooLong);
        if (record.unclosedAt) {
            TakeLater(record, record.unclosedAt);
            Fault(record.unclosedAt, L"the quote that opens here is never closed.");
            TakeLater(record, SIZE_MAX);
        } else if (!found) {
            Fault(0, L"The file is empty: it has no header line.");
        }
        if (!result_.faults.empty()) result_.mappings.clear();
        return std::move(result_);
    }

private:
    void Fault(size_t line, std::wstring text) { result_.faults.push_back(FileFault{line, std::move(text)}); }

    // The faults of the record's later lines, up to the line.
    void TakeLater(Record& record, size_t upTo) {
        auto end = std::find_if(record.later.begin(), record.later.end(), [&](const FileFault& f) { return f.line > upTo; });
        result_.faults.insert(result_.faults.end(), record.later.begin(), end);
        record.later.erase(record.later.begin(), end);
    }

    // From the header on; the rows' values are read only under a good header, their characters always.
    void ReadFrom(Record& record) {
        const wchar_t separator = SeparatorOf(record);
        const Header header(SplitAt(record, separator));
        const bool good = CheckHeader(header, record.line);
        TakeLater(record, SIZE_MAX);
        while (records_.Next(record, std::wstring_view(&separator, 1)) && !record.unclosedAt) {
            if (good && !record.Blank()) ReadRow(record, header);
            TakeLater(record, SIZE_MAX);
        }
    }

    bool CheckHeader(const Header& header, size_t line) {
        for (Column column : header.twice) {
            Fault(line, WithInserts(L"the header names the column %1 twice.", {Quoted(kColumnNames[column])}));
        }
        const std::vector<Column> missing = header.MissingRequired();
        if (!missing.empty()) {
            std::wstring names;
            for (size_t i = 0; i < missing.size(); ++i) {
                if (i > 0) names += i + 1 < missing.size() ? L", " : L" and ";
                names += Quoted(kColumnNames[missing[i]]);
            }
            Fault(line, WithInserts(L"the header lacks the column%1 %2.", {missing.size() > 1 ? L"s" : L"", names}));
        }
        return header.twice.empty() && missing.empty();
    }

    void ReadRow(const Record& record, const Header& header) {
        const size_t line = record.line;
        auto field = [&](Column column) {
            const size_t at = header.index[column];
            return at < record.fields.size() ? std::wstring_view(record.fields[at]) : std::wstring_view();
        };
        // A text with a separator that a spreadsheet split spills into fields the header has no name for.
        const size_t width = FilledWidth(record.fields);
        bool good = width <= header.width;
        if (!good) {
            Fault(line, WithInserts(L"%1 fields where the header has %2; a text with a separator may have been split. "
                                    L"Quote it, or export the list again.",
                                    {std::to_wstring(width), std::to_wstring(header.width)}));
        }
        PortMapping mapping;
        good = ReadProtocol(field(kProtocol), line, mapping.protocol) && good;
        const bool externalGood = ReadPortField(field(kExternalPort), L"external", line, mapping.externalPort);
        good = externalGood && good;
        good = ReadClient(field(kInternalClient), line, mapping.internalClient) && good;
        good = ReadPortField(field(kInternalPort), L"internal", line, mapping.internalPort) && good;
        if (!ReadEnabled(field(kEnabled), mapping.enabled)) {
            Fault(line, WithInserts(L"the Enabled value %1 is none of yes, no, true, false, 1 and 0.",
                                    {Quoted(TrimmedBlanks(field(kEnabled)))}));
            good = false;
        }
        mapping.description = Unguarded(field(kDescription));
        if (!mapping.protocol.empty() && externalGood) good = FirstListing(mapping, line) && good;
        if (good) result_.mappings.push_back(ListedMapping{line, std::move(mapping)});
    }

    // Stored upper-case; an invalid protocol leaves it empty.
    bool ReadProtocol(std::wstring_view text, size_t line, std::wstring& protocol) {
        const std::wstring_view value = TrimmedBlanks(Unguarded(text));
        for (const wchar_t* known : {L"TCP", L"UDP"}) {
            if (SameIgnoringAsciiCase(value, known)) return protocol = known, true;
        }
        protocol.clear();
        Fault(line, WithInserts(L"the protocol %1 is neither TCP nor UDP.", {Quoted(value)}));
        return false;
    }

    bool ReadPortField(std::wstring_view text, const wchar_t* which, size_t line, int32_t& port) {
        if (ReadPort(text, port)) return true;
        Fault(line, WithInserts(L"the %1 port %2 is not a number from 1 to 65535.", {which, Quoted(TrimmedBlanks(text))}));
        return false;
    }

    bool ReadClient(std::wstring_view text, size_t line, std::wstring& client) {
        const std::wstring_view value = TrimmedBlanks(Unguarded(text));
        client = value;
        if (value.empty()) {
            Fault(line, L"the internal client is empty.");
        } else if (!IsIpv4Address(value) && !IsComputerName(value)) {
            Fault(line, WithInserts(L"the internal client %1 is neither an IPv4 address nor a computer name.", {Quoted(value)}));
        } else {
            return true;
        }
        return false;
    }

    // The router holds one mapping per protocol and external port, so a second line for it is a fault.
    bool FirstListing(const PortMapping& mapping, size_t line) {
        const auto [listed, first] = listedOn_.emplace(std::make_pair(mapping.protocol, mapping.externalPort), line);
        if (first) return true;
        Fault(line, WithInserts(L"%1 %2 is listed on line %3 already.",
                                {mapping.protocol, PortText(mapping.externalPort), std::to_wstring(listed->second)}));
        return false;
    }

    ReadResult result_;
    RecordReader records_;
    std::map<std::pair<std::wstring, int32_t>, size_t> listedOn_;
};

// The physical lines of the bytes as the reader counts them: CRLF, LF and a lone CR each end one.
size_t LineCount(std::string_view bytes) {
    size_t lines = bytes.empty() ? 0 : 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        if ((bytes[i] == '\r' || bytes[i] == '\n') && i + 1 < bytes.size()) ++lines;
    }
    return lines;
}

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

std::wstring ExportRefusal(std::string_view bytes) {
    const wchar_t* passed = bytes.size() > kMaxFileBytes ? L"be larger than 1 MiB"
                            : LineCount(bytes) > kMaxFileLines ? L"have more than 4,096 lines" : nullptr;
    if (!passed) return {};
    return WithInserts(L"Gatekeel has not exported the list: its file would %1, more than Gatekeel imports, so the "
                       L"list could not be put back from it.", {passed});
}

ReadResult ReadMappingList(std::string_view bytes, AnsiDecoder decodeAnsi) {
    if (bytes.size() > kMaxFileBytes) return Refused(kTooLarge);
    return ListReader(Decode(bytes, decodeAnsi)).Read();
}

std::wstring FaultList(const std::vector<FileFault>& faults) {
    std::vector<std::wstring> lines;
    lines.reserve(faults.size());
    for (const FileFault& fault : faults) {
        lines.push_back(fault.line == 0 ? fault.text : WithInserts(L"Line %1: %2", {std::to_wstring(fault.line), fault.text}));
    }
    return AtMostTen(lines);
}

}  // namespace listfile

// The native half of the spreadsheet test (spreadsheet_test.sh):
//   spreadsheet_tool write CSV                the exported file of hard descriptions; its rows as JSON lines on stdout
//   spreadsheet_tool read FILE whole|cp1252   every record of a saved file back whole, or as Windows-1252 holds it
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "listfile/mapping_file.h"

namespace {

// One mapping each, with the text a save in Windows-1252 leaves of it (nullptr: all of it). A text is
// UTF-16 units on Linux too, so U+1F3AE is its surrogate pair.
const wchar_t* const kHard[][2] = {
    {L"Server; Steam", nullptr}, {L"game, console", nullptr}, {L"tab\there", nullptr}, {L"say \"hi\"", nullptr},
    {L"two\nlines\nthree", nullptr}, {L"=1+1", nullptr}, {L"+49 30 1234", nullptr}, {L"-1", nullptr},
    {L"@home", nullptr}, {L"\nleading line feed", nullptr}, {L"\tleading tab", nullptr}, {L"Caf\u00E9", nullptr},
    {L"\u6E38\u620F\u670D\u52A1\u5668", L"?????"}, {L"Gamepad \xD83C\xDFAE", L"Gamepad ?"},
};

std::vector<PortMapping> Originals(bool cp1252) {
    std::vector<PortMapping> mappings;
    for (int n = 0; n < static_cast<int>(std::size(kHard)); ++n) {
        PortMapping m;
        m.protocol = n % 2 ? L"UDP" : L"TCP", m.externalPort = 20000 + n, m.internalPort = 3000 + n;
        m.internalClient = L"192.0.2." + std::to_wstring(10 + n), m.enabled = n % 3 ? -1 : 0;
        m.description = cp1252 && kHard[n][1] ? kHard[n][1] : kHard[n][0];
        mappings.push_back(m);
    }
    return mappings;
}

// A JSON string, also for printing: each UTF-16 unit outside plain printable ASCII as \uXXXX.
std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        char escape[8];
        const unsigned unit = static_cast<unsigned>(c) & 0xFFFF;
        const bool plain = unit >= 0x20 && unit <= 0x7E && c != L'"' && c != L'\\';
        std::snprintf(escape, sizeof escape, "\\u%04X", unit);
        out += plain ? std::string(1, static_cast<char>(c)) : std::string(escape);
    }
    return out + "\"";
}

// The record as its cells show it.
std::string Row(const PortMapping& m) {
    return "[" + Json(m.protocol) + ", \"" + std::to_string(m.externalPort) + "\", " + Json(m.internalClient) + ", \"" +
           std::to_string(m.internalPort) + "\", \"" + (m.enabled ? "yes" : "no") + "\", " + Json(m.description) + "]";
}

int ansiDecodings = 0;

// The code page of this test's user: Windows-1252 through iconv, a byte at a time as it is a single-byte
// code page of BMP characters only (one wchar_t, one UTF-16 unit); a byte it cannot convert is U+FFFD, and marked.
listfile::DecodedText DecodeCp1252(std::string_view bytes) {
    ++ansiDecodings;
    listfile::DecodedText decoded{{}, {}, L"Windows-1252"};
    iconv_t cd = iconv_open("WCHAR_T", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) std::perror("iconv_open CP1252"), std::exit(2);
    for (char byte : bytes) {
        wchar_t unit = 0;
        char *in = &byte, *to = reinterpret_cast<char*>(&unit);
        size_t inLeft = 1, toLeft = sizeof unit;
        const bool converted = iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1) && toLeft == 0;
        if (!converted) decoded.invalidAt.push_back(decoded.text.size());
        decoded.text += converted ? unit : L'\xFFFD';
    }
    iconv_close(cd);
    return decoded;
}

int Read(const char* path, bool cp1252) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file) return std::printf("cannot read %s\n", path), 2;
    const listfile::ReadResult read = listfile::ReadMappingList(bytes, DecodeCp1252);
    if (!read.faults.empty()) return std::printf("%s: faults %s\n", path, Json(listfile::FaultList(read.faults)).c_str()), 1;
    const std::vector<PortMapping> expected = Originals(cp1252);
    // Only a file that is no UTF-8 comes to the code page.
    int wrong = (ansiDecodings > 0) != cp1252;
    if (wrong) std::printf("%s: %s the code page\n", path, cp1252 ? "not read in" : "read in");
    for (size_t i = 0; i < expected.size() || i < read.mappings.size(); ++i) {
        const std::string want = i < expected.size() ? Row(expected[i]) : "none";
        const std::string got = i < read.mappings.size() ? Row(read.mappings[i].mapping) : "none";
        if (want != got) std::printf("record %zu: expected %s\n       but read %s\n", i + 1, want.c_str(), got.c_str()), ++wrong;
    }
    std::printf("%s: %zu records read, %d wrong\n", path, read.mappings.size(), wrong);
    return wrong ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "write") == 0) {
        std::ofstream csv(argv[2], std::ios::binary);
        csv << listfile::WriteMappingList(Originals(false), ',');
        csv.close();
        for (const PortMapping& m : Originals(false)) std::printf("%s\n", Row(m).c_str());
        return csv ? 0 : 2;
    }
    const bool cp1252 = argc == 4 && std::strcmp(argv[3], "cp1252") == 0;
    if (argc == 4 && std::strcmp(argv[1], "read") == 0 && (cp1252 || std::strcmp(argv[3], "whole") == 0)) return Read(argv[2], cp1252);
    std::printf("usage: spreadsheet_tool write CSV | read FILE whole|cp1252\n");
    return 2;
}

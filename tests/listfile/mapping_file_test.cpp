// The list's file: what the reader takes from each kind of file, each fault with its line, the writer's bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "listfile/mapping_file.h"
#include "tests/listfile/listfile_test_support.h"

namespace {

using listfile::ReadMappingList;

// UTF-16 with its BOM, as a spreadsheet's "Unicode text" is saved.
std::string Utf16(std::wstring_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHeader = "Protocol,External port,Internal client,Internal port,Enabled,Description\r\n";
const std::wstring kTabHeader = L"Protocol\tExternal port\tInternal client\tInternal port\tEnabled\tDescription\r\n";

// "line protocol external client:internal on|off |description|"
std::wstring Described(const listfile::ListedMapping& listed) {
    const PortMapping& m = listed.mapping;
    return std::to_wstring(listed.line) + L" " + m.protocol + L" " + std::to_wstring(m.externalPort) + L" " +
           m.internalClient + L":" + std::to_wstring(m.internalPort) + (m.enabled ? L" on |" : L" off |") +
           m.description + L"|";
}

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::wstring> mappings;
};

const ReadCase kReadCases[] = {
    {"UTF-8 with BOM", kBom + kHeader + "TCP,8080,192.0.2.20,80,yes,B\xC3\xBCro \xF0\x9F\x8E\xAE\r\n",
     {L"2 TCP 8080 192.0.2.20:80 on |B\u00FCro \xD83C\xDFAE|"}},
    {"UTF-8 without BOM, protocol in any case", kHeader + "udp,53,dns,53,no,\xC3\xA9t\xC3\xA9\r\ntCp,54,dns,54,yes,x",
     {L"2 UDP 53 dns:53 off |\u00E9t\u00E9|", L"3 TCP 54 dns:54 on |x|"}},
    {"UTF-16 LE, tab", Utf16(kTabHeader + L"TCP\t80\t192.0.2.5\t80\t1\t\x041C\xD83C\xDFAE\r\n", false),
     {L"2 TCP 80 192.0.2.5:80 on |\x041C\xD83C\xDFAE|"}},
    {"UTF-16 BE, tab", Utf16(kTabHeader + L"UDP\t81\t192.0.2.5\t81\t0\t\x041C\r\n", true), {L"2 UDP 81 192.0.2.5:81 off |\x041C|"}},
    {"ANSI bytes", kHeader + "TCP,21,192.0.2.40,21,yes,B\xFCro\r\n", {L"2 TCP 21 192.0.2.40:21 on |B\u00FCro|"}},
    {"semicolon", "Protocol;External port;Internal client;Internal port;Enabled;Description\r\nTCP;80;h;80;yes;a,b\r\n",
     {L"2 TCP 80 h:80 on |a,b|"}},
    {"LF, CR and CRLF mixed", "Protocol,External port,Internal client,Internal port\nTCP,1,h,1\rTCP,2,h,2\r\nTCP,3,h,3",
     {L"2 TCP 1 h:1 on ||", L"3 TCP 2 h:2 on ||", L"4 TCP 3 h:3 on ||"}},
    {"blank and empty rows", "\r\n" + kHeader + "\r\n,,,,,\r\n  ,\t,\"\"\r\nTCP,80,h,80,yes,x\r\n\r\n", {L"6 TCP 80 h:80 on |x|"}},
    {"header order, case, blanks, unknown column", " description ,NOTES,internal PORT,Internal Client,EXTERNAL port,protocol\r\n"
     "Web,x,80,192.0.2.20,8080,tcp\r\n", {L"2 TCP 8080 192.0.2.20:80 on |Web|"}},
    {"Enabled forms", kHeader + "TCP,1,h,1,TRUE,\r\nTCP,2,h,2,False,\r\nTCP,3,h,3,1,\r\nTCP,4,h,4,0,\r\nTCP,5,h,5,,\r\nTCP,6,h,6, Yes ,\r\nTCP,7,h,7,NO",
     {L"2 TCP 1 h:1 on ||", L"3 TCP 2 h:2 off ||", L"4 TCP 3 h:3 on ||", L"5 TCP 4 h:4 off ||", L"6 TCP 5 h:5 on ||",
      L"7 TCP 6 h:6 on ||", L"8 TCP 7 h:7 off ||"}},
    {"apostrophe of the guard taken off", kHeader + "TCP,1,h,1,yes,'=SUM(A1)\r\nTCP,2,h,2,yes,''+x\r\nTCP,3,h,3,yes,'plain\r\nTCP,4,h,4,yes,'@\r\n",
     {L"2 TCP 1 h:1 on |=SUM(A1)|", L"3 TCP 2 h:2 on |'+x|", L"4 TCP 3 h:3 on |'plain|", L"5 TCP 4 h:4 on |@|"}},
    {"quoted over lines, doubled and stray quotes", kHeader + "TCP,1,h,1,yes,\"a\r\nb \"\"c\"\"\"\r\nTCP,2,h,2,yes,say \"hi\"\r\n"
     "TCP,3,h,3,yes,\"ab\"c\r\n\"TCP\",\"4\",\"h\",\"4\",\"yes\",\" d \"",
     {L"2 TCP 1 h:1 on |a\r\nb \"c\"|", L"4 TCP 2 h:2 on |say \"hi\"|", L"5 TCP 3 h:3 on |abc|", L"6 TCP 4 h:4 on | d |"}},
    {"ports, clients and a description as they stand", kHeader + "TCP, 0080 ,nas-01.home.ARPA,65535,yes, a \r\nUDP,1,0.0.0.0,1,yes,\r\nUDP,2,255.255.255.255,2,yes,",
     {L"2 TCP 80 nas-01.home.ARPA:65535 on | a |", L"3 UDP 1 0.0.0.0:1 on ||", L"4 UDP 2 255.255.255.255:2 on ||"}},
    {"header only, 4096 lines", kHeader + std::string(4095, '\n'), {}},
    {"empty fields past the header's", kHeader + "TCP,80,h,80,yes,x,, \r\n", {L"2 TCP 80 h:80 on |x|"}},
};

TEST(ReadMappingList, TakesWhatUsersToolsWrite) {
    for (const ReadCase& c : kReadCases) {
        SCOPED_TRACE(c.name);
        const listfile::ReadResult read = ReadMappingList(c.bytes, Latin1);
        EXPECT_EQ(listfile::FaultList(read.faults), L"");
        std::vector<std::wstring> described;
        for (const listfile::ListedMapping& listed : read.mappings) described.push_back(Described(listed));
        EXPECT_EQ(described, c.mappings);
    }
}

struct FaultCase {
    const char* name;
    std::string bytes;
    std::wstring faults;
};

const std::string kRow = "TCP,80,h,80,yes,x\r\n";

const FaultCase kFaultCases[] = {
    {"over 1 MiB", kHeader + std::string(listfile::kMaxFileBytes, 'a'), L"The file is larger than 1 MiB.\r\n"},
    {"over 4096 lines", kHeader + std::string(4096, '\n') + "SCTP", L"The file has more than 4,096 lines.\r\n"},
    {"empty", "", L"The file is empty: it has no header line.\r\n"},
    {"BOM and blank lines only", kBom + "\r\n,,,\r\n", L"The file is empty: it has no header line.\r\n"},
    {"header lacks two", "\r\nProtocol,External port,Description\r\n" + kRow,
     L"Line 2: the header lacks the columns \"Internal client\" and \"Internal port\".\r\n"},
    {"header lacks all", "Protocol|External port|Internal client|Internal port",  // a separator the reader does not take
     L"Line 1: the header lacks the columns \"Protocol\", \"External port\", \"Internal client\" and \"Internal port\".\r\n"},
    {"column named twice", "Protocol,External port,Internal client,Internal port,protocol\r\n" + kRow,
     L"Line 1: the header names the column \"Protocol\" twice.\r\n"},
    {"protocol", kHeader + "SCTP,80,h,80,yes,\r\n", L"Line 2: the protocol \"SCTP\" is neither TCP nor UDP.\r\n"},
    {"ports", kHeader + "TCP,80a,h,0,yes,\r\nTCP,65536,h,-1,yes,\r\nTCP,,h,1 2,yes,\r\n",
     L"Line 2: the external port \"80a\" is not a number from 1 to 65535.\r\nLine 2: the internal port \"0\" is not a number from 1 to 65535.\r\n"
     L"Line 3: the external port \"65536\" is not a number from 1 to 65535.\r\nLine 3: the internal port \"-1\" is not a number from 1 to 65535.\r\n"
     L"Line 4: the external port \"\" is not a number from 1 to 65535.\r\nLine 4: the internal port \"1 2\" is not a number from 1 to 65535.\r\n"},
    {"clients", kHeader + "TCP,1, ,1\r\nTCP,2,a..b,2\r\nTCP,3,-x,3\r\nTCP,4,1.2.3,4\r\nTCP,5,192.0.2.256,5\r\nTCP,6,01.2.3.4,6\r\n"
     "TCP,7,h_1,7\r\nTCP,8," + std::string(64, 'a') + ",8\r\nTCP,9," + std::string(126, 'a') + "." + std::string(127, 'b') + ",9\r\n",
     L"Line 2: the internal client is empty.\r\n"
     L"Line 3: the internal client \"a..b\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 4: the internal client \"-x\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 5: the internal client \"1.2.3\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 6: the internal client \"192.0.2.256\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 7: the internal client \"01.2.3.4\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 8: the internal client \"h_1\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 9: the internal client \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...\" is neither an IPv4 address nor a computer name.\r\n"
     L"Line 10: the internal client \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...\" is neither an IPv4 address nor a computer name.\r\n"},
    {"Enabled", kHeader + "TCP,80,h,80,maybe\r\n", L"Line 2: the Enabled value \"maybe\" is none of yes, no, true, false, 1 and 0.\r\n"},
    {"NUL", kHeader + kRow + "TCP,81,h,81,yes,a" + std::string(2, '\0') + "b", L"Line 3: the line holds a NUL character.\r\n"},
    {"unclosed quote", kHeader + kRow + "TCP,81,h,81,yes,\"open\r\nUDP,82,h,82\r\n", L"Line 3: the quote that opens here is never closed.\r\n"},
    {"same protocol and port twice", kHeader + kRow + "UDP,80,h,80\r\nTCP,90,h,90,yes,\"a\r\nb\"\r\ntcp,80,other,81,no,\r\n",
     L"Line 6: TCP 80 is listed on line 2 already.\r\n"},
    // "Server; Steam" split at its semicolon and saved with commas.
    {"a text a spreadsheet split", kHeader + kRow + "TCP,81,h,81,yes,Server, Steam,\r\n",
     L"Line 3: 7 fields where the header has 6; a text with a separator may have been split. Quote it, or export the "
     L"list again.\r\n"},
    {"invalid UTF-8 after a BOM", kBom + kHeader + "TCP,80,h,80,yes,\xC3\r\nTCP,81,h,81,yes,\xC0\xAF\xED\xA0\x80\r\n",
     L"Line 2: the bytes are not valid UTF-8.\r\nLine 3: the bytes are not valid UTF-8.\r\n"},
    {"invalid UTF-16", Utf16(kTabHeader + L"TCP\t80\th\t80\t1\t\xDC00\r\nTCP\t81\th\t81\t1\tx", false) + "x",
     L"Line 2: the bytes are not valid UTF-16.\r\nLine 3: the bytes are not valid UTF-16.\r\n"},
    {"all faults in line order, values cut and on one line",
     kHeader + "\"A\r\n" + std::string(50, 'B') + "\",80,h,80\r\nTCP,80,h,80,x,a" + std::string(1, '\0'),
     L"Line 2: the protocol \"A  " + std::wstring(37, L'B') + L"...\" is neither TCP nor UDP.\r\n"
     L"Line 4: the line holds a NUL character.\r\nLine 4: the Enabled value \"x\" is none of yes, no, true, false, 1 and 0.\r\n"},
};

TEST(ReadMappingList, NamesEveryFaultWithItsLine) {
    for (const FaultCase& c : kFaultCases) {
        SCOPED_TRACE(c.name);
        const listfile::ReadResult read = ReadMappingList(c.bytes, Latin1);
        EXPECT_EQ(listfile::FaultList(read.faults), c.faults);
        EXPECT_TRUE(read.mappings.empty());
    }
}

TEST(FaultList, ListsTenThenCountsTheRest) {
    std::vector<listfile::FileFault> faults;
    for (size_t line = 1; line <= 12; ++line) faults.push_back({line, L"f."});
    std::wstring expected;
    for (int line = 1; line <= 10; ++line) expected += L"Line " + std::to_wstring(line) + L": f.\r\n";
    EXPECT_EQ(listfile::FaultList(faults), expected + L"... and 2 more\r\n");
}

struct WriteCase {
    PortMapping mapping;
    char separator;
    std::string line;
};

const WriteCase kWriteCases[] = {
    {Mapping(L"TCP", 8080, L"192.0.2.20", 80, -1, L"plain"), ',', "TCP,8080,192.0.2.20,80,yes,plain"},
    {Mapping(L"UDP", -1, L"h", 65536, 0, L"a,b"), ',', "UDP,4294967295,h,65536,no,\"a,b\""},
    // Quoted whichever the separator: a spreadsheet's default import splits on all three.
    {Mapping(L"TCP", 1, L"h", 1, 1, L"a,b"), ';', "TCP;1;h;1;yes;\"a,b\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"a;b"), ',', "TCP,1,h,1,yes,\"a;b\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"a\tb"), ';', "TCP;1;h;1;yes;\"a\tb\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"say \"hi\""), ',', "TCP,1,h,1,yes,\"say \"\"hi\"\"\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"two\r\nlines\n"), ',', "TCP,1,h,1,yes,\"two\r\nlines\n\""},
    {Mapping(L"TCP", 1, L" h", 1, 1, L"trail\t"), ',', "TCP,1,\" h\",1,yes,\"trail\t\""},
    {Mapping(L"=cmd", 1, L"@h", 1, 1, L"+x"), ',', "'=cmd,1,'@h,1,yes,'+x"},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"-1"), ',', "TCP,1,h,1,yes,'-1"},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"\tx"), ',', "TCP,1,h,1,yes,\"'\tx\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"\rx"), ',', "TCP,1,h,1,yes,\"'\rx\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"\nx"), ',', "TCP,1,h,1,yes,\"'\nx\""},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"''=x"), ',', "TCP,1,h,1,yes,'''=x"},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"'x=y"), ',', "TCP,1,h,1,yes,'x=y"},
    {Mapping(L"TCP", 1, L"h", 1, 1, L"\xD83C\xDFAE a\xD800 \xDC00"), ',', "TCP,1,h,1,yes,\xF0\x9F\x8E\xAE a\xEF\xBF\xBD \xEF\xBF\xBD"},
};

TEST(WriteMappingList, QuotesGuardsAndEncodesEachField) {
    for (const WriteCase& c : kWriteCases) {
        SCOPED_TRACE(c.line);
        const std::string bytes = listfile::WriteMappingList({c.mapping}, c.separator);
        const size_t firstEnd = bytes.find("\r\n") + 2;
        EXPECT_EQ(bytes.substr(firstEnd), c.line + "\r\n");
    }
}

// What Gatekeel exports it imports: a file past a limit of the import is not written.
TEST(ExportRefusal, WhereTheFileWouldPassALimitOfTheImport) {
    const std::vector<PortMapping> fits(4095, Mapping(L"TCP", 1, L"h", 1)), tooMany(4096, Mapping(L"TCP", 1, L"h", 1));
    const auto refused = [](const wchar_t* passed) {
        return L"Gatekeel has not exported the list: its file would " + std::wstring(passed) +
               L", more than Gatekeel imports, so the list could not be put back from it.";
    };
    EXPECT_EQ(listfile::ExportRefusal(listfile::WriteMappingList(fits, ',')), L"");
    EXPECT_EQ(listfile::ExportRefusal(listfile::WriteMappingList(tooMany, ',')), refused(L"have more than 4,096 lines"));
    const PortMapping lines = Mapping(L"TCP", 1, L"h", 1, -1, std::wstring(4095, L'\n').c_str());
    EXPECT_EQ(listfile::ExportRefusal(listfile::WriteMappingList({lines}, ',')), refused(L"have more than 4,096 lines"));
    const PortMapping large = Mapping(L"TCP", 1, L"h", 1, -1, std::wstring(listfile::kMaxFileBytes, L'x').c_str());
    EXPECT_EQ(listfile::ExportRefusal(listfile::WriteMappingList({large}, ';')), refused(L"be larger than 1 MiB"));
}

TEST(WriteMappingList, WritesBomHeaderAndCrlfLines) {
    const std::vector<PortMapping> mappings = {Mapping(L"TCP", 8080, L"192.0.2.20", 80, -1, L"Web"),
                                               Mapping(L"UDP", 3074, L"192.0.2.21", 3074, 0, L"")};
    EXPECT_EQ(listfile::WriteMappingList(mappings, ';'),
              "\xEF\xBB\xBFProtocol;External port;Internal client;Internal port;Enabled;Description\r\n"
              "TCP;8080;192.0.2.20;80;yes;Web\r\nUDP;3074;192.0.2.21;3074;no;\r\n");
    EXPECT_EQ(listfile::WriteMappingList({}, ','), kBom + kHeader);
}

TEST(WriteMappingList, ReadsBackTheSameRecords) {
    std::vector<PortMapping> mappings;
    const wchar_t* descriptions[] = {L"=1+2", L"'=x", L"''@x", L"'", L"-", L"\r\n", L"\t", L" a;b,c \"d\" ", L"",
                                     L"\x041C\xD83C\xDFAE", L"x\r\n\r\ny\n\rz"};
    int32_t port = 1;
    for (const wchar_t* description : descriptions) {
        mappings.push_back(Mapping(port % 2 ? L"TCP" : L"UDP", port, L"nas-01.home", port + 1000, port % 3 ? -1 : 0, description));
        ++port;
    }
    for (char separator : {',', ';'}) {
        SCOPED_TRACE(separator);
        const listfile::ReadResult read = ReadMappingList(listfile::WriteMappingList(mappings, separator), Latin1);
        ASSERT_EQ(listfile::FaultList(read.faults), L"");
        ASSERT_EQ(read.mappings.size(), mappings.size());
        for (size_t i = 0; i < mappings.size(); ++i) {
            EXPECT_EQ(Described({0, read.mappings[i].mapping}), Described({0, mappings[i]}));
            EXPECT_EQ(read.mappings[i].mapping.enabled, mappings[i].enabled);
        }
    }
}

}  // namespace

#include "diag/explain.h"

#include <optional>
#include <vector>

#include "diag/ipv4.h"
#include "ui/text_rules.h"

using ipv4::DottedText;
using ipv4::OwnAddresses;
using ipv4::OwnEntryOf;
using ipv4::ParseIpv4;
using ui::Widened;
using ui::WithInserts;

namespace {

// The services that run in one process (svchost.exe) may be many, with names of any length.
constexpr size_t kNamedServices = 3;
constexpr size_t kServiceChars = 40;

bool IsLoopback(uint32_t address) { return address >> 24 == 127; }

// What a program does with the port, as a sentence says it after the program.
std::wstring PortUse(const ListeningQuery& query) {
    return WithInserts(query.transport == Transport::Tcp ? L"listens on TCP port %1" : L"has UDP port %1 open",
                       {std::to_wstring(query.port)});
}

// Who holds the port, at the start of a sentence.
std::wstring OwnerText(const Listener& row) {
    if (row.pid == kSystemProcess) return L"Windows itself";
    if (row.pid == 0) return L"A program";
    const std::wstring process = L"(process " + std::to_wstring(row.pid) + L")";
    const std::wstring program = row.program.empty() ? process : row.program + L" " + process;
    if (row.services.empty()) return row.program.empty() ? L"A program " + process : program;
    const std::wstring in = row.program.empty() ? L" " + process : L" in " + program;
    if (row.services.size() == 1) return L"The service " + ui::OneLine(row.services[0], kServiceChars) + in;
    // A process that runs many services: the first few by name.
    std::wstring names;
    const size_t named = std::min(row.services.size(), kNamedServices);
    for (size_t i = 0; i < named; ++i) {
        if (i > 0) names += i + 1 < named || named < row.services.size() ? L", " : L" and ";
        names += ui::OneLine(row.services[i], kServiceChars);
    }
    if (named < row.services.size()) names += L" and " + std::to_wstring(row.services.size() - named) + L" more";
    return L"One of the services " + names + in;
}

// The rows on the port that the verdict speaks of: one on the client's address or on all of
// them, else one on all IPv6 addresses, else the first on another address.
struct PortHolders {
    const Listener* serving = nullptr;
    const Listener* ipv6 = nullptr;
    const Listener* elsewhere = nullptr;

    PortHolders(const ListeningQuery& query, const std::vector<Listener>& rows) {
        for (const Listener& row : rows) {
            if (row.port != query.port) continue;
            const Listener*& slot = row.ipv6Any ? ipv6
                                    : row.address == 0 || row.address == query.client ? serving
                                                                                       : elsewhere;
            if (!slot) slot = &row;
        }
    }
};

}  // namespace

std::optional<ListeningQuery> ListeningQueryOf(const std::string& protocol, int32_t port, const std::string& client,
                                               const IP_ADAPTER_INFO* adapters) {
    const std::optional<Transport> transport = TransportOf(protocol);
    const std::optional<uint32_t> address = ParseIpv4(client);
    if (!transport || port < 1 || port > 65535 || !address || !OwnEntryOf(*address, OwnAddresses(adapters)))
        return std::nullopt;
    return ListeningQuery{*transport, static_cast<uint16_t>(port), *address};
}

std::optional<std::wstring> ListeningProgram(const ListeningQuery& query, const ListenerTable& table) {
    const PortHolders holders(query, table.rows);
    if (!table.delivered || !holders.serving || holders.serving->path.empty()) return std::nullopt;
    return holders.serving->path;
}

std::wstring ExplainListening(const ListeningQuery& query, const ListenerTable& table) {
    const std::wstring use = PortUse(query);
    if (!table.delivered) {
        return WithInserts(L"Windows did not deliver its list of %1, so Gatekeel cannot tell whether a program %2 here.",
                           {query.transport == Transport::Tcp ? L"TCP listeners" : L"open UDP ports", use});
    }
    const PortHolders holders(query, table.rows);
    const std::wstring client = Widened(DottedText(query.client));
    if (holders.serving) return WithInserts(L"%1 %2 here.", {OwnerText(*holders.serving), use});
    if (holders.ipv6) {
        return WithInserts(L"%1 %2 on all IPv6 addresses (::); the router forwards over IPv4 to %3, which reaches it only if "
                           L"that socket takes IPv4 as well, as a dual-stack one does.",
                           {OwnerText(*holders.ipv6), use, client});
    }
    if (const Listener* row = holders.elsewhere) {
        const wchar_t* where = IsLoopback(row->address)
                                   ? L"%1 %2 on %3, a loopback address, where the router cannot reach it. The program must "
                                     L"listen on %4 or on all addresses."
                                   : L"%1 %2 on %3, another address of this computer, but the router forwards to %4. The "
                                     L"program must listen on %4 or on all addresses.";
        return WithInserts(where, {OwnerText(*row), use, Widened(DottedText(row->address)), client});
    }
    return WithInserts(L"No program on this computer %1 now; until one does, the router forwards to a closed port.", {use});
}

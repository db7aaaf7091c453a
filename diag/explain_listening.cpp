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

namespace {

// The services that run in one process (svchost.exe) may be many, with names of any length.
constexpr size_t kNamedServices = 3;
constexpr size_t kServiceChars = 40;

bool IsLoopback(uint32_t address) { return address >> 24 == 127; }

// What a program does with the port, as a sentence says it after the program.
std::wstring PortUse(const ListeningQuery& query) {
    const std::wstring port = std::to_wstring(query.port);
    return query.transport == Transport::Tcp ? L"listens on TCP port " + port : L"has UDP port " + port + L" open";
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
        return std::wstring(L"Windows did not deliver its list of ") +
               (query.transport == Transport::Tcp ? L"TCP listeners" : L"open UDP ports") +
               L", so Gatekeel cannot tell whether a program " + use + L" here.";
    }
    const PortHolders holders(query, table.rows);
    const std::wstring client = Widened(DottedText(query.client));
    const std::wstring must = L" The program must listen on " + client + L" or on all addresses.";
    if (holders.serving) return OwnerText(*holders.serving) + L" " + use + L" here.";
    if (holders.ipv6) {
        return OwnerText(*holders.ipv6) + L" " + use + L" on all IPv6 addresses (::); the router forwards over IPv4 to " +
               client + L", which reaches it only if that socket takes IPv4 as well, as a dual-stack one does.";
    }
    if (const Listener* row = holders.elsewhere) {
        const std::wstring at = L" " + use + L" on " + Widened(DottedText(row->address));
        if (IsLoopback(row->address)) return OwnerText(*row) + at + L", a loopback address, where the router cannot reach it." + must;
        return OwnerText(*row) + at + L", another address of this computer, but the router forwards to " + client + L"." + must;
    }
    return L"No program on this computer " + use + L" now; until one does, the router forwards to a closed port.";
}

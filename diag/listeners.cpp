#include "diag/listeners.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "diag/host_network_info.h"
#include "ui/handles.h"
#include "ui/system_library.h"
#include "ui/text_rules.h"

namespace {

using GetExtendedTcpTableFn = DWORD(WINAPI*)(PVOID table, PDWORD size, BOOL sorted, ULONG family,
                                             TCP_TABLE_CLASS tableClass, ULONG reserved);
using GetExtendedUdpTableFn = DWORD(WINAPI*)(PVOID table, PDWORD size, BOOL sorted, ULONG family,
                                             UDP_TABLE_CLASS tableClass, ULONG reserved);
using GetTcpTableFn = DWORD(WINAPI*)(PMIB_TCPTABLE table, PDWORD size, BOOL sorted);
using GetUdpTableFn = DWORD(WINAPI*)(PMIB_UDPTABLE table, PDWORD size, BOOL sorted);
using QueryImageNameFn = BOOL(WINAPI*)(HANDLE process, DWORD flags, LPWSTR name, PDWORD size);

// A table that grows between the call that sized the buffer and the next gets a few more tries.
constexpr int kTableTries = 8;
// The longest path Windows has, in characters.
constexpr DWORD kLongestPath = 32768;

using Buffer = std::vector<unsigned char>;

// Calls read(buffer, &size) with the size it last reported until the table fits.
template <typename Read>
std::optional<Buffer> FetchTable(Read read) {
    Buffer buffer;
    DWORD size = 0;
    for (int i = 0; i < kTableTries; ++i) {
        try {
            buffer.resize(size);
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
        const DWORD result = read(buffer.empty() ? nullptr : buffer.data(), &size);
        if (result == NO_ERROR) {
            buffer.resize(std::min<size_t>(buffer.size(), size));
            return buffer;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    }
    return std::nullopt;
}

// Each row of a platform table, no further than the buffer holds whatever count it claims.
template <typename Table, typename Each>
void ForEachRow(const Buffer& buffer, Each each) {
    using Row = std::remove_extent_t<decltype(Table::table)>;
    constexpr size_t head = offsetof(Table, table);
    if (buffer.size() < head) return;
    DWORD count = 0;
    std::memcpy(&count, buffer.data(), sizeof count);
    const size_t rows = std::min<size_t>(count, (buffer.size() - head) / sizeof(Row));
    for (size_t i = 0; i < rows; ++i) {
        Row row;
        std::memcpy(&row, buffer.data() + head + i * sizeof(Row), sizeof row);
        each(row);
    }
}

// The platform keeps ports and IPv4 addresses in network byte order.
uint16_t PortOf(DWORD field) {
    const auto bytes = static_cast<uint16_t>(field);
    return static_cast<uint16_t>(bytes >> 8 | (bytes & 0xFF) << 8);
}

uint32_t AddressOf(DWORD field) {
    unsigned char bytes[4];
    std::memcpy(bytes, &field, sizeof bytes);
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

bool AllZero(const UCHAR (&address)[16]) {
    return std::all_of(std::begin(address), std::end(address), [](UCHAR byte) { return byte == 0; });
}

template <typename Fn>
Fn EntryPoint(const char* name) {
    return ui::ProcAs<Fn>(IpHelperEntryPoint(name));
}

// Gathers the rows on one port.
class PortRows {
public:
    explicit PortRows(uint16_t port) : port_(port) {}

    template <typename Row>
    void AddIpv4(const Row& row, DWORD pid) {
        if (PortOf(row.dwLocalPort) == port_) table_.rows.push_back({AddressOf(row.dwLocalAddr), false, port_, pid, {}});
    }
    // Only the rows on all IPv6 addresses matter: a dual-stack socket there takes IPv4 as well.
    template <typename Row>
    void AddIpv6(const Row& row) {
        if (PortOf(row.dwLocalPort) == port_ && AllZero(row.ucLocalAddr))
            table_.rows.push_back({0, true, port_, row.dwOwningPid, {}});
    }
    void Delivered() { table_.delivered = true; }
    ListenerTable Take() { return std::move(table_); }

private:
    uint16_t port_;
    ListenerTable table_;
};

struct TcpTables {
    using ExtendedFn = GetExtendedTcpTableFn;
    using PlainFn = GetTcpTableFn;
    using Ipv4 = MIB_TCPTABLE_OWNER_PID;
    using Ipv6 = MIB_TCP6TABLE_OWNER_PID;
    using Plain = MIB_TCPTABLE;
    static constexpr const char* kExtended = "GetExtendedTcpTable";
    static constexpr const char* kPlain = "GetTcpTable";
    static constexpr TCP_TABLE_CLASS kClass = TCP_TABLE_OWNER_PID_LISTENER;
    static bool Listens(const MIB_TCPROW& row) { return row.dwState == MIB_TCP_STATE_LISTEN; }
};

struct UdpTables {
    using ExtendedFn = GetExtendedUdpTableFn;
    using PlainFn = GetUdpTableFn;
    using Ipv4 = MIB_UDPTABLE_OWNER_PID;
    using Ipv6 = MIB_UDP6TABLE_OWNER_PID;
    using Plain = MIB_UDPTABLE;
    static constexpr const char* kExtended = "GetExtendedUdpTable";
    static constexpr const char* kPlain = "GetUdpTable";
    static constexpr UDP_TABLE_CLASS kClass = UDP_TABLE_OWNER_PID;
    static bool Listens(const MIB_UDPROW&) { return true; }
};

// The tables with owners where the library has them, else the older ones without.
template <typename Tables>
void ReadRows(PortRows& rows) {
    if (const auto extended = EntryPoint<typename Tables::ExtendedFn>(Tables::kExtended)) {
        const auto read = [&](ULONG family) {
            return FetchTable(
                [&](void* table, DWORD* size) { return extended(table, size, FALSE, family, Tables::kClass, 0); });
        };
        if (const std::optional<Buffer> table = read(AF_INET)) {
            ForEachRow<typename Tables::Ipv4>(*table, [&](const auto& row) { rows.AddIpv4(row, row.dwOwningPid); });
            rows.Delivered();
            if (const std::optional<Buffer> table6 = read(AF_INET6))
                ForEachRow<typename Tables::Ipv6>(*table6, [&](const auto& row) { rows.AddIpv6(row); });
            return;
        }
    }
    // TCP's older table holds every connection, of which only the listening rows count.
    if (const auto plain = EntryPoint<typename Tables::PlainFn>(Tables::kPlain)) {
        using Plain = typename Tables::Plain;
        const std::optional<Buffer> table =
            FetchTable([&](void* buffer, DWORD* size) { return plain(static_cast<Plain*>(buffer), size, FALSE); });
        if (!table) return;
        ForEachRow<Plain>(*table, [&](const auto& row) {
            if (Tables::Listens(row)) rows.AddIpv4(row, 0);
        });
        rows.Delivered();
    }
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The path of the process's image, where this user may read it; empty otherwise.
std::wstring ProgramPath(DWORD pid) {
    // Looked up, not imported: Windows before Vista lacks it, and the exe must still start there.
    const auto queryImageName =
        ui::ProcAs<QueryImageNameFn>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW"));
    if (!queryImageName) return {};
    const ui::UniqueHandleObject process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    for (DWORD capacity = MAX_PATH; capacity <= 2 * kLongestPath; capacity *= 2) {
        std::wstring path(capacity, L'\0');
        DWORD length = capacity;
        if (queryImageName(process.get(), 0, path.data(), &length)) {
            path.resize(std::min(length, capacity));
            return path;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    }
    return {};
}

}  // namespace

std::optional<Transport> TransportOf(const std::string& protocol) {
    if (ui::SameIgnoringAsciiCase(protocol, "TCP")) return Transport::Tcp;
    if (ui::SameIgnoringAsciiCase(protocol, "UDP")) return Transport::Udp;
    return std::nullopt;
}

ListenerTable ReadListeners(Transport transport, uint16_t port) {
    PortRows rows(port);
    transport == Transport::Tcp ? ReadRows<TcpTables>(rows) : ReadRows<UdpTables>(rows);
    ListenerTable table = rows.Take();
    std::optional<std::map<DWORD, std::vector<std::wstring>>> services;  // listed once, where a row needs them
    for (Listener& row : table.rows) {
        if (row.pid == kSystemProcess) row.path = L"System";  // as the firewall's rules name Windows itself
        if (row.pid == 0 || row.pid == kSystemProcess) continue;
        row.path = ProgramPath(row.pid);
        row.program = FileNamePart(row.path);
        if (!services) services = ServicesByProcess();
        if (const auto hosted = services->find(row.pid); hosted != services->end()) row.services = hosted->second;
    }
    return table;
}

std::map<DWORD, std::vector<std::wstring>> ServicesByProcess() {
    std::map<DWORD, std::vector<std::wstring>> hosted;
    const ui::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) return hosted;
    Buffer buffer;
    DWORD resume = 0;
    // Each call gives what fits and where to go on; a list that grows meanwhile gets a few more.
    for (int call = 0; call < kTableTries; ++call) {
        DWORD needed = 0, returned = 0;
        const BOOL all = EnumServicesStatusExW(manager.get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE,
                                               buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned, &resume,
                                               nullptr);
        if (!all && GetLastError() != ERROR_MORE_DATA) return hosted;
        const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
        for (DWORD i = 0; i < returned; ++i) {
            const DWORD pid = services[i].ServiceStatusProcess.dwProcessId;
            if (pid != 0 && services[i].lpServiceName) hosted[pid].emplace_back(services[i].lpServiceName);
        }
        if (all) return hosted;
        buffer.resize(std::max<size_t>(needed, buffer.size()));
    }
    return hosted;
}

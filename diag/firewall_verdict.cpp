#include "diag/firewall_verdict.h"

#include <algorithm>
#include <string_view>

#include "diag/ipv4.h"
#include "ui/text_rules.h"

using ui::WithInserts;


namespace {

// Rule names and programs come from other programs: one line each, and short.
constexpr size_t kNameChars = 60;

enum class Verdict { Off, BlockAll, Blocked, BlockedUnseen, Allowed, AllowedUnseen, LocalOnly, DefaultAllow, DefaultBlock };

// The verdicts whose sentence names the profile itself.
bool NamesProfile(Verdict verdict) {
    return verdict == Verdict::Off || verdict == Verdict::BlockAll || verdict == Verdict::DefaultAllow ||
           verdict == Verdict::DefaultBlock;
}

struct ProfileVerdict {
    long profile;
    Verdict verdict;
    const FirewallRule* rule = nullptr;

    bool SameAs(const ProfileVerdict& other) const { return verdict == other.verdict && rule == other.rule; }
};

// The comma-separated items of a rule's list, trimmed.
std::vector<std::wstring_view> Items(std::wstring_view list) {
    std::vector<std::wstring_view> items = ui::Split(list, L',');
    for (std::wstring_view& item : items) item = ui::TrimmedBlanks(item);
    return items;
}

bool AnyItem(std::wstring_view list) {
    const std::vector<std::wstring_view> items = Items(list);
    return (items.size() == 1 && items[0].empty()) ||
           std::any_of(items.begin(), items.end(), [](std::wstring_view item) { return item == L"*"; });
}

std::optional<uint32_t> Number(std::wstring_view text, uint32_t max) {
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
    }
    if (value > max) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// Numbers and ranges hold their ports; a keyword such as "RPC" holds none of the router's.
bool HoldsPort(std::wstring_view ports, uint16_t port) {
    if (AnyItem(ports)) return true;
    for (std::wstring_view item : Items(ports)) {
        const size_t dash = item.find(L'-');
        const auto low = Number(ui::TrimmedBlanks(item.substr(0, dash)), 65535);
        const auto high = dash == std::wstring_view::npos ? low : Number(ui::TrimmedBlanks(item.substr(dash + 1)), 65535);
        if (low && high && *low <= port && port <= *high) return true;
    }
    return false;
}

// Whom a rule's remote addresses take in of what the router forwards, which comes over IPv4 from
// the internet: anyone, only local sources, or none of them (IPv6 sources alone).
enum class Sources { None, LocalOnly, Internet };

constexpr const wchar_t* kLocalKeywords[] = {L"LocalSubnet", L"Intranet",         L"DNS",         L"DHCP",
                                             L"WINS",        L"DefaultGateway",   L"RemoteCorpNetwork", L"PlayToDevice"};
// The blocks of your own network: private, link-local, loopback and the provider's shared range.
constexpr ipv4::AddressRange kLocalBlocks[] = {
    {ipv4::Ip(10, 0, 0, 0), 8, ipv4::Reach::Private},      {ipv4::Ip(172, 16, 0, 0), 12, ipv4::Reach::Private},
    {ipv4::Ip(192, 168, 0, 0), 16, ipv4::Reach::Private},  {ipv4::Ip(169, 254, 0, 0), 16, ipv4::Reach::LinkLocal},
    {ipv4::Ip(127, 0, 0, 0), 8, ipv4::Reach::Reserved},    {ipv4::Ip(100, 64, 0, 0), 10, ipv4::Reach::CarrierNat},
};

std::optional<uint32_t> Address(std::wstring_view text) {
    std::string ascii;
    for (wchar_t c : text) {
        if (c > 0x7F) return std::nullopt;
        ascii += static_cast<char>(c);
    }
    return ipv4::ParseIpv4(ascii);
}

// An address, a subnet ("a.b.c.d/n" or "/m.m.m.m") or a range ("a-b") as its first and last address.
std::optional<std::pair<uint32_t, uint32_t>> AddressSpan(std::wstring_view item) {
    const size_t dash = item.find(L'-'), slash = item.find(L'/');
    if (dash != std::wstring_view::npos) {
        const auto low = Address(item.substr(0, dash)), high = Address(item.substr(dash + 1));
        if (!low || !high) return std::nullopt;
        return std::pair(*low, *high);
    }
    const auto base = Address(item.substr(0, slash));
    if (!base) return std::nullopt;
    if (slash == std::wstring_view::npos) return std::pair(*base, *base);
    const std::wstring_view mask = item.substr(slash + 1);
    const auto bits = Number(mask, 32);
    const auto dotted = Address(mask);
    if (!bits && !dotted) return std::nullopt;
    const uint32_t netmask = bits ? (*bits == 0 ? 0 : ~0u << (32 - *bits)) : *dotted;
    return std::pair(*base & netmask, (*base & netmask) | ~netmask);
}

bool IsLocalSpan(uint32_t low, uint32_t high) {
    return std::any_of(std::begin(kLocalBlocks), std::end(kLocalBlocks),
                       [&](const ipv4::AddressRange& block) { return block.Holds(low) && block.Holds(high) && low <= high; });
}

Sources SourceOf(std::wstring_view item) {
    for (const wchar_t* keyword : kLocalKeywords) {
        if (ui::SameIgnoringAsciiCase(item, keyword)) return Sources::LocalOnly;
    }
    if (item.find(L':') != std::wstring_view::npos) return Sources::None;  // IPv6
    const auto span = AddressSpan(item);
    // What cannot be read may take in anyone: no drop is claimed that the rule may not make.
    return span && IsLocalSpan(span->first, span->second) ? Sources::LocalOnly : Sources::Internet;
}

Sources SourcesOf(std::wstring_view remoteAddresses) {
    if (AnyItem(remoteAddresses)) return Sources::Internet;
    Sources widest = Sources::None;
    for (std::wstring_view item : Items(remoteAddresses)) widest = std::max(widest, SourceOf(item));
    return widest;
}

enum class ProgramMatch { Any, Same, Other, Unseen };

ProgramMatch ProgramOf(const FirewallRule& rule, const FirewallQuery& query, PathExpander expand) {
    if (rule.application.empty()) return ProgramMatch::Any;
    if (!query.program) return ProgramMatch::Unseen;
    return ui::SameIgnoringAsciiCase(expand(rule.application), *query.program) ? ProgramMatch::Same : ProgramMatch::Other;
}

bool Counts(const FirewallRule& rule, const FirewallProfile& profile, const FirewallQuery& query) {
    const long protocol = query.transport == Transport::Tcp ? 6 : 17;
    return rule.enabled && rule.inbound && (rule.profiles & profile.type) != 0 &&
           (rule.protocol == 256 || rule.protocol == protocol) && HoldsPort(rule.localPorts, query.port);
}

// The first counting rule of each kind, in the verdict's order of precedence.
struct Matches {
    const FirewallRule* blocked = nullptr;
    const FirewallRule* blockedUnseen = nullptr;  // for a program, where Gatekeel cannot see which one listens
    const FirewallRule* allowed = nullptr;
    const FirewallRule* allowedUnseen = nullptr;
    const FirewallRule* localOnly = nullptr;

    void Take(const FirewallRule& rule, bool seen, Sources sources) {
        const FirewallRule** slot = nullptr;
        if (!rule.allow) {
            // A block of local sources alone leaves what comes from the internet to the other rules.
            if (sources == Sources::Internet) slot = seen ? &blocked : &blockedUnseen;
        } else if (sources == Sources::Internet) {
            slot = seen ? &allowed : &allowedUnseen;
        } else if (seen) {
            slot = &localOnly;
        }
        if (slot && !*slot) *slot = &rule;
    }
};

ProfileVerdict VerdictOn(const FirewallProfile& profile, const FirewallPolicy& policy, const FirewallQuery& query,
                         PathExpander expand) {
    if (!profile.enabled) return {profile.type, Verdict::Off};
    if (profile.blockAllInbound) return {profile.type, Verdict::BlockAll};
    Matches matches;
    for (const FirewallRule& rule : policy.rules) {
        if (!Counts(rule, profile, query)) continue;
        const ProgramMatch program = ProgramOf(rule, query, expand);
        const Sources sources = SourcesOf(rule.remoteAddresses);
        if (program != ProgramMatch::Other && sources != Sources::None)
            matches.Take(rule, program != ProgramMatch::Unseen, sources);
    }
    if (matches.blocked) return {profile.type, Verdict::Blocked, matches.blocked};
    if (matches.blockedUnseen) return {profile.type, Verdict::BlockedUnseen, matches.blockedUnseen};
    if (matches.allowed) return {profile.type, Verdict::Allowed, matches.allowed};
    if (profile.allowsInbound) return {profile.type, Verdict::DefaultAllow};
    if (matches.allowedUnseen) return {profile.type, Verdict::AllowedUnseen, matches.allowedUnseen};
    if (matches.localOnly) return {profile.type, Verdict::LocalOnly, matches.localOnly};
    return {profile.type, Verdict::DefaultBlock};
}

const char* ProfileName(long profile) {
    switch (profile) {
    case kFirewallDomain: return "Domain";
    case kFirewallPrivate: return "Private";
    default: return "Public";
    }
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Sentence(const ProfileVerdict& v, const FirewallQuery& query, PathExpander expand) {
    const std::wstring profile = ui::Widened(ProfileName(v.profile));
    const std::wstring port = (query.transport == Transport::Tcp ? L"TCP port " : L"UDP port ") + std::to_wstring(query.port);
    const std::wstring rule = v.rule ? ui::OneLine(v.rule->name, kNameChars) : std::wstring();
    const std::wstring program =
        v.rule && !v.rule->application.empty() ? ui::OneLine(FileNamePart(expand(v.rule->application)), kNameChars) : std::wstring();
    const std::wstring forProgram = program.empty() ? std::wstring() : L" for " + program;
    switch (v.verdict) {
    case Verdict::Off:
        return WithInserts(L"Windows Firewall is off on this %1 network, so it lets in what the router forwards.", {profile});
    case Verdict::BlockAll:
        return WithInserts(L"Windows Firewall blocks all incoming connections on this %1 network, so it drops what the "
                           L"router forwards.", {profile});
    case Verdict::Blocked:
        return WithInserts(L"Windows Firewall blocks %1%2 (rule \"%3\"), so it drops what the router forwards.",
                           {port, forProgram, rule});
    case Verdict::BlockedUnseen:
        return WithInserts(L"Windows Firewall blocks %1%2 (rule \"%3\"); Gatekeel cannot see which program listens.",
                           {port, forProgram, rule});
    case Verdict::Allowed:
        return WithInserts(L"Windows Firewall lets %1 in%2 (rule \"%3\").", {port, forProgram, rule});
    case Verdict::AllowedUnseen:
        return WithInserts(L"Windows Firewall lets %1 in%2 only (rule \"%3\"); Gatekeel cannot see which program listens.",
                           {port, forProgram, rule});
    case Verdict::LocalOnly:
        return WithInserts(L"Windows Firewall lets %1 in only from your own network (rule \"%2\"), so it drops what the "
                           L"router forwards from the internet.", {port, rule});
    case Verdict::DefaultAllow:
        return WithInserts(L"Windows Firewall lets in what no rule blocks on this %1 network, so it lets in what the "
                           L"router forwards.", {profile});
    case Verdict::DefaultBlock:
        return WithInserts(L"No Windows Firewall rule lets %1 in on this %2 network, so Windows drops what the router "
                           L"forwards; allow the program through the firewall in Windows Security (Firewall & network "
                           L"protection).", {port, profile});
    }
    return {};
}

}  // namespace

std::wstring ExplainFirewall(const FirewallPolicy& policy, const FirewallQuery& query, PathExpander expand) {
    const std::wstring cannot = L"Gatekeel cannot read Windows Firewall's settings here.";
    if (!policy.readable) return cannot;
    if (!policy.managingProduct.empty()) {
        return WithInserts(L"%1 manages this computer's firewall; Gatekeel cannot see its rules.",
                           {ui::OneLine(policy.managingProduct, kNameChars)});
    }
    if (policy.current.empty()) return cannot;  // no network is connected: no profile to decide by
    std::vector<ProfileVerdict> verdicts;
    for (const FirewallProfile& profile : policy.current) verdicts.push_back(VerdictOn(profile, policy, query, expand));
    const bool alike = std::all_of(verdicts.begin(), verdicts.end(), [&](const auto& v) { return v.SameAs(verdicts[0]); });
    if (verdicts.size() == 1 || (alike && !NamesProfile(verdicts[0].verdict))) return Sentence(verdicts[0], query, expand);
    std::wstring lines;
    for (const ProfileVerdict& v : verdicts) {
        if (!lines.empty()) lines += ui::kEol;
        const std::wstring sentence = Sentence(v, query, expand);
        lines += NamesProfile(v.verdict) ? sentence : WithInserts(L"On the %1 network, %2", {ui::Widened(ProfileName(v.profile)), sentence});
    }
    return lines;
}

std::optional<std::string> NetworkDiscoveryCause(const FirewallPolicy& policy) {
    if (policy.discoveryOff.empty()) return std::nullopt;
    std::string names;
    for (size_t i = 0; i < policy.discoveryOff.size(); ++i) {
        if (i > 0) names += i + 1 < policy.discoveryOff.size() ? ", " : " and ";
        names += ProfileName(policy.discoveryOff[i]);
    }
    const bool one = policy.discoveryOff.size() == 1;
    return ui::WithInserts("Network discovery is off on %1 %2 %3, so Windows may not hear the router's answers; make the "
                           "network private (Settings, Network & internet) or turn on network discovery.",
                           {one ? "this" : "these", names, one ? "network" : "networks"});
}

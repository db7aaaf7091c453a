#include "diag/explain.h"

#include <optional>
#include <vector>

#include "diag/ipv4.h"

using namespace ipv4;

std::string ExplainExternalAddress(const std::string& external, uint32_t port) {
    if (external.empty()) {
        return "The router's external address was not reported, so Gatekeel cannot tell whether another NAT "
               "stands in front of the router.";
    }
    const std::optional<uint32_t> address = ParseIpv4(external);
    if (!address) return "That is no IPv4 address, so Gatekeel cannot tell whether another NAT stands in front of the router.";
    if (*address == 0) {
        return "0.0.0.0 stands for no address: either the router reports no internet address (it may not be "
               "connected), or Windows did not deliver the address the router reported; the record cannot tell which.";
    }
    const AddressRange& range = RangeOf(*address);
    const std::string shown = DottedText(*address);
    switch (range.reach) {
    case Reach::Reserved:
        return shown + " is not an internet address (it lies in the reserved range " + range.Text() +
               "), so this mapping cannot be reached from the internet.";
    case Reach::LinkLocal:
        return shown + " is a link-local address (" + range.Text() +
               "): the router has no internet address; it may not be connected.";
    case Reach::CarrierNat:
        return shown + " is a carrier-grade NAT address (" + range.Text() +
               "): your provider's NAT stands in front of the router, so this mapping alone cannot make the port "
               "reachable from the internet.";
    case Reach::Private:
        return shown + " is a private address (" + range.Text() +
               "): another router stands in front of this one (double NAT), so this mapping alone cannot make the "
               "port reachable from the internet.";
    case Reach::Public:
        return "From the internet, this mapping is reached at " + shown + ":" + std::to_string(port) + ".";
    }
    return {};
}

std::string ExplainInternalClient(const std::string& client, const IP_ADAPTER_INFO* adapters) {
    if (client.empty()) return "The router reported no internal client, so Gatekeel cannot tell where this mapping leads.";
    const std::optional<uint32_t> address = ParseIpv4(client);
    if (!address) return "The internal client is no IPv4 address, so Gatekeel cannot tell where it is.";
    const std::string shown = DottedText(*address);
    if (!adapters) return "Without the adapter list Gatekeel cannot tell where " + shown + " is.";
    const std::vector<OwnAddress> own = OwnAddresses(adapters);
    if (const OwnAddress* entry = OwnEntryOf(*address, own))
        return shown + " is this computer (" + AdapterName(*entry->adapter) + ").";
    for (const OwnAddress& entry : own) {
        const uint32_t network = entry.address & entry.mask;
        if (entry.address == 0 || entry.mask == 0 || network != (*address & entry.mask)) continue;
        return shown + " is another device on the subnet of " + AdapterName(*entry.adapter) + " (" +
               DottedText(network) + "/" + std::to_string(PrefixLength(entry.mask)) + ").";
    }
    return shown + " is on none of this computer's subnets: the router may not reach it.";
}

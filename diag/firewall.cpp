#include "diag/firewall.h"

#include <netfw.h>
#include <wrl/client.h>

#include <vector>

#include "ui/com_values.h"

using Microsoft::WRL::ComPtr;

namespace {

// The rule group "Network Discovery", by the resource name Windows gives it in every language.
constexpr wchar_t kNetworkDiscovery[] = L"@FirewallAPI.dll,-32752";
constexpr long kRuleCategoryFirewall = 2;  // NET_FW_RULE_CATEGORY_FIREWALL
constexpr long kProfiles[] = {kFirewallDomain, kFirewallPrivate, kFirewallPublic};

HRESULT CreatePlatformObject(REFCLSID clsid, REFIID iid, void** object) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

FirewallCreator currentCreator = &CreatePlatformObject;

template <typename Interface>
HRESULT Create(REFCLSID clsid, ComPtr<Interface>& object) {
    return currentCreator(clsid, __uuidof(Interface), reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
}

// COM for the read where the thread has none yet (a tip comes after a refresh, which set it up).
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

bool ReadText(INetFwRule* rule, HRESULT (STDMETHODCALLTYPE INetFwRule::*getter)(BSTR*), std::wstring& field) {
    ui::Bstr value;
    if (FAILED((rule->*getter)(value.put()))) return false;
    field = value.ToWide();
    return true;
}

bool ReadRule(INetFwRule* rule, FirewallRule& record) {
    LONG protocol = 0, profiles = 0;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    if (!ReadText(rule, &INetFwRule::get_Name, record.name) ||
        !ReadText(rule, &INetFwRule::get_ApplicationName, record.application) ||
        !ReadText(rule, &INetFwRule::get_LocalPorts, record.localPorts) ||
        !ReadText(rule, &INetFwRule::get_RemoteAddresses, record.remoteAddresses) || FAILED(rule->get_Protocol(&protocol)) ||
        FAILED(rule->get_Profiles(&profiles)) || FAILED(rule->get_Enabled(&enabled)) ||
        FAILED(rule->get_Direction(&direction)) || FAILED(rule->get_Action(&action)))
        return false;
    record.protocol = protocol;
    record.profiles = profiles;
    record.enabled = enabled != VARIANT_FALSE;
    record.inbound = direction == NET_FW_RULE_DIR_IN;
    record.allow = action == NET_FW_ACTION_ALLOW;
    return true;
}

// Every rule, or false at the first that cannot be enumerated or read.
bool ReadRules(INetFwPolicy2* policy, std::vector<FirewallRule>& rules) {
    ComPtr<INetFwRules> all;
    ComPtr<IUnknown> unknown;
    ComPtr<IEnumVARIANT> items;
    if (FAILED(policy->get_Rules(&all)) || !all || FAILED(all->get__NewEnum(&unknown)) || !unknown ||
        FAILED(unknown.As(&items)))
        return false;
    for (;;) {
        ui::Variant item;
        ULONG fetched = 0;
        const HRESULT next = items->Next(1, item.get(), &fetched);
        if (next == S_FALSE && fetched == 0) return true;
        ComPtr<INetFwRule> rule;
        IUnknown* object = item.Object();
        FirewallRule record{};
        if (next != S_OK || !object || FAILED(object->QueryInterface(IID_PPV_ARGS(&rule))) || !ReadRule(rule.Get(), record))
            return false;
        rules.push_back(std::move(record));
    }
}

bool ReadProfile(INetFwPolicy2* policy, long type, FirewallProfile& profile) {
    const auto which = static_cast<NET_FW_PROFILE_TYPE2>(type);
    VARIANT_BOOL enabled = VARIANT_FALSE, blockAll = VARIANT_FALSE;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    if (FAILED(policy->get_FirewallEnabled(which, &enabled)) || FAILED(policy->get_BlockAllInboundTraffic(which, &blockAll)) ||
        FAILED(policy->get_DefaultInboundAction(which, &action)))
        return false;
    profile = {type, enabled != VARIANT_FALSE, blockAll != VARIANT_FALSE, action == NET_FW_ACTION_ALLOW};
    return true;
}

bool DiscoveryOff(INetFwPolicy2* policy, long type) {
    ui::Bstr group;
    VARIANT_BOOL on = VARIANT_TRUE;
    return group.Assign(kNetworkDiscovery) && policy->IsRuleGroupEnabled(type, group.get(), &on) == S_OK && on == VARIANT_FALSE;
}

// Whether a product's rule categories (a number, or an array of them or of variants holding them)
// hold the firewall; none where they cannot be read.
std::optional<bool> HoldsFirewall(const VARIANT& categories) {
    if (categories.vt == VT_I4) return categories.lVal == kRuleCategoryFirewall;
    const VARTYPE element = categories.vt & VT_TYPEMASK;
    SAFEARRAY* array = (categories.vt & VT_ARRAY) ? categories.parray : nullptr;
    LONG low = 0, high = -1;
    if (!array || (element != VT_I4 && element != VT_VARIANT) || SafeArrayGetDim(array) != 1 ||
        FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high)))
        return std::nullopt;
    for (LONG i = low; i <= high; ++i) {
        ui::Variant value;
        if (element == VT_I4) value.get()->vt = VT_I4;
        void* slot = element == VT_I4 ? static_cast<void*>(&value.get()->lVal) : static_cast<void*>(value.get());
        if (FAILED(SafeArrayGetElement(array, &i, slot)) || FAILED(VariantChangeType(value.get(), value.get(), 0, VT_I4)))
            return std::nullopt;
        if (value.value().lVal == kRuleCategoryFirewall) return true;
    }
    return false;
}

// The name of a product that manages the firewall in Windows' place, empty for none; false where the
// products could not be read.
bool ReadManagingProduct(std::wstring& name) {
    ComPtr<INetFwProducts> products;
    const HRESULT created = Create(__uuidof(NetFwProducts), products);
    // Windows before 7 keeps no such list: no product manages the firewall through it there.
    if (created == REGDB_E_CLASSNOTREG || created == CLASS_E_CLASSNOTAVAILABLE) return true;
    LONG count = 0;
    if (FAILED(created) || !products || FAILED(products->get_Count(&count))) return false;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<INetFwProduct> product;
        ui::Variant categories;
        if (FAILED(products->Item(i, &product)) || !product || FAILED(product->get_RuleCategories(categories.get())))
            return false;
        const std::optional<bool> firewall = HoldsFirewall(categories.value());
        if (!firewall) return false;
        if (!*firewall) continue;
        ui::Bstr display;
        if (FAILED(product->get_DisplayName(display.put()))) return false;
        name = display.ToWide();
        if (name.empty()) name = L"Another security program";
        return true;
    }
    return true;
}

}  // namespace

FirewallCreator SetFirewallCreator(FirewallCreator creator) {
    const FirewallCreator previous = currentCreator;
    currentCreator = creator ? creator : &CreatePlatformObject;
    return previous;
}

FirewallPolicy ReadFirewallPolicy() {
    const ComScope com;
    FirewallPolicy policy;
    std::wstring product;
    if (!ReadManagingProduct(product)) return policy;
    if (!product.empty()) {
        policy.managingProduct = product;
        policy.readable = true;
        return policy;
    }
    ComPtr<INetFwPolicy2> firewall;
    LONG types = 0;
    if (FAILED(Create(__uuidof(NetFwPolicy2), firewall)) || !firewall || FAILED(firewall->get_CurrentProfileTypes(&types)))
        return policy;
    bool read = true;
    for (long type : kProfiles) {
        if (!(types & type)) continue;
        if (DiscoveryOff(firewall.Get(), type)) policy.discoveryOff.push_back(type);
        FirewallProfile profile{};
        read = read && ReadProfile(firewall.Get(), type, profile);
        policy.current.push_back(profile);
    }
    read = read && ReadRules(firewall.Get(), policy.rules);
    // Never a partial verdict: what was read before a failure is let go.
    if (!read) {
        policy.current.clear();
        policy.rules.clear();
    }
    policy.readable = read;
    return policy;
}

std::wstring ExpandedPath(const std::wstring& path) {
    std::wstring expanded(path.size() + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = ExpandEnvironmentStringsW(path.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (length == 0) return path;
        if (length <= expanded.size()) {
            expanded.resize(length - 1);  // without the terminator it counts
            return expanded;
        }
        expanded.assign(length, L'\0');
    }
    return path;
}

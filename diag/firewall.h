#pragma once
// Windows Firewall's policy read into the verdict's plain records (diag/firewall_verdict): another
// product that manages the firewall, the current profiles, network discovery on each of them and
// every rule. A tip reads it when it first needs it after a refresh (FirewallCache); nothing of it
// runs on the status tick or reads the router.
#include <windows.h>

#include <optional>
#include <string>

#include "diag/firewall_verdict.h"

// Makes the policy's objects (CLSID_NetFwProducts, CLSID_NetFwPolicy2). Production: CoCreateInstance;
// tests hand in their own.
using FirewallCreator = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
// Replaces the creator (nullptr restores the real one); returns the previous one.
FirewallCreator SetFirewallCreator(FirewallCreator creator);

// The whole policy; not readable, with nothing in it, where any value could not be read.
FirewallPolicy ReadFirewallPolicy();

// A rule's program path with its environment variables expanded, as the firewall expands it.
std::wstring ExpandedPath(const std::wstring& path);

// The policy as read at the first request since the last Forget (a refresh).
class FirewallCache {
public:
    const FirewallPolicy& Policy() {
        if (!policy_) policy_ = ReadFirewallPolicy();
        return *policy_;
    }
    void Forget() { policy_.reset(); }

private:
    std::optional<FirewallPolicy> policy_;
};

#pragma once
// Test support: COM fakes of Windows Firewall's policy, its rules and a rule, scripted with plain
// values. They are C (fake_firewall.c), so the many methods the reader never calls need no body.
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

struct FakeFirewallRule {
    const wchar_t* name;
    const wchar_t* application;
    const wchar_t* ports;
    const wchar_t* remote;
    long protocol;
    long profiles;
    int enabled, inbound, allow;
};

struct FakeFirewall {
    long profileTypes;
    HRESULT profileResult;         // each profile value's getter answers this
    long discoveryOff;             // the profiles whose network discovery group answers S_OK, off
    const struct FakeFirewallRule* rules;
    int ruleCount;
    int failEnumerationAt;         // Next fails instead of giving this rule (-1: never)
    int failReadAt;                // this rule's get_Protocol fails (-1: none)
};

// The policy over the script, which outlives it; one reference for the caller.
void* FakeFirewallPolicy(const struct FakeFirewall* script);

#ifdef __cplusplus
}
#endif

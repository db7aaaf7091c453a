#define CINTERFACE
#include <initguid.h>
#include <netfw.h>
#include <stdlib.h>

#include "tests/diag/fake_firewall.h"

// One layout for the four objects: a vtable, a reference count, the script and a rule's position.
typedef struct Fake {
    const void* vtbl;
    LONG refs;
    const IID* iid;
    const struct FakeFirewall* script;
    int at;
} Fake;

static void* NewFake(const void* vtbl, const IID* iid, const struct FakeFirewall* script, int at) {
    Fake* fake = calloc(1, sizeof *fake);
    *fake = (Fake){vtbl, 1, iid, script, at};
    return fake;
}

static HRESULT STDMETHODCALLTYPE QueryInterfaceOf(Fake* self, REFIID iid, void** out) {
    *out = NULL;
    if (!IsEqualIID(iid, &IID_IUnknown) && !IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, self->iid)) return E_NOINTERFACE;
    ++self->refs;
    *out = self;
    return S_OK;
}
static ULONG STDMETHODCALLTYPE AddRefOf(Fake* self) { return (ULONG)++self->refs; }
static ULONG STDMETHODCALLTYPE ReleaseOf(Fake* self) {
    const LONG left = --self->refs;
    if (left == 0) free(self);
    return (ULONG)left;
}
#define FAKE_UNKNOWN .QueryInterface = (void*)QueryInterfaceOf, .AddRef = (void*)AddRefOf, .Release = (void*)ReleaseOf

static const struct FakeFirewallRule* RuleOf(Fake* self) { return &self->script->rules[self->at]; }
static HRESULT Text(const wchar_t* text, BSTR* out) { return (*out = text ? SysAllocString(text) : NULL, S_OK); }
static HRESULT STDMETHODCALLTYPE Name(Fake* self, BSTR* out) { return Text(RuleOf(self)->name, out); }
static HRESULT STDMETHODCALLTYPE Application(Fake* self, BSTR* out) { return Text(RuleOf(self)->application, out); }
static HRESULT STDMETHODCALLTYPE Ports(Fake* self, BSTR* out) { return Text(RuleOf(self)->ports, out); }
static HRESULT STDMETHODCALLTYPE Remote(Fake* self, BSTR* out) { return Text(RuleOf(self)->remote, out); }
static HRESULT STDMETHODCALLTYPE Protocol(Fake* self, LONG* out) {
    *out = RuleOf(self)->protocol;
    return self->at == self->script->failReadAt ? E_ACCESSDENIED : S_OK;
}
static HRESULT STDMETHODCALLTYPE Profiles(Fake* self, LONG* out) { return (*out = RuleOf(self)->profiles, S_OK); }
static HRESULT STDMETHODCALLTYPE Enabled(Fake* self, VARIANT_BOOL* out) { return (*out = RuleOf(self)->enabled ? VARIANT_TRUE : VARIANT_FALSE, S_OK); }
static HRESULT STDMETHODCALLTYPE Direction(Fake* self, NET_FW_RULE_DIRECTION* out) {
    return (*out = RuleOf(self)->inbound ? NET_FW_RULE_DIR_IN : NET_FW_RULE_DIR_OUT, S_OK);
}
static HRESULT STDMETHODCALLTYPE Action(Fake* self, NET_FW_ACTION* out) {
    return (*out = RuleOf(self)->allow ? NET_FW_ACTION_ALLOW : NET_FW_ACTION_BLOCK, S_OK);
}
static const INetFwRuleVtbl kRule = {FAKE_UNKNOWN, .get_Name = (void*)Name, .get_ApplicationName = (void*)Application,
    .get_LocalPorts = (void*)Ports, .get_RemoteAddresses = (void*)Remote, .get_Protocol = (void*)Protocol,
    .get_Profiles = (void*)Profiles, .get_Enabled = (void*)Enabled, .get_Direction = (void*)Direction, .get_Action = (void*)Action};

static HRESULT STDMETHODCALLTYPE Next(Fake* self, ULONG count, VARIANT* items, ULONG* fetched) {
    (void)count;
    *fetched = 0;
    if (self->at == self->script->failEnumerationAt) return RPC_E_DISCONNECTED;
    if (self->at >= self->script->ruleCount) return S_FALSE;
    items->vt = VT_DISPATCH;
    items->pdispVal = NewFake(&kRule, &IID_INetFwRule, self->script, self->at++);
    *fetched = 1;
    return S_OK;
}
static const IEnumVARIANTVtbl kEnumerator = {FAKE_UNKNOWN, .Next = (void*)Next};

static HRESULT STDMETHODCALLTYPE NewEnum(Fake* self, IUnknown** out) {
    return (*out = NewFake(&kEnumerator, &IID_IEnumVARIANT, self->script, 0), S_OK);
}
static const INetFwRulesVtbl kRules = {FAKE_UNKNOWN, .get__NewEnum = (void*)NewEnum};

static HRESULT STDMETHODCALLTYPE ProfileTypes(Fake* self, LONG* out) { return (*out = self->script->profileTypes, S_OK); }
static HRESULT STDMETHODCALLTYPE ProfileFlag(Fake* self, NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL* out) {
    (void)profile;
    return (*out = VARIANT_TRUE, self->script->profileResult);
}
static HRESULT STDMETHODCALLTYPE NoBlockAll(Fake* self, NET_FW_PROFILE_TYPE2 profile, VARIANT_BOOL* out) {
    (void)profile;
    return (*out = VARIANT_FALSE, self->script->profileResult);
}
static HRESULT STDMETHODCALLTYPE InboundAction(Fake* self, NET_FW_PROFILE_TYPE2 profile, NET_FW_ACTION* out) {
    (void)profile;
    return (*out = NET_FW_ACTION_BLOCK, self->script->profileResult);
}
static HRESULT STDMETHODCALLTYPE GroupEnabled(Fake* self, LONG profiles, BSTR group, VARIANT_BOOL* out) {
    (void)group;
    return (*out = (profiles & self->script->discoveryOff) ? VARIANT_FALSE : VARIANT_TRUE, S_OK);
}
static HRESULT STDMETHODCALLTYPE Rules(Fake* self, INetFwRules** out) {
    return (*out = NewFake(&kRules, &IID_INetFwRules, self->script, 0), S_OK);
}
static const INetFwPolicy2Vtbl kPolicy = {FAKE_UNKNOWN, .get_CurrentProfileTypes = (void*)ProfileTypes,
    .get_FirewallEnabled = (void*)ProfileFlag, .get_BlockAllInboundTraffic = (void*)NoBlockAll,
    .get_DefaultInboundAction = (void*)InboundAction, .IsRuleGroupEnabled = (void*)GroupEnabled, .get_Rules = (void*)Rules};

void* FakeFirewallPolicy(const struct FakeFirewall* script) { return NewFake(&kPolicy, &IID_INetFwPolicy2, script, 0); }

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
#define RULE_VALUE(Name, Type, value, result) \
    static HRESULT STDMETHODCALLTYPE Name(Fake* self, Type* out) { return (*out = (value), (result)); }
#define RULE_TEXT(Name, field) RULE_VALUE(Name, BSTR, RuleOf(self)->field ? SysAllocString(RuleOf(self)->field) : NULL, S_OK)
RULE_TEXT(Name, name)
RULE_TEXT(Application, application)
RULE_TEXT(Ports, ports)
RULE_TEXT(Remote, remote)
RULE_VALUE(Protocol, LONG, RuleOf(self)->protocol, self->at == self->script->failReadAt ? E_ACCESSDENIED : S_OK)
RULE_VALUE(Profiles, LONG, RuleOf(self)->profiles, S_OK)
RULE_VALUE(Enabled, VARIANT_BOOL, RuleOf(self)->enabled ? VARIANT_TRUE : VARIANT_FALSE, S_OK)
RULE_VALUE(Direction, NET_FW_RULE_DIRECTION, RuleOf(self)->inbound ? NET_FW_RULE_DIR_IN : NET_FW_RULE_DIR_OUT, S_OK)
RULE_VALUE(Action, NET_FW_ACTION, RuleOf(self)->allow ? NET_FW_ACTION_ALLOW : NET_FW_ACTION_BLOCK, S_OK)
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
#define PROFILE_VALUE(Name, Type, value) \
    static HRESULT STDMETHODCALLTYPE Name(Fake* self, NET_FW_PROFILE_TYPE2 profile, Type* out) { \
        (void)profile; \
        return (*out = (value), self->script->profileResult); \
    }
PROFILE_VALUE(FirewallOn, VARIANT_BOOL, VARIANT_TRUE)
PROFILE_VALUE(NoBlockAll, VARIANT_BOOL, VARIANT_FALSE)
PROFILE_VALUE(InboundAction, NET_FW_ACTION, NET_FW_ACTION_BLOCK)
static HRESULT STDMETHODCALLTYPE GroupEnabled(Fake* self, LONG profiles, BSTR group, VARIANT_BOOL* out) {
    (void)group;
    return (*out = (profiles & self->script->discoveryOff) ? VARIANT_FALSE : VARIANT_TRUE, S_OK);
}
static HRESULT STDMETHODCALLTYPE Rules(Fake* self, INetFwRules** out) {
    return (*out = NewFake(&kRules, &IID_INetFwRules, self->script, 0), S_OK);
}
static const INetFwPolicy2Vtbl kPolicy = {FAKE_UNKNOWN, .get_CurrentProfileTypes = (void*)ProfileTypes,
    .get_FirewallEnabled = (void*)FirewallOn, .get_BlockAllInboundTraffic = (void*)NoBlockAll,
    .get_DefaultInboundAction = (void*)InboundAction, .IsRuleGroupEnabled = (void*)GroupEnabled, .get_Rules = (void*)Rules};

void* FakeFirewallPolicy(const struct FakeFirewall* script) { return NewFake(&kPolicy, &IID_INetFwPolicy2, script, 0); }

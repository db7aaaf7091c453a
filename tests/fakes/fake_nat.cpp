#include "tests/fakes/fake_nat.h"

#include <oleauto.h>

#include <new>
#include <sstream>
#include <utility>

#include <wrl/client.h>

#include "natcfg/portolan.h"

namespace fakes {
namespace {

void SetThreadErrorInfo(const std::wstring& description, const std::wstring& source) {
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(&create))) return;
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    create->SetSource(const_cast<LPOLESTR>(source.c_str()));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
}

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

// Answers a text getter: the caller owns the platform string it receives.
HRESULT AnswerText(Script& script, const std::wstring& value, BSTR* out) {
    const Reply reply = script.Take();
    if (!out) return E_POINTER;
    *out = nullptr;
    if (SUCCEEDED(reply.result) && !reply.nullOut) {
        *out = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
        if (!*out) return E_OUTOFMEMORY;
    }
    return reply.result;
}

template <class T>
HRESULT AnswerValue(Script& script, T value, T* out) {
    const Reply reply = script.Take();
    if (!out) return E_POINTER;
    if (SUCCEEDED(reply.result)) *out = value;
    return reply.result;
}

// Hands out an object through an out slot, as QueryInterface and the getters do.
template <class Interface>
HRESULT AnswerObject(const Reply& reply, Interface* object, Interface** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (SUCCEEDED(reply.result) && !reply.nullOut && object) {
        object->AddRef();
        *out = object;
    }
    return reply.result;
}

bool Is(REFIID iid, REFIID other) { return IsEqualIID(iid, other) != FALSE; }

NatInstaller* installer = nullptr;

HRESULT CreateInstalledNat(IUPnPNAT** nat) {
    return AnswerObject<IUPnPNAT>(installer->create.Take(), &installer->nat(), nat);
}

// Without a fake installed, creation fails instead of reaching the platform's
// UPnPNAT, whose router search would go out onto the machine's network.
HRESULT RefusePlatformNat(IUPnPNAT** nat) {
    if (nat) *nat = nullptr;
    return CO_E_CLASSSTRING;
}

const struct PlatformNatRefusal {
    PlatformNatRefusal() { SetNatCreator(&RefusePlatformNat); }
} platformNatRefusal;

}  // namespace

Reply Fail(HRESULT result) { return Reply{result, false, false, {}, {}}; }
Reply NullOut() { return Reply{S_OK, true, false, {}, {}}; }
Reply FailWithErrorInfo(HRESULT result, std::wstring description, std::wstring source) {
    return Reply{result, false, true, std::move(description), std::move(source)};
}
Reply ThrowOutOfMemory() {
    Reply reply;
    reply.throwOutOfMemory = true;
    return reply;
}

Reply Script::Take() {
    ++calls_;
    Reply reply = standing_;
    if (!queued_.empty()) {
        reply = std::move(queued_.front());
        queued_.pop_front();
    }
    if (reply.throwOutOfMemory) throw std::bad_alloc();
    if (reply.setErrorInfo) SetThreadErrorInfo(reply.errorDescription, reply.errorSource);
    return reply;
}

ULONG RefCounter::Drop() {
    ++releases_;
    if (refs_ == 0) {
        ++overReleases_;
        return 0;
    }
    return static_cast<ULONG>(--refs_);
}

// --- FakeMapping

HRESULT FakeMapping::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (Is(iid, __uuidof(IStaticPortMapping))) {
        return AnswerObject<IStaticPortMapping>(queryMapping.Take(), this,
                                                reinterpret_cast<IStaticPortMapping**>(object));
    }
    if (Is(iid, IID_IUnknown) || Is(iid, IID_IDispatch)) {
        AddRef();
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeMapping::get_ExternalIPAddress(BSTR* value) {
    return AnswerText(getters[ExternalIPAddress], values.externalIPAddress, value);
}
HRESULT FakeMapping::get_ExternalPort(long* value) {
    return AnswerValue(getters[ExternalPort], values.externalPort, value);
}
HRESULT FakeMapping::get_InternalPort(long* value) {
    return AnswerValue(getters[InternalPort], values.internalPort, value);
}
HRESULT FakeMapping::get_Protocol(BSTR* value) { return AnswerText(getters[Protocol], values.protocol, value); }
HRESULT FakeMapping::get_InternalClient(BSTR* value) {
    return AnswerText(getters[InternalClient], values.internalClient, value);
}
HRESULT FakeMapping::get_Enabled(VARIANT_BOOL* value) { return AnswerValue(getters[Enabled], values.enabled, value); }
HRESULT FakeMapping::get_Description(BSTR* value) {
    return AnswerText(getters[Description], values.description, value);
}

HRESULT FakeMapping::EditInternalClient(BSTR internalClient) {
    internalClientsSet.push_back(Text(internalClient));
    const Reply reply = editInternalClient.Take();
    if (reply.result == S_OK) values.internalClient = internalClientsSet.back();
    return reply.result;
}

HRESULT FakeMapping::Enable(VARIANT_BOOL state) {
    enableStates.push_back(state);
    const Reply reply = enable.Take();
    if (reply.result == S_OK) values.enabled = state ? VARIANT_TRUE : VARIANT_FALSE;
    return reply.result;
}

HRESULT FakeMapping::EditDescription(BSTR description) {
    const Reply reply = editDescription.Take();
    if (reply.result == S_OK) values.description = Text(description);
    return reply.result;
}

HRESULT FakeMapping::EditInternalPort(long internalPort) {
    internalPortsSet.push_back(internalPort);
    const Reply reply = editInternalPort.Take();
    if (reply.result == S_OK) values.internalPort = internalPort;
    return reply.result;
}

// --- FakeEnum

Element ObjectElement(FakeMapping& mapping, VARTYPE type) {
    return Element{S_OK, type, static_cast<IDispatch*>(&mapping), &mapping};
}

HRESULT FakeEnum::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (Is(iid, IID_IEnumVARIANT)) {
        return AnswerObject<IEnumVARIANT>(queryEnum.Take(), this, reinterpret_cast<IEnumVARIANT**>(object));
    }
    if (Is(iid, IID_IUnknown)) {
        AddRef();
        *object = static_cast<IUnknown*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeEnum::Next(ULONG count, VARIANT* slots, ULONG* fetched) {
    ++nextCalls;
    if (onNext) onNext();
    if (count != 1 || fetched) askedForFetchedCount = true;
    if (!slots) return E_POINTER;
    if (position_ >= elements.size()) return endResult;
    const Element& element = elements[position_++];
    if (element.result != S_OK) return element.result;
    V_VT(&slots[0]) = element.type;
    if (element.type == VT_DISPATCH || element.type == VT_UNKNOWN) {
        // The slot owns a reference, which VariantClear gives back.
        V_UNKNOWN(&slots[0]) = element.object;
        if (element.object) element.object->AddRef();
    } else {
        // Every bit of the slot set, so reading it as an object pointer would crash.
        slots[0].llVal = 7;
    }
    return S_OK;
}

HRESULT FakeEnum::Reset() {
    ++resets;
    position_ = 0;
    return S_OK;
}

// --- FakeCollection

HRESULT FakeCollection::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (Is(iid, IID_IUnknown) || Is(iid, IID_IDispatch) || Is(iid, __uuidof(IStaticPortMappingCollection))) {
        AddRef();
        *object = static_cast<IStaticPortMappingCollection*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeCollection::get__NewEnum(IUnknown** result) {
    return AnswerObject<IUnknown>(newEnum.Take(), static_cast<IUnknown*>(&enumerator), result);
}

HRESULT FakeCollection::Remove(long externalPort, BSTR protocol) {
    removeCalls.push_back(RemoveCall{externalPort, Text(protocol)});
    const HRESULT result = remove.Take().result;
    if (SUCCEEDED(result)) {
        auto& listed = enumerator.elements;
        for (auto it = listed.begin(); it != listed.end();) {
            const bool same = it->mapping && it->mapping->values.externalPort == externalPort &&
                              it->mapping->values.protocol == removeCalls.back().protocol;
            it = same ? listed.erase(it) : it + 1;
        }
    }
    return result;
}

HRESULT FakeCollection::Add(long externalPort, BSTR protocol, long internalPort, BSTR internalClient,
                            VARIANT_BOOL enabled, BSTR description, IStaticPortMapping** mapping) {
    addCalls.push_back(
        AddCall{externalPort, Text(protocol), internalPort, Text(internalClient), enabled, Text(description)});
    if (onAdd) onAdd();
    const Reply reply = add.Take();
    FakeMapping* result = addResult;
    if (SUCCEEDED(reply.result) && !reply.nullOut && !result) {
        const AddCall& call = addCalls.back();
        MappingValues values;
        values.externalPort = call.externalPort;
        values.protocol = call.protocol;
        values.internalPort = call.internalPort;
        values.internalClient = call.internalClient;
        values.enabled = call.enabled ? VARIANT_TRUE : VARIANT_FALSE;
        values.description = addedDescription.empty() ? call.description : addedDescription;
        created.push_back(std::make_unique<FakeMapping>(values));
        result = created.back().get();
    }
    if (SUCCEEDED(reply.result) && !reply.nullOut && result && keepsAdded) {
        enumerator.elements.push_back(ObjectElement(*result));
    }
    return AnswerObject<IStaticPortMapping>(reply, result, mapping);
}

HRESULT FakeCollection::get_Item(long externalPort, BSTR protocol, IStaticPortMapping** mapping) {
    const Reply reply = item.Take();
    if (FAILED(reply.result)) return AnswerObject<IStaticPortMapping>(reply, nullptr, mapping);
    for (const Element& element : enumerator.elements) {
        if (element.mapping && element.mapping->values.externalPort == externalPort &&
            element.mapping->values.protocol == Text(protocol)) {
            return AnswerObject<IStaticPortMapping>(reply, element.mapping, mapping);
        }
    }
    if (mapping) *mapping = nullptr;
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

void FakeCollection::List(const std::vector<FakeMapping*>& mappings) {
    enumerator.elements.clear();
    for (FakeMapping* mapping : mappings) enumerator.elements.push_back(ObjectElement(*mapping));
}

// --- FakeNat

HRESULT FakeNat::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (Is(iid, IID_IUnknown) || Is(iid, IID_IDispatch) || Is(iid, __uuidof(IUPnPNAT))) {
        AddRef();
        *object = static_cast<IUPnPNAT*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT FakeNat::get_StaticPortMappingCollection(IStaticPortMappingCollection** result) {
    if (onGetCollection) onGetCollection();
    return AnswerObject<IStaticPortMappingCollection>(getCollection.Take(), &collection, result);
}

NatInstaller::NatInstaller(FakeNat& nat) : nat_(nat), outer_(installer) {
    installer = this;
    previousCreator_ = SetNatCreator(&CreateInstalledNat);
}

NatInstaller::~NatInstaller() {
    if (installer == this) {
        SetNatCreator(previousCreator_);
        installer = outer_;
        return;
    }
    // Replaced out of order (a new router made before the old one goes): unlink this one.
    for (NatInstaller* inner = installer; inner; inner = inner->outer_) {
        if (inner->outer_ == this) {
            inner->outer_ = outer_;
            inner->previousCreator_ = previousCreator_;
            return;
        }
    }
}

// --- FakeRouter

MappingValues NumberedValues(size_t index) {
    MappingValues values;
    const std::wstring number = std::to_wstring(index);
    values.description = L"service " + number;
    values.externalPort = 8000 + static_cast<long>(index);
    values.internalPort = 80 + static_cast<long>(index);
    values.internalClient = L"192.0.2." + std::to_wstring(10 + index);
    values.protocol = index % 2 ? L"UDP" : L"TCP";
    values.enabled = index % 2 ? VARIANT_FALSE : VARIANT_TRUE;
    return values;
}

FakeRouter::FakeRouter(size_t count) {
    for (size_t i = 0; i < count; ++i) AddListed(NumberedValues(i));
}

FakeMapping& FakeRouter::AddListed(MappingValues values) {
    mappings_.push_back(std::make_unique<FakeMapping>(std::move(values)));
    nat.collection.enumerator.elements.push_back(ObjectElement(*mappings_.back()));
    return *mappings_.back();
}

namespace {
bool Clean(const RefCounter& counter) { return counter.Refs() == 0 && counter.OverReleases() == 0; }
}  // namespace

bool FakeRouter::Balanced() const {
    bool balanced = Clean(nat.counter) && Clean(nat.collection.counter) && Clean(nat.collection.enumerator.counter);
    for (const auto& mapping : mappings_) balanced = balanced && Clean(mapping->counter);
    for (const auto& mapping : nat.collection.created) balanced = balanced && Clean(mapping->counter);
    return balanced;
}

std::string FakeRouter::Counts() const {
    std::ostringstream text;
    const auto put = [&text](const char* name, const RefCounter& counter) {
        text << name << ' ' << counter.Refs() << " (over-released " << counter.OverReleases() << ") ";
    };
    put("nat", nat.counter);
    put("collection", nat.collection.counter);
    put("enumerator", nat.collection.enumerator.counter);
    for (const auto& mapping : mappings_) put("mapping", mapping->counter);
    for (const auto& mapping : nat.collection.created) put("created", mapping->counter);
    return text.str();
}

}  // namespace fakes

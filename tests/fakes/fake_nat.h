#pragma once
// Scriptable stand-ins for the platform's NAT objects: the NAT object, the mapping
// collection, its enumerator and the mapping objects. Each call can be told what to
// answer (result code, a null out value, error information set on the thread, or a
// thrown std::bad_alloc), and every object counts AddRef and Release. The test owns
// the objects: a count that drops to zero deletes nothing, so balance can be checked
// after the code under test has let go.
//
// Typical use (link gk_test_fakes):
//   fakes::FakeRouter router(3);                 // NAT, collection and 3 listed mappings
//   fakes::MessageBoxRecorder boxes;             // every box recorded, answered IDOK
//   auto configurator = std::make_unique<Portolan>();   // creates router.nat while it lives
//   configurator->RefreshMappings();
//   router.mapping(1).editInternalPort.Push(fakes::Fail(E_ACCESSDENIED));   // next call only
//   router.nat.collection.add.SetStanding(fakes::Fail(BUSY_RESULT));        // every call
//   ... router.nat.collection.addCalls / router.mapping(0).enableStates hold the arguments ...
//   configurator.reset();
//   EXPECT_TRUE(router.Balanced());              // every reference handed out came back
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "natcfg/natupnp.h"
#include "natcfg/portolan.h"

namespace fakes {

// One scripted answer of a platform call.
struct Reply {
    HRESULT result = S_OK;
    bool nullOut = false;             // succeed (or fail) leaving the out value empty
    bool setErrorInfo = false;        // SetErrorInfo with the texts below before answering
    std::wstring errorDescription;
    std::wstring errorSource;
    bool throwOutOfMemory = false;    // throw std::bad_alloc instead of answering
};

Reply Fail(HRESULT result);
Reply NullOut();
Reply FailWithErrorInfo(HRESULT result, std::wstring description, std::wstring source);
Reply ThrowOutOfMemory();

// The answers of one method: queued replies first, then the standing one.
class Script {
public:
    void Push(Reply reply) { queued_.push_back(std::move(reply)); }
    void SetStanding(Reply reply) { standing_ = std::move(reply); }
    // The next answer, with its error information already set on the thread.
    Reply Take();
    int Calls() const { return calls_; }

private:
    std::deque<Reply> queued_;
    Reply standing_;
    int calls_ = 0;
};

// AddRef/Release counting shared by the fakes.
class RefCounter {
public:
    ULONG Add() { ++addRefs_; return static_cast<ULONG>(++refs_); }
    ULONG Drop();
    // References handed out and not yet released.
    long Refs() const { return refs_; }
    int AddRefCalls() const { return addRefs_; }
    int ReleaseCalls() const { return releases_; }
    // Releases past zero: always a fault of the caller.
    int OverReleases() const { return overReleases_; }

private:
    long refs_ = 0;
    int addRefs_ = 0;
    int releases_ = 0;
    int overReleases_ = 0;
};

// IDispatch methods nobody calls here.
#define GK_FAKE_NO_DISPATCH                                                                       \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }              \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; } \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {    \
        return E_NOTIMPL;                                                                         \
    }                                                                                             \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { \
        return E_NOTIMPL;                                                                         \
    }

// A mapping's properties as the fake router reports them.
struct MappingValues {
    std::wstring externalIPAddress = L"203.0.113.7";
    std::wstring description = L"web";
    VARIANT_BOOL enabled = VARIANT_TRUE;
    long internalPort = 80;
    long externalPort = 8080;
    std::wstring protocol = L"TCP";
    std::wstring internalClient = L"192.0.2.10";
};

class FakeMapping : public IStaticPortMapping {
public:
    enum Property { Description, InternalClient, ExternalIPAddress, Protocol, Enabled, ExternalPort, InternalPort };

    explicit FakeMapping(MappingValues values = {}) : values(std::move(values)) {}
    FakeMapping(const FakeMapping&) = delete;
    FakeMapping& operator=(const FakeMapping&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return counter.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return counter.Drop(); }
    GK_FAKE_NO_DISPATCH

    HRESULT STDMETHODCALLTYPE get_ExternalIPAddress(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_ExternalPort(long* value) override;
    HRESULT STDMETHODCALLTYPE get_InternalPort(long* value) override;
    HRESULT STDMETHODCALLTYPE get_Protocol(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_InternalClient(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE get_Description(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE EditInternalClient(BSTR internalClient) override;
    HRESULT STDMETHODCALLTYPE Enable(VARIANT_BOOL enabled) override;
    HRESULT STDMETHODCALLTYPE EditDescription(BSTR description) override;
    HRESULT STDMETHODCALLTYPE EditInternalPort(long internalPort) override;

    MappingValues values;
    RefCounter counter;
    // QueryInterface for IStaticPortMapping: a failure makes an element that is no mapping.
    Script queryMapping;
    std::array<Script, 7> getters;  // indexed by Property
    Script editInternalClient, enable, editDescription, editInternalPort;
    // Arguments of the change calls, in order; a successful change also updates values.
    std::vector<std::wstring> internalClientsSet;
    std::vector<VARIANT_BOOL> enableStates;
    std::vector<long> internalPortsSet;
};

// One step of the enumerator: what Next answers and what it puts into the VARIANT.
struct Element {
    HRESULT result = S_OK;
    VARTYPE type = VT_DISPATCH;
    IUnknown* object = nullptr;  // for VT_DISPATCH and VT_UNKNOWN; other types carry the number 7
    FakeMapping* mapping = nullptr;  // the fake behind object, when it is one
};
Element ObjectElement(FakeMapping& mapping, VARTYPE type = VT_DISPATCH);

class FakeEnum : public IEnumVARIANT {
public:
    FakeEnum() = default;
    FakeEnum(const FakeEnum&) = delete;
    FakeEnum& operator=(const FakeEnum&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return counter.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return counter.Drop(); }
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* elements, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT**) override { return E_NOTIMPL; }

    // The elements delivered after each Reset; past them Next answers endResult.
    std::vector<Element> elements;
    HRESULT endResult = S_FALSE;
    RefCounter counter;
    Script queryEnum;  // QueryInterface for IEnumVARIANT
    int resets = 0;
    int nextCalls = 0;
    bool askedForFetchedCount = false;  // a Next with a fetched pointer or more than one element
    std::function<void()> onNext;       // runs at each Next, while the list is being read

private:
    size_t position_ = 0;
};

struct AddCall {
    long externalPort;
    std::wstring protocol;
    long internalPort;
    std::wstring internalClient;
    VARIANT_BOOL enabled;
    std::wstring description;
};

struct RemoveCall {
    long externalPort;
    std::wstring protocol;
};

class FakeCollection : public IStaticPortMappingCollection {
public:
    FakeCollection() = default;
    FakeCollection(const FakeCollection&) = delete;
    FakeCollection& operator=(const FakeCollection&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return counter.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return counter.Drop(); }
    GK_FAKE_NO_DISPATCH

    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** enumerator) override;
    // Finds a listed mapping by external port and protocol, as Wine does: ERROR_FILE_NOT_FOUND for none.
    HRESULT STDMETHODCALLTYPE get_Item(long externalPort, BSTR protocol, IStaticPortMapping** mapping) override;
    HRESULT STDMETHODCALLTYPE get_Count(long*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Remove(long externalPort, BSTR protocol) override;
    HRESULT STDMETHODCALLTYPE Add(long externalPort, BSTR protocol, long internalPort, BSTR internalClient,
                                  VARIANT_BOOL enabled, BSTR description, IStaticPortMapping** mapping) override;

    // Fills the enumerator with one element per mapping, in order.
    void List(const std::vector<FakeMapping*>& mappings);

    FakeEnum enumerator;
    RefCounter counter;
    Script newEnum, add, remove, item;
    // What a successful Add hands back; when unset, a mapping made from the call's
    // arguments (kept in created, with addedDescription in place of the one passed when set).
    // A successful Add lists the new mapping at the end, a successful Remove takes every
    // listed mapping with that external port and protocol out, as a router would.
    FakeMapping* addResult = nullptr;
    std::wstring addedDescription;
    // false: a successful Add lists nothing, as a router with a full table that still says yes.
    bool keepsAdded = true;
    std::vector<std::unique_ptr<FakeMapping>> created;
    std::vector<AddCall> addCalls;
    std::vector<RemoveCall> removeCalls;
    // Runs as each Add is asked, before it answers.
    std::function<void()> onAdd;
};

class FakeNat : public IUPnPNAT {
public:
    FakeNat() = default;
    FakeNat(const FakeNat&) = delete;
    FakeNat& operator=(const FakeNat&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return counter.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return counter.Drop(); }
    GK_FAKE_NO_DISPATCH

    HRESULT STDMETHODCALLTYPE get_StaticPortMappingCollection(IStaticPortMappingCollection** result) override;
    HRESULT STDMETHODCALLTYPE get_DynamicPortMappingCollection(IDynamicPortMappingCollection**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_NATEventManager(INATEventManager**) override { return E_NOTIMPL; }

    FakeCollection collection;
    RefCounter counter;
    Script getCollection;
    // Runs as each collection is asked for, before it is handed out.
    std::function<void()> onGetCollection;
};

// Makes the configurator create this NAT object while it lives (create scripts the
// creation itself); installers nest, and the one before comes back on destruction.
// Linking these fakes also makes creation fail (CO_E_CLASSSTRING) whenever no fake is
// installed, so no test reaches the platform's UPnPNAT and its router search by accident;
// a test that means to use the platform's calls SetNatCreator(nullptr) first.
class NatInstaller {
public:
    explicit NatInstaller(FakeNat& nat);
    ~NatInstaller();
    NatInstaller(const NatInstaller&) = delete;
    NatInstaller& operator=(const NatInstaller&) = delete;

    FakeNat& nat() { return nat_; }
    Script create;

private:
    FakeNat& nat_;
    NatInstaller* outer_;
    NatCreator previousCreator_ = nullptr;
};

// A whole router in one line: the NAT object with its collection listing count
// mappings (values distinct per index: external port 8000 + i, client 192.0.2.(10 + i)),
// installed as the NAT object the configurator creates while the router lives.
class FakeRouter {
public:
    explicit FakeRouter(size_t count = 0);
    FakeRouter(const FakeRouter&) = delete;
    FakeRouter& operator=(const FakeRouter&) = delete;

    // Adds one more listed mapping and returns it.
    FakeMapping& AddListed(MappingValues values);
    FakeMapping& mapping(size_t index) { return *mappings_.at(index); }
    FakeCollection& collection() { return nat.collection; }
    // Every object (NAT, collection, enumerator, listed and created mappings) holds no
    // reference from outside and none was released once too often.
    bool Balanced() const;
    // The references held from outside on each object, for a failure message.
    std::string Counts() const;

    FakeNat nat;
    NatInstaller installer{nat};

private:
    std::vector<std::unique_ptr<FakeMapping>> mappings_;
};

// The values the router in FakeRouter gives its mapping at index.
MappingValues NumberedValues(size_t index);

}  // namespace fakes

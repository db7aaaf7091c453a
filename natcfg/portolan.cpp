#include "natcfg/portolan.h"

#include "natcfg/com_values.h"
#include "natcfg/error_guard.h"
#include "ui/text.h"

using Microsoft::WRL::ComPtr;
using natcfg::RunGuarded;
using natcfg::ShowBox;

namespace {

HRESULT CreatePlatformNat(IUPnPNAT** nat) {
    return CoCreateInstance(CLSID_UPnPNAT, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IUPnPNAT),
                            reinterpret_cast<void**>(nat));
}

NatCreator currentNatCreator = &CreatePlatformNat;

constexpr char kErrorCaption[] = "ERROR!";
constexpr char kEnumerationCaption[] = "Just for Tobrin";

using TextGetter = HRESULT (STDMETHODCALLTYPE IStaticPortMapping::*)(BSTR*);
using NumberGetter = HRESULT (STDMETHODCALLTYPE IStaticPortMapping::*)(long*);

// A property read that fails leaves the field at its default.
void ReadText(IStaticPortMapping* mapping, TextGetter getter, std::wstring& field) {
    natcfg::Bstr value;
    if (SUCCEEDED((mapping->*getter)(value.put()))) field = value.ToWide();
}

void ReadNumber(IStaticPortMapping* mapping, NumberGetter getter, int32_t& field) {
    long value = 0;
    if (SUCCEEDED((mapping->*getter)(&value))) field = static_cast<int32_t>(value);
}

PortMapping ReadMapping(IStaticPortMapping* mapping) {
    PortMapping record;
    ReadText(mapping, &IStaticPortMapping::get_Description, record.description);
    ReadText(mapping, &IStaticPortMapping::get_InternalClient, record.internalClient);
    ReadText(mapping, &IStaticPortMapping::get_ExternalIPAddress, record.externalIPAddress);
    ReadText(mapping, &IStaticPortMapping::get_Protocol, record.protocol);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    if (SUCCEEDED(mapping->get_Enabled(&enabled))) record.enabled = enabled;  // widened with its sign: -1
    ReadNumber(mapping, &IStaticPortMapping::get_ExternalPort, record.externalPort);
    ReadNumber(mapping, &IStaticPortMapping::get_InternalPort, record.internalPort);
    return record;
}

}  // namespace

Portolan* sharedConfigurator = nullptr;

NatCreator SetNatCreator(NatCreator creator) {
    const NatCreator previous = currentNatCreator;
    currentNatCreator = creator ? creator : &CreatePlatformNat;
    return previous;
}

Portolan::Portolan() {
    RunGuarded(*this, "Portolan::Portolan", "COM ERROR!", false, [this] {
        Connect();
        return true;
    });
}

void Portolan::Connect() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comReady = (init == S_OK || init == S_FALSE) ? 1 : 0;
    if (!comReady) {
        ShowBox("Portolan::CoInitializeEx failed", kErrorCaption, MB_ICONERROR);
        return;
    }
    HRESULT result = currentNatCreator(nat.ReleaseAndGetAddressOf());
    if (FAILED(result)) {
        nat.Reset();
        natcfg::RaiseComError(result);
    }
    if (!nat) {
        ShowBox("Portolan::CoCreateInstance returned a NULL ptr", kErrorCaption, MB_ICONERROR);
        return;
    }
    result = nat->get_StaticPortMappingCollection(collection.ReleaseAndGetAddressOf());
    if (FAILED(result)) {
        collection.Reset();
        natcfg::RaiseComError(result);
    }
    if (!collection) {
        ShowBox("Portolan::get_StaticPortMappingCollection returned a NULL ptr", kErrorCaption, MB_ICONERROR);
    }
}

bool Portolan::IsOpen() const { return nat && collection; }

void Portolan::ReleaseRead() {
    // The platform keeps the table it read while any object taken from it is held, so a
    // collection taken meanwhile would show that old table again.
    mappingObjects.clear();
    mappings.clear();
    collection.Reset();
}

bool Portolan::Reconnect() {
    ReleaseRead();
    if (!comReady) return false;
    if (!nat && FAILED(currentNatCreator(nat.ReleaseAndGetAddressOf()))) nat.Reset();
    if (!nat) return false;
    if (FAILED(nat->get_StaticPortMappingCollection(collection.ReleaseAndGetAddressOf()))) collection.Reset();
    return IsOpen();
}

void Portolan::Notify(int32_t code) const {
    if (progressCallback) progressCallback(code);
}

int32_t Portolan::TraverseCollection(IStaticPortMappingCollection* portMappings) {
    if (!IsOpen() || !portMappings) return -1;
    return RunGuarded(*this, "TraverseCollection", "COM ERROR!", int32_t{-1},
                      [&] { return Enumerate(portMappings); });
}

int32_t Portolan::Enumerate(IStaticPortMappingCollection* portMappings) {
    ComPtr<IUnknown> unknown;
    HRESULT result = portMappings->get__NewEnum(&unknown);
    Notify(PROGRESS_BEGIN);
    if (FAILED(result)) {
        Notify(PROGRESS_END);
        return 0;
    }
    if (!unknown) {
        ShowBox("Null pUnk ptr.", kEnumerationCaption, MB_ICONERROR);
        return -1;
    }
    ComPtr<IEnumVARIANT> enumerator;
    result = unknown->QueryInterface(IID_PPV_ARGS(&enumerator));
    if (FAILED(result)) {
        enumerator.Reset();
        unknown.Reset();
        Notify(PROGRESS_END);
        return 0;
    }
    if (!enumerator) {
        ShowBox("Null pEnumVar ptr.", kEnumerationCaption, MB_ICONERROR);
        return -1;
    }
    natcfg::ScopedVariant element;
    enumerator->Reset();
    mappings.clear();
    mappingObjects.clear();
    while (enumerator->Next(1, element.get(), nullptr) == S_OK) {
        if (element.HoldsObjectType() && !element.Object()) {
            ShowBox("Null pdispDevice ptr.", kEnumerationCaption, MB_ICONERROR);
            return -1;
        }
        AppendElement(element.Object());
        element.Clear();
    }
    enumerator.Reset();
    unknown.Reset();
    Notify(PROGRESS_END);
    return 0;
}

void Portolan::AppendElement(IUnknown* element) {
    // Elements that are not static port mappings, objects or not, are skipped.
    if (!element) return;
    ComPtr<IStaticPortMapping> mapping;
    if (FAILED(element->QueryInterface(IID_PPV_ARGS(&mapping))) || !mapping) return;
    AppendMapping(mapping.Get());
    Notify(static_cast<int32_t>(MappingCount()) - 1);
}

bool Portolan::RefreshMappings() { return IsOpen() && TraverseCollection(collection.Get()) == 0; }

void Portolan::AppendMapping(IStaticPortMapping* mapping) {
    if (!mapping) return;
    PortMapping record = ReadMapping(mapping);
    // Both lists grow together or not at all.
    mappingObjects.reserve(mappingObjects.size() + 1);
    mappings.reserve(mappings.size() + 1);
    mappingObjects.emplace_back(mapping);
    mappings.push_back(std::move(record));
}

uint32_t Portolan::MappingCount() const { return static_cast<uint32_t>(mappings.size()); }

const PortMapping& Portolan::GetMapping(uint32_t index) {
    if (index < MappingCount()) sharedResult_ = mappings[index];
    return sharedResult_;
}

bool Portolan::MappingExists(const std::string& protocolText, int32_t externalPort,
                             const std::string& internalClientText) const {
    return Lists(ui::AnsiToWide(protocolText), externalPort, ui::AnsiToWide(internalClientText));
}

bool Portolan::Lists(const std::wstring& protocol, int32_t externalPort, const std::wstring& internalClient) const {
    for (const PortMapping& mapping : mappings) {
        if (mapping.Matches(protocol, externalPort, internalClient)) return true;
    }
    return false;
}

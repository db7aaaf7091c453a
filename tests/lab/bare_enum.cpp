// The least a program can do to list the router's mappings through UPnPNAT:
// create it, get the collection, read each mapping's seven properties. No window.
//   bare_enum             lists the router's mappings
//   bare_enum add FILE    first adds the mappings of FILE (lines PROTO<TAB>EPORT<TAB>CLIENT<TAB>IPORT<TAB>DESC,
//                         as scripts/lab lists them), then lists the router's mappings from a new collection
// Prints one line per mapping, tab-separated, in the enumerator's order:
//   MAPPING <description> <internal client> <external address> <protocol> <enabled> <external port> <internal port>
// and on stderr the time taken from CoCreateInstance to the last property read.
#include <windows.h>
#include <wrl/client.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "natcfg/natupnp.h"

using Microsoft::WRL::ComPtr;

namespace {

// Owns one BSTR, an out-value or one to pass.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(SysAllocString(text.c_str())) {}
    BSTR get() const { return value_; }
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* put() {
        SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::string Utf8() const {
        const int length = static_cast<int>(SysStringLen(value_));
        if (length == 0) return {};
        const int size = WideCharToMultiByte(CP_UTF8, 0, value_, length, nullptr, 0, nullptr, nullptr);
        std::string text(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, value_, length, text.data(), size, nullptr, nullptr);
        return text;
    }

private:
    BSTR value_ = nullptr;
};

// A property that could not be read shows as "!" followed by the result code.
std::string Failed(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "!%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Text(IStaticPortMapping* mapping, HRESULT (STDMETHODCALLTYPE IStaticPortMapping::*getter)(BSTR*)) {
    Bstr value;
    const HRESULT hr = (mapping->*getter)(value.put());
    return FAILED(hr) ? Failed(hr) : value.Utf8();
}

std::string Number(IStaticPortMapping* mapping, HRESULT (STDMETHODCALLTYPE IStaticPortMapping::*getter)(long*)) {
    long value = 0;
    const HRESULT hr = (mapping->*getter)(&value);
    return FAILED(hr) ? Failed(hr) : std::to_string(value);
}

int Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "%s failed: 0x%08lX\n", what, static_cast<unsigned long>(hr));
    return 1;
}

// The platform Adds of the file's mappings (ASCII texts), enabled, in its order, each checked with Item; false at the first refusal.
bool AddAll(IStaticPortMappingCollection* collection, const char* path) {
    std::ifstream file(path);
    std::string protocol, client, description;
    long externalPort = 0, internalPort = 0;
    while (file >> protocol >> externalPort >> client >> internalPort && std::getline(file >> std::ws, description)) {
        const auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
        const Bstr protocolText(wide(protocol)), clientText(wide(client)), descriptionText(wide(description));
        ComPtr<IStaticPortMapping> added;
        const HRESULT hr = collection->Add(externalPort, protocolText.get(), internalPort, clientText.get(),
                                           VARIANT_TRUE, descriptionText.get(), &added);
        if (FAILED(hr)) return Fail("Add", hr) == 0;
        ComPtr<IStaticPortMapping> held;
        const HRESULT item = collection->get_Item(externalPort, protocolText.get(), &held);
        if (FAILED(item) || !held) return Fail("Item after the Add", item) == 0;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // plain \n line ends for the shell
    _setmode(_fileno(stderr), _O_BINARY);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return Fail("CoInitializeEx", E_FAIL);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    ComPtr<IUPnPNAT> nat;
    HRESULT hr = CoCreateInstance(CLSID_UPnPNAT, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&nat));
    if (FAILED(hr) || !nat) return Fail("CoCreateInstance", hr);
    ComPtr<IStaticPortMappingCollection> collection;
    hr = nat->get_StaticPortMappingCollection(&collection);
    if (FAILED(hr)) return Fail("get_StaticPortMappingCollection", hr);
    if (!collection) {
        std::puts("NOCOLLECTION");
        return 3;
    }
    if (argc == 3 && std::string(argv[1]) == "add") {
        // The collection holds what its Adds added: it is enumerated as it is, without a second read.
        if (!AddAll(collection.Get(), argv[2])) return 1;
    }
    ComPtr<IUnknown> unknown;
    hr = collection->get__NewEnum(&unknown);
    if (FAILED(hr) || !unknown) return Fail("get__NewEnum", hr);
    ComPtr<IEnumVARIANT> enumerator;
    hr = unknown.As(&enumerator);
    if (FAILED(hr)) return Fail("IEnumVARIANT", hr);

    std::string out;
    int count = 0;
    for (;;) {
        VARIANT item;
        VariantInit(&item);
        if (enumerator->Next(1, &item, nullptr) != S_OK) break;
        ComPtr<IStaticPortMapping> mapping;
        if (item.vt == VT_DISPATCH && item.pdispVal) item.pdispVal->QueryInterface(IID_PPV_ARGS(&mapping));
        VariantClear(&item);
        if (!mapping) continue;
        VARIANT_BOOL enabled = VARIANT_FALSE;
        const HRESULT enabledHr = mapping->get_Enabled(&enabled);
        out += "MAPPING\t" + Text(mapping.Get(), &IStaticPortMapping::get_Description) + "\t" +
               Text(mapping.Get(), &IStaticPortMapping::get_InternalClient) + "\t" +
               Text(mapping.Get(), &IStaticPortMapping::get_ExternalIPAddress) + "\t" +
               Text(mapping.Get(), &IStaticPortMapping::get_Protocol) + "\t" +
               (FAILED(enabledHr) ? Failed(enabledHr) : std::to_string(enabled)) + "\t" +
               Number(mapping.Get(), &IStaticPortMapping::get_ExternalPort) + "\t" +
               Number(mapping.Get(), &IStaticPortMapping::get_InternalPort) + "\n";
        ++count;
    }
    QueryPerformanceCounter(&end);
    std::fputs(out.c_str(), stdout);
    std::fprintf(stderr, "mappings %d elapsed_ms %.1f\n", count,
                 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return 0;
}

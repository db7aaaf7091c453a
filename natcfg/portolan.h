#pragma once
// The configurator: the program's one connection to the router's static port
// mappings through the platform's UPnPNAT object, with the mappings it last read
// kept in two parallel lists addressed by one zero-based index.
#include <windows.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "natcfg/natupnp.h"
#include "natcfg/port_mapping.h"

// Progress of an enumeration: PROGRESS_BEGIN, then each appended record's index, then PROGRESS_END.
using ProgressCallback = void (*)(int32_t code);
constexpr int32_t PROGRESS_BEGIN = -10;
constexpr int32_t PROGRESS_END = -11;

// ERROR_BUSY as an HRESULT: the mapping is in use.
constexpr HRESULT BUSY_RESULT = static_cast<HRESULT>(0x800700AA);

// A COM error as the configurator's error guard catches it.
struct ComError {
    HRESULT code;
    Microsoft::WRL::ComPtr<IErrorInfo> errorInfo;  // may be empty
};

// What became of an add, for a caller that reports it itself (no box is shown for it).
struct AddOutcome {
    enum Kind {
        Added,          // the router holds it; one object and record appended
        AlreadyListed,  // a listed record matches: the platform was not asked
        Busy,           // BUSY_RESULT: the mapping is in use
        Refused,        // a failure code from the platform (code, and the composed text in lastError)
        NoObject,       // success without a mapping object
        NotKept,        // accepted, but the router holds no such mapping
        Unexpected,     // any other failure (out of memory)
        NotOpen,        // no connection
    };
    Kind kind;
    HRESULT code = S_OK;  // the platform's answer to the Add, where it was asked

    bool Succeeded() const { return kind == Added; }
};

// The system's text for a code (without its closing line break), or what stands in for a code
// the system has no text for.
std::wstring ErrorCodeText(HRESULT code);

// How the NAT object is made. Production: CoCreateInstance of UPnPNAT; tests hand in their own.
using NatCreator = HRESULT (*)(IUPnPNAT** nat);
// Replaces the creator (nullptr restores the real one); returns the previous one.
NatCreator SetNatCreator(NatCreator creator);

class Portolan {
public:
    // Opens COM, the NAT object and its collection; never fails as a whole.
    Portolan();
    Portolan(const Portolan&) = delete;
    Portolan& operator=(const Portolan&) = delete;

    // Lets go of the last read (its mapping objects, their records and the collection) and
    // asks the NAT object, made anew where there was none, for a new collection, which reads
    // the router as it is now. Quiet: a failure leaves the connection closed; true when open.
    bool Reconnect();

    // 0 on success, -1 on failure.
    int32_t TraverseCollection(IStaticPortMappingCollection* portMappings);
    bool RefreshMappings();
    void AppendMapping(IStaticPortMapping* mapping);

    uint32_t MappingCount() const;
    // A copy of the record in one result record shared by all callers; an index
    // not below MappingCount leaves the result record as it was.
    const PortMapping& GetMapping(uint32_t index);
    bool MappingExists(const std::string& protocolText, int32_t externalPort,
                       const std::string& internalClientText) const;

    // The Add command's add: one box for each outcome but success.
    bool AddMapping(const PortMapping& mapping);
    // The same add without any box: the outcome for the caller to report.
    AddOutcome TryAddMapping(const PortMapping& mapping);
    bool DeleteMapping(uint32_t index);
    bool EditInternalClient(uint32_t index, const std::wstring& internalClient);
    bool EditInternalPort(uint32_t index, int32_t internalPort);
    bool Enable(uint32_t index, int32_t state);

    // Composes the error's text into lastError.
    void FormatComError(const ComError& error);

    int32_t comReady = 0;
    std::wstring lastError;
    Microsoft::WRL::ComPtr<IUPnPNAT> nat;
    Microsoft::WRL::ComPtr<IStaticPortMappingCollection> collection;
    std::vector<Microsoft::WRL::ComPtr<IStaticPortMapping>> mappingObjects;
    std::vector<PortMapping> mappings;
    ProgressCallback progressCallback = nullptr;

private:
    void Connect();
    bool IsOpen() const;
    AddOutcome::Kind AddToRouter(const PortMapping& mapping, HRESULT& code);
    bool Lists(const std::wstring& protocol, int32_t externalPort, const std::wstring& internalClient) const;
    void ReleaseRead();
    // Whether the router holds a mapping with this external port and protocol, as far as it tells.
    bool RouterHolds(int32_t externalPort, BSTR protocol) const;
    void Notify(int32_t code) const;
    int32_t Enumerate(IStaticPortMappingCollection* portMappings);
    void AppendElement(IUnknown* element);

    PortMapping sharedResult_;
};

// The one configurator of the process: made by the first refresh and kept for the whole run.
extern Portolan* sharedConfigurator;

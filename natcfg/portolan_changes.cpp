#include "natcfg/com_values.h"
#include "natcfg/error_guard.h"
#include "natcfg/portolan.h"
#include "ui/text.h"

using Microsoft::WRL::ComPtr;
using natcfg::Bstr;
using natcfg::RunGuarded;
using natcfg::ShowBox;

namespace {

constexpr char kLookCloser[] = "Look Closer!";
constexpr char kNotKept[] =
    "The router accepted the mapping but holds no such mapping: its table may be full, or it refuses "
    "mappings for that address.";
// The collection's answer to Item for a mapping the router does not hold.
const HRESULT kNoSuchMapping = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

void ShowInUseBox() { ShowBox("The  mapping is already in use!", kLookCloser, MB_OK); }

// The platform boolean is the low 16 bits of the value, so 1 stays 1 and is never widened to -1.
VARIANT_BOOL PlatformBoolean(int32_t value) { return static_cast<VARIANT_BOOL>(static_cast<uint16_t>(value)); }

}  // namespace

bool Portolan::AddMapping(const PortMapping& mapping) {
    if (!IsOpen()) return false;
    return RunGuarded(*this, "AddMapping", "ERROR!", false, [&] {
        HRESULT code = S_OK;
        switch (AddToRouter(mapping, code)) {
        case AddOutcome::Added:
            return true;
        case AddOutcome::AlreadyListed:
            ShowBox("The  mapping is already set or busy.", kLookCloser, MB_OK);
            return true;
        case AddOutcome::Busy:
            ShowInUseBox();
            return true;
        case AddOutcome::NoObject:
            ShowBox("Null poStaticPortMapping:AddMapping", "ForTob!", MB_ICONERROR);
            return false;
        case AddOutcome::NotKept:
            ShowBox(kNotKept, "ERROR!", MB_ICONERROR);
            return false;
        case AddOutcome::Refused:  // raised, and reported by the guard
        case AddOutcome::Unexpected:
        case AddOutcome::NotOpen:
            return false;
        }
        return false;
    });
}

AddOutcome Portolan::TryAddMapping(const PortMapping& mapping) {
    if (!IsOpen()) return {AddOutcome::NotOpen};
    AddOutcome outcome{AddOutcome::Unexpected};
    try {
        outcome.kind = AddToRouter(mapping, outcome.code);
    } catch (const ComError& error) {
        outcome = {AddOutcome::Refused, error.code};
        try {
            FormatComError(error);
        } catch (...) {
            // lastError keeps the earlier text; the code alone tells what the router said.
        }
    } catch (...) {
        outcome = {AddOutcome::Unexpected};
    }
    return outcome;
}

AddOutcome::Kind Portolan::AddToRouter(const PortMapping& mapping, HRESULT& code) {
    if (Lists(mapping.protocol, mapping.externalPort, mapping.internalClient)) return AddOutcome::AlreadyListed;
    const Bstr protocol(mapping.protocol);
    const Bstr internalClient(mapping.internalClient);
    const Bstr description(mapping.description);
    ComPtr<IStaticPortMapping> added;
    code = collection->Add(mapping.externalPort, protocol.get(), mapping.internalPort, internalClient.get(),
                           PlatformBoolean(mapping.enabled), description.get(), &added);
    if (code == BUSY_RESULT) return AddOutcome::Busy;
    if (FAILED(code)) natcfg::RaiseComError(code);
    if (!added) return AddOutcome::NoObject;
    // Some routers answer success and keep nothing (a full table, a refused address).
    if (!RouterHolds(mapping.externalPort, protocol.get())) return AddOutcome::NotKept;
    AppendMapping(added.Get());
    return AddOutcome::Added;
}

bool Portolan::RouterHolds(int32_t externalPort, BSTR protocol) const {
    ComPtr<IStaticPortMapping> held;
    const HRESULT result = collection->get_Item(externalPort, protocol, &held);
    if (SUCCEEDED(result)) return held != nullptr;
    // Any other failure says nothing about the table: the Add's own answer stands.
    return result != kNoSuchMapping;
}

bool Portolan::DeleteMapping(uint32_t index) {
    // An index past the lists has no mapping to remove: refused like the sister operations.
    if (!IsOpen() || index >= MappingCount()) return false;
    return RunGuarded(*this, "DeleteMapping", "COM ERROR!", false, [&] {
        const PortMapping& record = GetMapping(index);
        const Bstr protocol(record.protocol);
        const HRESULT result = collection->Remove(record.externalPort, protocol.get());
        if (FAILED(result)) {
            FormatComError(ComError{result, nullptr});
            return false;
        }
        mappingObjects.erase(mappingObjects.begin() + index);
        mappings.erase(mappings.begin() + index);
        return true;
    });
}

bool Portolan::EditInternalClient(uint32_t index, const std::wstring& internalClient) {
    if (!IsOpen() || index >= MappingCount()) return false;
    return RunGuarded(*this, "EditInternalClient", "COM ERROR!", false, [&] {
        const Bstr platformText(internalClient);
        const HRESULT result = mappingObjects[index]->EditInternalClient(platformText.get());
        if (result == BUSY_RESULT) {
            ShowInUseBox();
            return true;
        }
        if (FAILED(result)) natcfg::RaiseComError(result);
        mappings[index].internalClient = internalClient;
        return true;
    });
}

bool Portolan::EditInternalPort(uint32_t index, int32_t internalPort) {
    if (!IsOpen() || index >= MappingCount()) return false;
    return RunGuarded(*this, "EditInternalPort", "COM ERROR!", false, [&] {
        const HRESULT result = mappingObjects[index]->EditInternalPort(internalPort);
        if (result == BUSY_RESULT) {
            ShowInUseBox();
            return true;
        }
        if (FAILED(result)) natcfg::RaiseComError(result);
        mappings[index].internalPort = internalPort;
        return true;
    });
}

bool Portolan::Enable(uint32_t index, int32_t state) {
    if (!IsOpen() || index >= MappingCount()) return false;
    return RunGuarded(*this, "Enable", "COM ERROR!", false, [&] {
        const VARIANT_BOOL platformState = PlatformBoolean(state);
        if (mappingObjects[index]->Enable(platformState) != S_OK) return false;
        // The record follows the router, so a later rebuild of the tree shows the new state.
        mappings[index].enabled = platformState ? -1 : 0;
        return true;
    });
}

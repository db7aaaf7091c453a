#pragma once
// The platform's strings and variants inside the configurator, whose failures raise COM errors.
#include <windows.h>

#include <string_view>

#include "natcfg/portolan.h"
#include "ui/com_values.h"

namespace natcfg {

// A COM error carrying only its code, as the error guard catches it.
[[noreturn]] void RaiseComError(HRESULT code);

// The platform's text for the configurator: out of memory raises E_OUTOFMEMORY, as its guard reports it.
class Bstr : public ui::Bstr {
public:
    Bstr() noexcept = default;
    explicit Bstr(std::wstring_view text);
};

// The configurator's variant: a failed clear raises a COM error with its code.
class ScopedVariant : public ui::Variant {
public:
    void Clear();
};

}  // namespace natcfg

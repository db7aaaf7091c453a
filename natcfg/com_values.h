#pragma once
// Owning holders for the platform's strings and variants inside the configurator.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "natcfg/portolan.h"

namespace natcfg {

// A COM error carrying only its code, as the error guard catches it.
[[noreturn]] void RaiseComError(HRESULT code);

// One owned BSTR; null is the empty text.
class Bstr {
public:
    Bstr() noexcept = default;
    // A copy of text, embedded nulls and all; out of memory raises E_OUTOFMEMORY.
    explicit Bstr(std::wstring_view text);
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const noexcept { return value_; }
    // Out-slot for a platform call; whatever was held is freed first.
    BSTR* put() noexcept {
        SysFreeString(std::exchange(value_, nullptr));
        return &value_;
    }
    std::wstring ToWide() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : std::wstring(); }

private:
    BSTR value_ = nullptr;
};

// One VARIANT, cleared when it goes.
class ScopedVariant {
public:
    ScopedVariant() noexcept { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* get() noexcept { return &value_; }
    // The object the variant holds, or null when its type is not an object type.
    IUnknown* Object() const noexcept;
    bool HoldsObjectType() const noexcept { return value_.vt == VT_DISPATCH || value_.vt == VT_UNKNOWN; }
    // Empties the variant; a failure raises a COM error with its code.
    void Clear();

private:
    VARIANT value_;
};

}  // namespace natcfg

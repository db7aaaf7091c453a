#pragma once
// Owning holders for the platform's COM strings and variants, for every floor that calls COM.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace ui {

// One owned BSTR; null is the empty text.
class Bstr {
public:
    Bstr() noexcept = default;
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    // A copy of text, embedded nulls and all; false when memory ran out (the holder is empty then).
    bool Assign(std::wstring_view text) noexcept;
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
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() noexcept { return &value_; }
    const VARIANT& value() const noexcept { return value_; }
    // The object the variant holds, or null when its type is not an object type.
    IUnknown* Object() const noexcept;
    bool HoldsObjectType() const noexcept { return value_.vt == VT_DISPATCH || value_.vt == VT_UNKNOWN; }

protected:
    VARIANT value_;
};

}  // namespace ui

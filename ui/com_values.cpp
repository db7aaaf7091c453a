#include "ui/com_values.h"

namespace ui {

bool Bstr::Assign(std::wstring_view text) noexcept {
    SysFreeString(value_);
    value_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return value_ != nullptr;
}

IUnknown* Variant::Object() const noexcept {
    if (value_.vt == VT_DISPATCH) return value_.pdispVal;
    if (value_.vt == VT_UNKNOWN) return value_.punkVal;
    return nullptr;
}

}  // namespace ui

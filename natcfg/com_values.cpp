#include "natcfg/com_values.h"

namespace natcfg {

void RaiseComError(HRESULT code) { throw ComError{code, nullptr}; }

Bstr::Bstr(std::wstring_view text) {
    value_ = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!value_) RaiseComError(E_OUTOFMEMORY);
}

IUnknown* ScopedVariant::Object() const noexcept {
    if (value_.vt == VT_DISPATCH) return value_.pdispVal;
    if (value_.vt == VT_UNKNOWN) return value_.punkVal;
    return nullptr;
}

void ScopedVariant::Clear() {
    const HRESULT result = VariantClear(&value_);
    if (FAILED(result)) RaiseComError(result);
}

}  // namespace natcfg

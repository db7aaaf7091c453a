#include "natcfg/com_values.h"

namespace natcfg {

void RaiseComError(HRESULT code) { throw ComError{code, nullptr}; }

Bstr::Bstr(std::wstring_view text) {
    if (!Assign(text)) RaiseComError(E_OUTOFMEMORY);
}

void ScopedVariant::Clear() {
    const HRESULT result = VariantClear(&value_);
    if (FAILED(result)) RaiseComError(result);
}

}  // namespace natcfg

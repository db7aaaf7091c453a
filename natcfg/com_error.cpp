#include <cstdio>
#include <string>

#include "natcfg/com_values.h"
#include "natcfg/error_guard.h"
#include "ui/handles.h"
#include "ui/message_box.h"
#include "ui/text.h"

namespace {

constexpr DWORD kSystemMessageFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
constexpr DWORD kNeutralLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// The system's text for code without its final line break; empty when it has none.
std::string SystemMessage(HRESULT code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(kSystemMessageFlags, nullptr, static_cast<DWORD>(code), kNeutralLanguage,
                                        reinterpret_cast<char*>(&buffer), 0, nullptr);
    const ui::UniqueHLocal owner(buffer);
    if (length == 0 || !buffer) return {};
    std::string text(buffer, length);
    if (text.size() > 1 && text.back() == '\n') {
        text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
    }
    return text;
}

// What stands in for a code the system has no text for.
std::string FallbackMessage(HRESULT code) {
    const auto bits = static_cast<uint32_t>(code);
    char text[64];
    if (bits >= 0x80040201u && bits <= 0x8004FFFFu) {
        std::snprintf(text, sizeof text, "IDispatch error #%d", static_cast<int>(bits - 0x80040200u));
    } else {
        std::snprintf(text, sizeof text, "Unknown error 0x%0lX", static_cast<unsigned long>(bits));
    }
    return text;
}

using ErrorTextGetter = HRESULT (STDMETHODCALLTYPE IErrorInfo::*)(BSTR*);

std::wstring ErrorInfoText(IErrorInfo* info, ErrorTextGetter getter) {
    if (!info) return {};
    natcfg::Bstr text;
    if (FAILED((info->*getter)(text.put()))) return {};
    return text.ToWide();
}

}  // namespace

std::wstring ErrorCodeText(HRESULT code) {
    std::string message = SystemMessage(code);
    if (message.empty()) message = FallbackMessage(code);
    return ui::AnsiToWide(message);
}

void Portolan::FormatComError(const ComError& error) {
    IErrorInfo* info = error.errorInfo.Get();
    std::wstring text = ErrorInfoText(info, &IErrorInfo::GetDescription);
    text += L"::";
    text += std::to_wstring(static_cast<long>(error.code));
    text += L"::";
    text += ErrorInfoText(info, &IErrorInfo::GetSource);
    text += L"::";
    text += ErrorCodeText(error.code);
    lastError = std::move(text);
}

namespace natcfg {

void ShowBox(const std::string& text, const char* caption, UINT type) {
    ui::ShowMessageBox(nullptr, text, caption, type);
}

void ShowComErrorBox(Portolan& configurator, const ComError& error, const char* operation,
                     const char* caption) noexcept {
    try {
        configurator.FormatComError(error);
        ShowBox(ui::WideToAnsi(configurator.lastError), caption, MB_ICONERROR);
    } catch (...) {
        ShowUnknownErrorBox(operation);
    }
}

void ShowUnknownErrorBox(const char* operation) noexcept {
    try {
        ShowBox(std::string("Unknown error:") + operation, "ERROR!", MB_ICONERROR);
    } catch (...) {
        // Not even the short text fits in memory: the failure result alone must do.
    }
}

}  // namespace natcfg

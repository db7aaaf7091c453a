#include "app/mapping_list.h"

#include "diag/explain.h"
#include "res/resource.h"
#include "ui/app.h"
#include "ui/dialog.h"
#include "ui/text.h"

HWND mainWindowHandle = nullptr;

namespace {

constexpr const wchar_t* kEol = L"\r\n";
// A router's texts have no length limit; a tip shows this much of each, so the lines
// after it still fit what the tooltip control keeps.
constexpr size_t kShownChars = 200;

std::wstring Elided(std::wstring_view text) {
    if (text.size() <= kShownChars) return std::wstring(text);
    size_t cut = kShownChars;
    if (IS_HIGH_SURROGATE(text[cut - 1])) --cut;
    return std::wstring(text.substr(0, cut)) + L"...";
}

// Right-aligns text in a field of at least width characters, never cutting it.
std::wstring RightAligned(const std::wstring& text, size_t width) {
    if (text.size() >= width) return text;
    return std::wstring(width - text.size(), L' ') + text;
}

std::wstring Unsigned(int32_t value) { return std::to_wstring(static_cast<uint32_t>(value)); }

// Handles every message waiting in the queue; stops early when the pump saw WM_QUIT.
void HandlePendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) {
        if (!ui::PumpMessage()) return;
    }
}

}  // namespace

std::wstring MappingLine(const PortMapping& mapping) {
    std::wstring line = RightAligned(mapping.protocol, 5);
    line += L' ';
    line += mapping.externalIPAddress;
    line += L':';
    line += Unsigned(mapping.externalPort);
    line += L" => ";
    line += mapping.internalClient;
    line += L':';
    line += Unsigned(mapping.internalPort);
    line += L" :: ";
    line += mapping.description;
    line += L' ';
    return line;
}

std::wstring MappingTip(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters) {
    const std::wstring external = Elided(mapping.externalIPAddress);
    std::wstring text = L"Description: " + Elided(mapping.description) + kEol;
    text += L"Protocol: " + Elided(mapping.protocol) + kEol;
    text += L"External port: " + Unsigned(mapping.externalPort) + kEol;
    text += L"Internal client: " + Elided(mapping.internalClient) + L", port " + Unsigned(mapping.internalPort) + kEol;
    text += std::wstring(L"Enabled: ") + (mapping.enabled ? L"yes" : L"no") + kEol;
    text += L"Router's external address: " + (external.empty() ? std::wstring(L"not reported") : external) + kEol;
    // The verdicts read addresses, which are ASCII; they show no other text of the router's.
    const std::string externalAddress = ui::WideToAnsi(Elided(mapping.externalIPAddress));
    const std::string client = ui::WideToAnsi(Elided(mapping.internalClient));
    text += kEol + ui::AnsiToWide(ExplainExternalAddress(externalAddress, static_cast<uint32_t>(mapping.externalPort)));
    text += kEol + ui::AnsiToWide(ExplainInternalClient(client, adapters));
    if (!mapping.enabled) text += std::wstring(kEol) + L"Disabled: the router keeps this mapping but forwards nothing.";
    return text;
}

void TraversalProgress(int32_t code) {
    // A closed main window ends the display, not the enumeration: the rest is read without the UI.
    const HWND window = mainWindowHandle;
    if (!window) return;
    if (code == PROGRESS_END) {
        PostMessageA(window, WMU_TRAVERSAL_DONE, 0, 0);
        HandlePendingMessages();
        return;
    }
    if (code == PROGRESS_BEGIN) {
        PostMessageA(window, WMU_CLEAR_TREE, 0, 0);
    } else {
        PostMessageA(window, WMU_SHOW_MAPPING, 0, static_cast<LPARAM>(code));
    }
    HandlePendingMessages();
    ui::ShowWaitCursor();
}

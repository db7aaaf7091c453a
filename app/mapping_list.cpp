#include "app/mapping_list.h"

#include "diag/explain.h"
#include "res/resource.h"
#include "ui/app.h"
#include "ui/dialog.h"
#include "ui/text.h"

HWND mainWindowHandle = nullptr;

namespace {

constexpr const char* kEol = "\r\n";
// A router's texts have no length limit; a tip shows this much of each, so the lines
// after it still fit what the tooltip control keeps.
constexpr size_t kShownChars = 200;

std::string Elided(std::wstring_view text) {
    if (text.size() <= kShownChars) return ui::WideToAnsi(text);
    size_t cut = kShownChars;
    if (IS_HIGH_SURROGATE(text[cut - 1])) --cut;
    return ui::WideToAnsi(text.substr(0, cut)) + "...";
}

// Right-aligns text in a field of at least width characters, never cutting it.
std::string RightAligned(const std::string& text, size_t width) {
    if (text.size() >= width) return text;
    return std::string(width - text.size(), ' ') + text;
}

std::string Unsigned(int32_t value) { return std::to_string(static_cast<uint32_t>(value)); }

// Handles every message waiting in the queue; stops early when the pump saw WM_QUIT.
void HandlePendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_NOYIELD)) {
        if (!ui::PumpMessage()) return;
    }
}

}  // namespace

std::string MappingLine(const PortMapping& mapping) {
    std::string line = RightAligned(ui::WideToAnsi(mapping.protocol), 5);
    line += ' ';
    line += ui::WideToAnsi(mapping.externalIPAddress);
    line += ':';
    line += Unsigned(mapping.externalPort);
    line += " => ";
    line += ui::WideToAnsi(mapping.internalClient);
    line += ':';
    line += Unsigned(mapping.internalPort);
    line += " :: ";
    line += ui::WideToAnsi(mapping.description);
    line += ' ';
    return line;
}

std::string MappingTip(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters) {
    const std::string external = Elided(mapping.externalIPAddress);
    const std::string client = Elided(mapping.internalClient);
    const uint32_t externalPort = static_cast<uint32_t>(mapping.externalPort);
    std::string text = "Description: " + Elided(mapping.description) + kEol;
    text += "Protocol: " + Elided(mapping.protocol) + kEol;
    text += "External port: " + std::to_string(externalPort) + kEol;
    text += "Internal client: " + client + ", port " + std::to_string(static_cast<uint32_t>(mapping.internalPort)) + kEol;
    text += std::string("Enabled: ") + (mapping.enabled ? "yes" : "no") + kEol;
    text += "Router's external address: " + (external.empty() ? std::string("not reported") : external) + kEol;
    text += kEol + ExplainExternalAddress(external, externalPort) + kEol + ExplainInternalClient(client, adapters);
    if (!mapping.enabled) text += std::string(kEol) + "Disabled: the router keeps this mapping but forwards nothing.";
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

#include "app/mapping_list.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "diag/explain.h"
#include "res/resource.h"
#include "ui/app.h"
#include "ui/dialog.h"
#include "ui/text.h"
#include "ui/text_rules.h"

HWND mainWindowHandle = nullptr;

namespace {

using ui::kEol;

constexpr wchar_t kEllipsis[] = L"...";

// The first characters of text, "..." included, in at most chars characters; no pair is split.
std::wstring Cut(std::wstring_view text, size_t chars) {
    const size_t ellipsis = std::size(kEllipsis) - 1;
    if (chars < ellipsis) return std::wstring(chars, L'.');
    size_t keep = chars - ellipsis;
    if (keep > 0 && ui::IsHighSurrogate(text[keep - 1])) --keep;
    return std::wstring(text.substr(0, keep)) + kEllipsis;
}

// The router's texts a mapping's tip shows; they have no length limit, the tip has.
struct TipTexts {
    std::wstring description, protocol, client, external;

    // Shortest first, each text gets an equal share of what the shorter ones left over.
    void CutTo(size_t budget) {
        std::wstring* texts[] = {&description, &protocol, &client, &external};
        std::sort(std::begin(texts), std::end(texts), [](auto* a, auto* b) { return a->size() < b->size(); });
        for (size_t i = 0; i < std::size(texts); ++i) {
            const size_t share = budget / (std::size(texts) - i);
            if (texts[i]->size() > share) *texts[i] = Cut(*texts[i], share);
            budget -= texts[i]->size();
        }
    }
};

// Right-aligns text in a field of at least width characters, never cutting it.
std::wstring RightAligned(const std::wstring& text, size_t width) {
    if (text.size() >= width) return text;
    return std::wstring(width - text.size(), L' ') + text;
}

std::wstring RecordLines(const PortMapping& mapping, const TipTexts& texts) {
    return ui::WithInserts(L"Description: %1\r\nProtocol: %2\r\nExternal port: %3\r\nInternal client: %4, port %5\r\n"
                           L"Enabled: %6\r\nRouter's external address: %7\r\n",
                           {texts.description, texts.protocol, PortText(mapping.externalPort), texts.client,
                            PortText(mapping.internalPort), mapping.enabled ? L"yes" : L"no", texts.external});
}

// Where the mapping leads to this computer, whether a program there receives what the router
// forwards (the socket tables are read now), and whether the firewall lets it in.
std::wstring ListeningVerdicts(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters, FirewallCache& firewall) {
    const std::optional<ListeningQuery> query = ListeningQueryOf(
        ui::WideToAnsi(mapping.protocol), mapping.internalPort, ui::WideToAnsi(mapping.internalClient), adapters);
    if (!query) return {};
    const ListenerTable table = ReadListeners(query->transport, query->port);
    const FirewallQuery forwarded{query->transport, query->port, ListeningProgram(*query, table)};
    return kEol + ExplainListening(*query, table) + kEol + ExplainFirewall(firewall.Policy(), forwarded, &ExpandedPath);
}

// What the record means. Addresses are ASCII; the verdicts show no other text of the router's.
std::wstring Verdicts(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters, FirewallCache& firewall) {
    const std::string external = ui::WideToAnsi(mapping.externalIPAddress);
    std::wstring text = kEol + ui::AnsiToWide(ExplainExternalAddress(external, static_cast<uint32_t>(mapping.externalPort)));
    text += kEol + ui::AnsiToWide(ExplainInternalClient(ui::WideToAnsi(mapping.internalClient), adapters));
    text += ListeningVerdicts(mapping, adapters, firewall);
    if (!mapping.enabled) text += std::wstring(kEol) + L"Disabled: the router keeps this mapping but forwards nothing.";
    return text;
}

}  // namespace

std::wstring MappingLine(const PortMapping& mapping) {
    std::wstring line = RightAligned(mapping.protocol, 5);
    line += L' ';
    line += mapping.externalIPAddress;
    line += L':';
    line += PortText(mapping.externalPort);
    line += L" => ";
    line += mapping.internalClient;
    line += L':';
    line += PortText(mapping.internalPort);
    line += L" :: ";
    line += mapping.description;
    line += L' ';
    return line;
}

std::wstring MappingTip(const PortMapping& mapping, const IP_ADAPTER_INFO* adapters, FirewallCache& firewall) {
    const std::wstring verdicts = Verdicts(mapping, adapters, firewall);
    TipTexts texts{mapping.description, mapping.protocol, mapping.internalClient,
                   mapping.externalIPAddress.empty() ? L"not reported" : mapping.externalIPAddress};
    // The verdicts come whole; the router's texts are cut to what the rest leaves.
    const size_t fixed = RecordLines(mapping, TipTexts{}).size() + verdicts.size();
    texts.CutTo(kTipChars > fixed ? kTipChars - fixed : 0);
    return RecordLines(mapping, texts) + verdicts;
}

void TraversalProgress(int32_t code) {
    // A closed main window ends the display, not the enumeration: the rest is read without the UI.
    const HWND window = mainWindowHandle;
    if (!window) return;
    if (code == PROGRESS_END) {
        PostMessageA(window, WMU_TRAVERSAL_DONE, 0, 0);
        ui::HandlePendingMessages();
        return;
    }
    if (code == PROGRESS_BEGIN) {
        PostMessageA(window, WMU_CLEAR_TREE, 0, 0);
    } else {
        PostMessageA(window, WMU_SHOW_MAPPING, 0, static_cast<LPARAM>(code));
    }
    ui::HandlePendingMessages();
    ui::ShowWaitCursor();
}

#include "edit/add_edit_dialog.h"

#include <cctype>
#include <limits>

#include "res/resource.h"
#include "ui/app.h"
#include "ui/flag_scope.h"
#include "ui/message_box.h"
#include "ui/text_rules.h"

namespace {

// The caption of the validation boxes.
constexpr char kApplicationName[] = "Gatekeel";
constexpr uint32_t kPortMax = 65535;
// The scan looks at no more than this many characters of a port field.
constexpr size_t kScanLimit = 63;

// Reads an unsigned decimal number as the scanf conversion "%u" does: leading white
// space, an optional sign (minus negates modulo 2^32), digits up to the first non-digit.
// A number too large for 32 bits reads as the largest value instead of wrapping round.
bool ScanUnsigned(const std::string& text, uint32_t& value) {
    const std::string scanned = text.substr(0, kScanLimit);
    size_t pos = 0;
    while (pos < scanned.size() && std::isspace(static_cast<unsigned char>(scanned[pos]))) ++pos;
    bool negative = false;
    if (pos < scanned.size() && (scanned[pos] == '+' || scanned[pos] == '-')) negative = scanned[pos++] == '-';
    if (pos >= scanned.size() || !std::isdigit(static_cast<unsigned char>(scanned[pos]))) return false;
    uint64_t number = 0;
    bool overflow = false;
    for (; pos < scanned.size() && std::isdigit(static_cast<unsigned char>(scanned[pos])); ++pos) {
        number = number * 10 + static_cast<uint64_t>(scanned[pos] - '0');
        if (number > std::numeric_limits<uint32_t>::max()) {
            overflow = true;
            number = std::numeric_limits<uint32_t>::max();
        }
    }
    value = static_cast<uint32_t>(number);
    if (negative && !overflow) value = 0u - value;
    return true;
}

}  // namespace

const ui::EventRow<CAddEditDlg> CAddEditDlg::kEvents[] = {
    {WM_COMMAND, IDC_DESCRIPTION, EN_CHANGE, &CAddEditDlg::OnFieldChanged},
    {WM_COMMAND, IDC_INTERNAL_CLIENT, EN_CHANGE, &CAddEditDlg::OnFieldChanged},
    {WM_COMMAND, IDC_EXTERNAL_PORT, EN_CHANGE, &CAddEditDlg::OnFieldChanged},
    {WM_COMMAND, IDC_INTERNAL_PORT, EN_CHANGE, &CAddEditDlg::OnFieldChanged},
    {WM_COMMAND, IDC_TCP, BN_CLICKED, &CAddEditDlg::OnTcpClicked},
    {WM_COMMAND, IDC_UDP, BN_CLICKED, &CAddEditDlg::OnUdpClicked},
    {WM_COMMAND, IDOK, BN_CLICKED, &CAddEditDlg::OnOkClicked},
    // Cancel, Escape and the close box: the framework's default, which ends with IDCANCEL.
};

CAddEditDlg::CAddEditDlg(HWND parent) : Dialog(IDD_ADDEDIT, parent, Charset::Unicode) {}

BOOL CAddEditDlg::OnInitDialog() {
    ExchangeData(Direction::Load);
    if (protocolFlag != 0) protocolFlag = 1;
    CheckProtocol(protocolFlag);
    if (editMode) {
        const int fixedInEditMode[] = {IDC_TCP, IDC_UDP, IDC_EXTERNAL_PORT, IDC_DESCRIPTION};
        EnableControls(FALSE, fixedInEditMode);
    }
    return TRUE;  // the system places the focus
}

ui::Reply CAddEditDlg::OnMessage(const ui::Message& message) {
    // The exchange's own text changes (and anything a control says meanwhile) start nothing.
    if (exchanging_ && message.id == WM_COMMAND && message.lParam != 0) return ui::Handled();
    return ui::DispatchEvent(*this, kEvents, message);
}

bool CAddEditDlg::ExchangeData(Direction direction) {
    const ui::FlagScope exchanging(exchanging_);
    if (!ExchangePort(direction, IDC_EXTERNAL_PORT, externalPort)) return false;
    if (!ExchangePort(direction, IDC_INTERNAL_PORT, internalPort)) return false;
    ExchangeText(direction, IDC_DESCRIPTION, description);
    ExchangeText(direction, IDC_INTERNAL_CLIENT, internalClient);
    return true;
}

bool CAddEditDlg::ExchangePort(Direction direction, int controlId, uint32_t& port) {
    const HWND field = Control(controlId);
    if (direction == Direction::Load) {
        if (field) SetWindowTextA(field, std::to_string(port).c_str());
        return true;
    }
    uint32_t value = 0;
    if (!ScanUnsigned(field ? ui::WindowText(field) : std::string(), value)) {
        FailField(controlId, ui::ResourceString(IDS_ENTER_POSITIVE_INTEGER, "Enter a positive integer."));
        return false;
    }
    port = value;
    if (value > kPortMax) {
        const std::string text = ui::ResourceString(IDS_ENTER_INTEGER_BETWEEN, "Enter an integer between %1 and %2.");
        FailField(controlId, ui::WithInserts(text, {"0", std::to_string(kPortMax)}));
        return false;
    }
    return true;
}

void CAddEditDlg::ExchangeText(Direction direction, int controlId, std::wstring& text) {
    const HWND field = Control(controlId);
    if (!field) return;
    if (direction == Direction::Load) {
        SetWindowTextW(field, text.c_str());
    } else {
        text = ui::WideWindowText(field);
    }
}

void CAddEditDlg::FailField(int controlId, const std::string& text) {
    ui::ShowMessageBox(Window(), text, kApplicationName, MB_OK | MB_ICONEXCLAMATION);
    if (const HWND field = Control(controlId)) {
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
    }
}

void CAddEditDlg::CheckProtocol(int32_t flag) {
    CheckDlgButton(Window(), IDC_TCP, flag == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Window(), IDC_UDP, flag == 0 ? BST_UNCHECKED : BST_CHECKED);
}

ui::Reply CAddEditDlg::OnFieldChanged(const ui::Message&) {
    ExchangeData(Direction::Save);
    return ui::Handled();
}

ui::Reply CAddEditDlg::OnTcpClicked(const ui::Message&) {
    protocolFlag = 0;
    CheckProtocol(protocolFlag);
    return ui::Handled();
}

ui::Reply CAddEditDlg::OnUdpClicked(const ui::Message&) {
    protocolFlag = 1;
    CheckProtocol(protocolFlag);
    return ui::Handled();
}

ui::Reply CAddEditDlg::OnOkClicked(const ui::Message&) {
    if (ExchangeData(Direction::Save)) End(IDOK);
    return ui::Handled();
}

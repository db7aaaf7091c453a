#include "app/about_dlg.h"

#include <richedit.h>

#include "res/resource.h"
#include "ui/app.h"

const ui::EventRow<CAboutDlg> CAboutDlg::kEvents[] = {
    {WM_COMMAND, IDC_ABOUT_OK, BN_CLICKED, &CAboutDlg::OnOkClicked},
};

namespace {

// Hands the document to the rich edit control in pieces, as EM_STREAMIN asks for them.
struct StreamSource {
    const std::string* text;
    size_t offset;
};

DWORD CALLBACK ReadAgreement(DWORD_PTR cookie, BYTE* buffer, LONG wanted, LONG* given) {
    StreamSource& source = *reinterpret_cast<StreamSource*>(cookie);
    const size_t left = source.text->size() - source.offset;
    const size_t count = left < static_cast<size_t>(wanted) ? left : static_cast<size_t>(wanted);
    source.text->copy(reinterpret_cast<char*>(buffer), count, source.offset);
    source.offset += count;
    *given = static_cast<LONG>(count);
    return 0;
}

}  // namespace

std::string LoadAgreementResource(HMODULE module) {
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDR_EULA), RT_EULA);
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size == 0) return {};
    return std::string(static_cast<const char*>(bytes), size);
}

CAboutDlg::CAboutDlg(HWND parent) : ui::Dialog(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog() {
    if (LoadAgreement()) ShowAgreement();
    return TRUE;
}

ui::Reply CAboutDlg::OnMessage(const ui::Message& message) { return ui::DispatchEvent(*this, kEvents, message); }

ui::Reply CAboutDlg::OnOkClicked(const ui::Message&) {
    End(IDOK);
    return ui::Handled();
}

bool CAboutDlg::LoadAgreement() {
    agreementText = LoadAgreementResource(ui::ResourceInstance());
    return !agreementText.empty();
}

void CAboutDlg::ShowAgreement() const {
    const HWND agreement = Control(IDC_AGREEMENT);
    if (!agreement) return;
    CHARRANGE all{0, -1};
    SendMessageA(agreement, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
    // Streamed in as RTF, so the control shows the document formatted rather than its source.
    StreamSource source{&agreementText, 0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &ReadAgreement};
    SendMessageA(agreement, EM_STREAMIN, SF_RTF | SFF_SELECTION, reinterpret_cast<LPARAM>(&stream));
    // The caret stays after the inserted text and the view follows it to the end: the
    // reader starts at the top, with nothing selected.
    CHARRANGE top{0, 0};
    SendMessageA(agreement, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&top));
    SendMessageA(agreement, WM_VSCROLL, SB_TOP, 0);
}

#include "listfile/import_progress.h"

#include <commctrl.h>

#include "res/resource.h"

// Unicode: the lines it names come from a file in any script.
CImportProgressDlg::CImportProgressDlg(HWND owner) : ui::Dialog(IDD_IMPORT_PROGRESS, owner, Charset::Unicode) {}

bool CImportProgressDlg::Open() {
    if (!CreateModeless()) return false;
    ShowWindow(Window(), SW_SHOW);
    return true;
}

void CImportProgressDlg::ShowStep(const std::wstring& text, size_t done, size_t count) {
    if (!Window()) return;
    if (const HWND step = Control(IDC_IMPORT_STEP)) SetWindowTextW(step, text.c_str());
    if (const HWND bar = Control(IDC_IMPORT_BAR)) {
        SendMessageW(bar, PBM_SETRANGE32, 0, static_cast<LPARAM>(count));
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(done), 0);
    }
}

void CImportProgressDlg::OnCancel() {
    // The line being added is finished first; the dialog stays until the import closes it.
    cancelled_ = true;
    if (const HWND cancel = Control(IDCANCEL)) EnableWindow(cancel, FALSE);
}

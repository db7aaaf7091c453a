#pragma once
// The import's progress over the main window: the line being added, a bar, and Cancel, which
// stops the import after that line. Modeless, so the import goes on between its steps.
#include <windows.h>

#include <string>

#include "ui/dialog.h"

class CImportProgressDlg : public ui::Dialog {
public:
    explicit CImportProgressDlg(HWND owner);

    // Creates and shows it; false when it could not be created (the import then runs without it).
    bool Open();
    // "Adding 12 of 50: ...", with done of count steps on the bar.
    void ShowStep(const std::wstring& text, size_t done, size_t count);
    // Cancel, Escape or the close box was pressed.
    bool Cancelled() const { return cancelled_; }

protected:
    void OnCancel() override;
    // Enter ends nothing: the dialog goes when the import is over.
    void OnOK() override {}

private:
    bool cancelled_ = false;
};

#pragma once
// The About box: the agreement document from the "EULA" resource, formatted and
// read-only, above the product line, a notice and the program icon.
#include <string>

#include "ui/dialog.h"

class CAboutDlg : public ui::Dialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);

    const std::string& AgreementText() const { return agreementText; }

protected:
    BOOL OnInitDialog() override;
    ui::Reply OnMessage(const ui::Message& message) override;

private:
    ui::Reply OnOkClicked(const ui::Message&);
    bool LoadAgreement();
    void ShowAgreement() const;

    static const ui::EventRow<CAboutDlg> kEvents[];
    std::string agreementText;
};

// The agreement document as stored in the module's resources; empty when missing.
std::string LoadAgreementResource(HMODULE module);

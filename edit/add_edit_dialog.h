#pragma once
// The modal dialog in which the user enters a new mapping or changes the internal
// target of one. It keeps the values in its public fields: the opening command sets
// them before the run and reads them after an IDOK.
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/dialog.h"

class CAddEditDlg : public ui::Dialog {
public:
    explicit CAddEditDlg(HWND parent = nullptr);

    bool editMode = false;
    int32_t protocolFlag = 0;  // 0 TCP, 1 UDP
    uint32_t externalPort = 0;
    uint32_t internalPort = 0;
    std::wstring description = L"new service";
    std::wstring internalClient = L"0.0.0.0";

protected:
    BOOL OnInitDialog() override;
    ui::Reply OnMessage(const ui::Message& message) override;

private:
    enum class Direction { Load, Save };

    // Both directions in one pass over the controls; false at the first failed field.
    bool ExchangeData(Direction direction);
    bool ExchangePort(Direction direction, int controlId, uint32_t& port);
    void ExchangeText(Direction direction, int controlId, std::wstring& text);
    // The warning box, then the focus back to the field with its text selected.
    void FailField(int controlId, const std::string& text);
    void CheckProtocol(int32_t flag);

    ui::Reply OnFieldChanged(const ui::Message& message);
    ui::Reply OnTcpClicked(const ui::Message& message);
    ui::Reply OnUdpClicked(const ui::Message& message);
    ui::Reply OnOkClicked(const ui::Message& message);

    bool exchanging_ = false;

    static const ui::EventRow<CAddEditDlg> kEvents[];
};

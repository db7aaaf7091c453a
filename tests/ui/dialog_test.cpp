// The dialog framework on real dialogs built from the program's own templates.
#include "ui/dialog.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/app.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 7;
constexpr UINT_PTR END_TIMER = 77;

// A dialog on the Add/Edit template whose table records which row ran.
class ProbeDialog : public ui::Dialog {
public:
    ProbeDialog() : Dialog(IDD_ADDEDIT) {}

    std::vector<std::string> ran;
    bool handleOk = false;
    bool endFromTimer = false;
    bool initRan = false;

protected:
    BOOL OnInitDialog() override {
        initRan = true;
        if (endFromTimer) SetTimer(Window(), END_TIMER, 10, nullptr);
        return TRUE;
    }

    ui::Reply OnMessage(const ui::Message& message) override;

private:
    ui::Reply TcpClicked(const ui::Message&) { return Record("tcp clicked"); }
    ui::Reply AnyTcpCommand(const ui::Message&) { return Record("any tcp command"); }
    ui::Reply AnyCommand(const ui::Message&) { return Record("any command"); }
    ui::Reply Ok(const ui::Message&) {
        if (!handleOk) return ui::NotHandled();
        return Record("ok row");
    }
    ui::Reply Notify(const ui::Message&) {
        ran.push_back("notify");
        return ui::Handled(4242);
    }
    ui::Reply DragIcon(const ui::Message&) { return ui::Handled(0x1234); }
    ui::Reply Probe(const ui::Message& message) {
        ran.push_back("probe " + std::to_string(message.wParam));
        return ui::Handled(static_cast<LRESULT>(message.lParam) * 2);
    }
    ui::Reply Timer(const ui::Message& message) {
        if (message.wParam != END_TIMER) return ui::NotHandled();
        KillTimer(Window(), END_TIMER);
        End(55);
        return ui::Handled();
    }
    ui::Reply Record(const char* what) {
        ran.push_back(what);
        return ui::Handled();
    }

    static const ui::EventRow<ProbeDialog> kTable[];
};

const ui::EventRow<ProbeDialog> ProbeDialog::kTable[] = {
    {WM_COMMAND, IDC_TCP, BN_CLICKED, &ProbeDialog::TcpClicked},
    {WM_COMMAND, IDC_TCP, ui::AnyCode, &ProbeDialog::AnyTcpCommand},
    {WM_COMMAND, IDOK, BN_CLICKED, &ProbeDialog::Ok},
    {WM_COMMAND, IDC_UDP, BN_CLICKED, &ProbeDialog::AnyCommand},
    {WM_COMMAND, ui::AnyId, BN_DOUBLECLICKED, &ProbeDialog::AnyCommand},
    {WM_NOTIFY, IDC_DESCRIPTION, static_cast<int>(NM_CLICK), &ProbeDialog::Notify},
    {WM_QUERYDRAGICON, ui::AnyId, ui::AnyCode, &ProbeDialog::DragIcon},
    {WM_PROBE, ui::AnyId, ui::AnyCode, &ProbeDialog::Probe},
    {WM_TIMER, ui::AnyId, ui::AnyCode, &ProbeDialog::Timer},
};

ui::Reply ProbeDialog::OnMessage(const ui::Message& message) { return ui::DispatchEvent(*this, kTable, message); }

LRESULT Command(HWND dialog, int id, int code) {
    return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(probe_.CreateModeless(), nullptr) << GetLastError();
        EXPECT_TRUE(probe_.initRan);
    }
    ProbeDialog probe_;
};

TEST_F(DialogTest, FirstMatchingRowWinsAndLaterRowsStayUnrun) {
    struct Case {
        int id;
        int code;
        const char* expected;
    };
    const Case cases[] = {
        {IDC_TCP, BN_CLICKED, "tcp clicked"},
        {IDC_TCP, BN_SETFOCUS, "any tcp command"},
        {IDC_TCP, BN_DOUBLECLICKED, "any tcp command"},  // the id row comes before the any-id row
        {IDC_UDP, BN_CLICKED, "any command"},
        {IDC_INTERNAL_PORT, BN_DOUBLECLICKED, "any command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        probe_.ran.clear();
        Command(probe_.Window(), c.id, c.code);
        ASSERT_EQ(probe_.ran.size(), 1u);
        EXPECT_EQ(probe_.ran[0], c.expected);
    }
}

TEST_F(DialogTest, UnmatchedCommandsReachNoRow) {
    Command(probe_.Window(), IDC_INTERNAL_PORT, BN_CLICKED);
    Command(probe_.Window(), IDC_UDP, BN_SETFOCUS);
    EXPECT_TRUE(probe_.ran.empty());
    EXPECT_TRUE(IsWindow(probe_.Window()));
}

TEST_F(DialogTest, OkAndCancelWithoutAHandlingRowEndTheDialog) {
    const HWND window = probe_.Window();
    Command(window, IDOK, BN_CLICKED);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(probe_.Window(), nullptr);
    EXPECT_EQ(probe_.Result(), IDOK);

    ProbeDialog other;
    ASSERT_NE(other.CreateModeless(), nullptr);
    SendMessageA(other.Window(), WM_CLOSE, 0, 0);  // the close box: the dialog manager posts IDCANCEL
    PumpPending();
    EXPECT_EQ(other.Window(), nullptr);
    EXPECT_EQ(other.Result(), IDCANCEL);
}

TEST_F(DialogTest, ARowThatHandlesOkKeepsTheDialogOpen) {
    probe_.handleOk = true;
    Command(probe_.Window(), IDOK, BN_CLICKED);
    EXPECT_TRUE(IsWindow(probe_.Window()));
    ASSERT_EQ(probe_.ran.size(), 1u);
    EXPECT_EQ(probe_.ran[0], "ok row");
}

TEST_F(DialogTest, NotifyResultTravelsThroughDwlpMsgResult) {
    NMHDR header{GetDlgItem(probe_.Window(), IDC_DESCRIPTION), IDC_DESCRIPTION, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(SendMessageA(probe_.Window(), WM_NOTIFY, IDC_DESCRIPTION, reinterpret_cast<LPARAM>(&header)), 4242);
    EXPECT_EQ(GetWindowLongPtrA(probe_.Window(), DWLP_MSGRESULT), 4242);

    // Another code from the same control matches no row and answers 0.
    probe_.ran.clear();
    header.code = static_cast<UINT>(NM_DBLCLK);
    EXPECT_EQ(SendMessageA(probe_.Window(), WM_NOTIFY, IDC_DESCRIPTION, reinterpret_cast<LPARAM>(&header)), 0);
    EXPECT_TRUE(probe_.ran.empty());
}

TEST_F(DialogTest, HandlerResultsReachTheSender) {
    // An ordinary message through DWLP_MSGRESULT, WM_QUERYDRAGICON as the procedure's own return value.
    EXPECT_EQ(SendMessageA(probe_.Window(), WM_PROBE, 3, 21), 42);
    EXPECT_EQ(SendMessageA(probe_.Window(), WM_QUERYDRAGICON, 0, 0), 0x1234);
    ASSERT_EQ(probe_.ran.size(), 1u);
    EXPECT_EQ(probe_.ran[0], "probe 3");
}

TEST_F(DialogTest, EnableControlsSkipsIdsWithoutAControl) {
    const int ids[] = {IDC_TCP, 4711, IDC_UDP, IDC_REFRESH, IDC_EXTERNAL_PORT};
    probe_.EnableControls(FALSE, ids);
    for (int id : {IDC_TCP, IDC_UDP, IDC_EXTERNAL_PORT}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(IsWindowEnabled(probe_.Control(id)));
    }
    EXPECT_TRUE(IsWindowEnabled(probe_.Control(IDC_INTERNAL_PORT)));
    EXPECT_EQ(probe_.Control(4711), nullptr);

    probe_.EnableControls(TRUE, ids, 2);  // only the first two entries
    EXPECT_TRUE(IsWindowEnabled(probe_.Control(IDC_TCP)));
    EXPECT_FALSE(IsWindowEnabled(probe_.Control(IDC_UDP)));
}

TEST(DialogModal, EndFromAHandlerEndsTheModalRunWithItsResult) {
    ProbeDialog dialog;
    dialog.endFromTimer = true;
    EXPECT_EQ(dialog.DoModal(), 55);
    EXPECT_TRUE(dialog.initRan);
    EXPECT_EQ(dialog.Window(), nullptr);
    EXPECT_EQ(dialog.Result(), 55);
}

TEST(DialogModal, MissingTemplateAnswersMinusOne) {
    ui::Dialog dialog(4321);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.Window(), nullptr);
}

TEST(DialogDestruction, DestroyingTheObjectDestroysItsModelessWindow) {
    HWND window = nullptr;
    {
        ProbeDialog dialog;
        window = dialog.CreateModeless();
        ASSERT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));
}

TEST(WindowText, ReadsTextsOfAnyLength) {
    ProbeDialog dialog;
    ASSERT_NE(dialog.CreateModeless(), nullptr);
    const HWND edit = dialog.Control(IDC_DESCRIPTION);
    for (size_t length : {size_t{0}, size_t{1}, size_t{300}, size_t{70000}}) {
        SCOPED_TRACE(length);
        std::string text(length, 'x');
        if (length) text.back() = 'y';
        SetWindowTextA(edit, text.c_str());
        EXPECT_EQ(ui::WindowText(edit), text);
    }
}

TEST(PumpMessage, DispatchesOneMessageAndStopsAtQuitLeavingItQueued) {
    ProbeDialog dialog;
    ASSERT_NE(dialog.CreateModeless(), nullptr);
    PostMessageA(dialog.Window(), WM_PROBE, 9, 0);
    EXPECT_TRUE(ui::PumpMessage());
    ASSERT_EQ(dialog.ran.size(), 1u);
    EXPECT_EQ(dialog.ran[0], "probe 9");

    PostQuitMessage(3);
    EXPECT_FALSE(ui::PumpMessage());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace

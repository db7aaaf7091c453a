// The Add/Edit dialog from its real template, driven with the messages typing and
// clicking send; the validation boxes are read from the recorder.
#include "edit/add_edit_dialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/fakes/message_box_recorder.h"
#include "tests/gui/gui_support.h"
#include "ui/text.h"

namespace {

constexpr char kPositive[] = "Enter a positive integer.";
constexpr char kRange[] = "Enter an integer between 0 and 65535.";

class AddEditDialogTest : public testing::Test {
protected:
    // Opens the dialog modeless and visible (the focus checks need a shown window).
    void Open() {
        ASSERT_NE(dialog_.CreateModeless(), nullptr) << GetLastError();
        ShowWindow(dialog_.Window(), SW_SHOW);
    }
    void TearDown() override {
        if (dialog_.Window()) DestroyWindow(dialog_.Window());
    }

    HWND Field(int id) const { return GetDlgItem(dialog_.Window(), id); }
    std::string Text(int id) const { return ui::WindowText(Field(id)); }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_.Window(), id) == BST_CHECKED; }

    CAddEditDlg dialog_;
    fakes::MessageBoxRecorder boxes_;
};

TEST_F(AddEditDialogTest, OpensForAddWithTheDefaultsAndEveryControlEnabled) {
    Open();
    EXPECT_EQ(Text(IDC_DESCRIPTION), "new service");
    EXPECT_EQ(Text(IDC_INTERNAL_CLIENT), "0.0.0.0");
    EXPECT_EQ(Text(IDC_EXTERNAL_PORT), "0");
    EXPECT_EQ(Text(IDC_INTERNAL_PORT), "0");
    EXPECT_TRUE(Checked(IDC_TCP));
    EXPECT_FALSE(Checked(IDC_UDP));
    for (int id : {IDC_DESCRIPTION, IDC_INTERNAL_CLIENT, IDC_EXTERNAL_PORT, IDC_INTERNAL_PORT, IDC_TCP, IDC_UDP}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(IsWindowEnabled(Field(id)));
    }
    EXPECT_TRUE(boxes_.boxes.empty()) << "the load exchange must not validate";
}

TEST_F(AddEditDialogTest, OkWithTheDefaultsIsAccepted) {
    Open();
    gui_test::Click(Field(IDOK));
    EXPECT_EQ(dialog_.Window(), nullptr);
    EXPECT_EQ(dialog_.Result(), IDOK);
    EXPECT_EQ(dialog_.externalPort, 0u);
    EXPECT_EQ(dialog_.internalPort, 0u);
    EXPECT_EQ(dialog_.description, L"new service");
    EXPECT_EQ(dialog_.internalClient, L"0.0.0.0");
    EXPECT_EQ(dialog_.protocolFlag, 0);
    EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(AddEditDialogTest, LoadsTheFieldsItWasGiven) {
    dialog_.externalPort = 8080;
    dialog_.internalPort = 65535;
    dialog_.description = std::wstring(5000, L'd') + L" %s %n";
    dialog_.internalClient = L"192.0.2.10";
    Open();
    EXPECT_EQ(Text(IDC_EXTERNAL_PORT), "8080");
    EXPECT_EQ(Text(IDC_INTERNAL_PORT), "65535");
    EXPECT_EQ(ui::WideWindowText(Field(IDC_DESCRIPTION)), dialog_.description);
    EXPECT_EQ(Text(IDC_INTERNAL_CLIENT), "192.0.2.10");
    EXPECT_TRUE(boxes_.boxes.empty());
}

struct PortCase {
    const char* name;
    std::string text;
    const char* box;    // nullptr: accepted
    uint32_t stored;    // the field's value afterwards (also after a range failure)
};

void PrintTo(const PortCase& c, std::ostream* out) { *out << c.name; }

class PortScanTest : public testing::TestWithParam<PortCase> {};

// Every case in both port fields: typed (the change notification validates at once), then OK.
TEST_P(PortScanTest, ScansLikePercentUAndChecksTheRange) {
    const PortCase& c = GetParam();
    for (int id : {IDC_EXTERNAL_PORT, IDC_INTERNAL_PORT}) {
        SCOPED_TRACE(id == IDC_EXTERNAL_PORT ? "external port" : "internal port");
        CAddEditDlg dialog;
        fakes::MessageBoxRecorder boxes;
        ASSERT_NE(dialog.CreateModeless(), nullptr);
        ShowWindow(dialog.Window(), SW_SHOW);
        const HWND field = GetDlgItem(dialog.Window(), id);
        gui_test::SetTextNotifying(field, c.text);
        uint32_t& port = id == IDC_EXTERNAL_PORT ? dialog.externalPort : dialog.internalPort;

        if (!c.box) {
            EXPECT_TRUE(boxes.boxes.empty());
            EXPECT_EQ(port, c.stored);
            gui_test::Click(GetDlgItem(dialog.Window(), IDOK));
            EXPECT_EQ(dialog.Result(), IDOK);
            EXPECT_EQ(dialog.Window(), nullptr);
            EXPECT_EQ(port, c.stored);
            continue;
        }
        ASSERT_EQ(boxes.boxes.size(), 1u) << "typing validates at once";
        gui_test::Click(GetDlgItem(dialog.Window(), IDOK));
        ASSERT_EQ(boxes.boxes.size(), 2u);
        for (const fakes::Box& box : boxes.boxes) {
            EXPECT_EQ(box.text, c.box);
            EXPECT_EQ(box.caption, "Gatekeel");
            EXPECT_EQ(box.type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
            EXPECT_EQ(box.owner, dialog.Window());
        }
        ASSERT_NE(dialog.Window(), nullptr) << "a failed OK keeps the dialog open";
        EXPECT_EQ(GetFocus(), field);
        DWORD start = 1, end = 0;
        SendMessageA(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u);
        EXPECT_EQ(end, static_cast<DWORD>(c.text.size())) << "the whole text is selected";
        EXPECT_EQ(port, c.stored);
        DestroyWindow(dialog.Window());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortScanTest,
    testing::Values(PortCase{"blank", "", kPositive, 0}, PortCase{"letters", "abc", kPositive, 0},
                    PortCase{"only_blanks", "   ", kPositive, 0}, PortCase{"lone_sign", "-", kPositive, 0},
                    PortCase{"digits_then_letters", "80abc", nullptr, 80},
                    PortCase{"leading_blanks_and_plus", "  +80", nullptr, 80},
                    PortCase{"leading_zeros", "007", nullptr, 7}, PortCase{"highest", "65535", nullptr, 65535},
                    PortCase{"one_above", "65536", kRange, 65536},
                    PortCase{"minus_one", "-1", kRange, 4294967295u}, PortCase{"minus_zero", "-0", nullptr, 0},
                    // Too large for 32 bits: no wrap round to a port that looks valid (2^32 + 80).
                    PortCase{"wraps_past_32_bits", "4294967376", kRange, 4294967295u},
                    PortCase{"63rd_character_is_read", std::string(61, ' ') + "80", nullptr, 80},
                    PortCase{"64th_character_is_not_read", std::string(62, ' ') + "80", nullptr, 8},
                    PortCase{"beyond_the_scan", std::string(63, ' ') + "80", kPositive, 0}),
    [](const testing::TestParamInfo<PortCase>& info) { return std::string(info.param.name); });

TEST_F(AddEditDialogTest, KeyboardEditsValidateAsTheUserTypes) {
    dialog_.internalPort = 6553;
    Open();
    const HWND field = Field(IDC_INTERNAL_PORT);
    SetFocus(field);
    SendMessageA(field, EM_SETSEL, 4, 4);
    gui_test::TypeChar(field, '5');  // 65535
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(dialog_.internalPort, 65535u);

    gui_test::TypeChar(field, '0');  // 655350
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, kRange);

    SetWindowTextA(field, "7");  // back to one digit without validating twice
    boxes_.boxes.clear();
    SendMessageA(field, EM_SETSEL, 1, 1);
    gui_test::TypeChar(field, '\b');  // the last digit erased
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text, kPositive);
    EXPECT_NE(dialog_.Window(), nullptr);
    EXPECT_EQ(GetFocus(), field);
}

TEST_F(AddEditDialogTest, AFailedFieldLeavesTheLaterFieldsAsTheyWere) {
    Open();
    gui_test::SetTextNotifying(Field(IDC_DESCRIPTION), "first");
    EXPECT_EQ(dialog_.description, L"first");
    gui_test::SetTextNotifying(Field(IDC_INTERNAL_PORT), "x");
    boxes_.boxes.clear();

    // The description changes, but the exchange stops at the port before it.
    gui_test::SetTextNotifying(Field(IDC_DESCRIPTION), "second");
    gui_test::SetTextNotifying(Field(IDC_INTERNAL_CLIENT), "192.0.2.20");
    ASSERT_EQ(boxes_.boxes.size(), 2u);
    EXPECT_EQ(boxes_.boxes[0].text, kPositive);
    EXPECT_EQ(GetFocus(), Field(IDC_INTERNAL_PORT)) << "the offending field, not the one typed in";
    EXPECT_EQ(dialog_.description, L"first");
    EXPECT_EQ(dialog_.internalClient, L"0.0.0.0");

    gui_test::SetTextNotifying(Field(IDC_INTERNAL_PORT), "81");
    EXPECT_EQ(dialog_.description, L"second");
    EXPECT_EQ(dialog_.internalClient, L"192.0.2.20");
    EXPECT_EQ(dialog_.internalPort, 81u);
}

TEST_F(AddEditDialogTest, TextsAreStoredWholeAndUntrimmed) {
    Open();
    const std::string description = "  " + std::string(70000, 'x') + " 100% %s  ";
    gui_test::SetTextNotifying(Field(IDC_DESCRIPTION), description);
    gui_test::SetTextNotifying(Field(IDC_INTERNAL_CLIENT), " host ");
    gui_test::Click(Field(IDOK));
    EXPECT_EQ(dialog_.Result(), IDOK);
    EXPECT_EQ(dialog_.description, ui::AnsiToWide(description));
    EXPECT_EQ(dialog_.internalClient, L" host ");
}

TEST_F(AddEditDialogTest, RadioClicksSetTheProtocol) {
    Open();
    gui_test::Click(Field(IDC_UDP));
    EXPECT_EQ(dialog_.protocolFlag, 1);
    EXPECT_TRUE(Checked(IDC_UDP));
    EXPECT_FALSE(Checked(IDC_TCP));
    gui_test::Click(Field(IDC_TCP));
    EXPECT_EQ(dialog_.protocolFlag, 0);
    EXPECT_TRUE(Checked(IDC_TCP));
    EXPECT_FALSE(Checked(IDC_UDP));
}

TEST(AddEditDialogProtocol, AnyFlagButZeroOpensWithUdpAndReadsOne) {
    struct Case {
        int32_t flag;
        bool udp;
        int32_t after;
    };
    for (const Case& c : {Case{0, false, 0}, Case{1, true, 1}, Case{5, true, 1}, Case{-1, true, 1}}) {
        SCOPED_TRACE(c.flag);
        CAddEditDlg dialog;
        dialog.protocolFlag = c.flag;
        ASSERT_NE(dialog.CreateModeless(), nullptr);
        EXPECT_EQ(IsDlgButtonChecked(dialog.Window(), IDC_UDP) == BST_CHECKED, c.udp);
        EXPECT_EQ(IsDlgButtonChecked(dialog.Window(), IDC_TCP) == BST_CHECKED, !c.udp);
        EXPECT_EQ(dialog.protocolFlag, c.after);
        DestroyWindow(dialog.Window());
    }
}

TEST_F(AddEditDialogTest, EditModeLeavesOnlyTheInternalTargetEditable) {
    dialog_.editMode = true;
    dialog_.protocolFlag = 1;
    dialog_.externalPort = 8080;
    dialog_.description = L"web";
    Open();
    for (int id : {IDC_TCP, IDC_UDP, IDC_EXTERNAL_PORT, IDC_DESCRIPTION}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(IsWindowEnabled(Field(id)));
    }
    for (int id : {IDC_INTERNAL_CLIENT, IDC_INTERNAL_PORT, IDOK, IDCANCEL}) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(IsWindowEnabled(Field(id)));
    }
    // The disabled fields still go through the exchange unchanged.
    gui_test::SetTextNotifying(Field(IDC_INTERNAL_PORT), "81");
    gui_test::Click(Field(IDOK));
    EXPECT_EQ(dialog_.Result(), IDOK);
    EXPECT_EQ(dialog_.externalPort, 8080u);
    EXPECT_EQ(dialog_.description, L"web");
    EXPECT_EQ(dialog_.internalPort, 81u);
    EXPECT_EQ(dialog_.protocolFlag, 1);
}

TEST_F(AddEditDialogTest, CancelAfterInvalidInputClosesWithoutAnotherBox) {
    Open();
    gui_test::SetTextNotifying(Field(IDC_EXTERNAL_PORT), "abc");
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    gui_test::Click(Field(IDCANCEL));
    EXPECT_EQ(dialog_.Window(), nullptr);
    EXPECT_EQ(dialog_.Result(), IDCANCEL);
    EXPECT_EQ(boxes_.boxes.size(), 1u);
}

TEST(AddEditDialogModal, TypedValuesAndEnterEndTheModalRunWithOk) {
    fakes::MessageBoxRecorder boxes;
    CAddEditDlg dialog;
    gui_test::DialogDriver driver("Add Or Edit Server/Service", [](HWND window) {
        const HWND port = GetDlgItem(window, IDC_EXTERNAL_PORT);
        SetFocus(port);
        SendMessageA(port, EM_SETSEL, 0, -1);
        gui_test::PostKeys(port, "443");
        gui_test::PostKey(port, VK_RETURN);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(driver.Ran());
    EXPECT_EQ(dialog.externalPort, 443u);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST(AddEditDialogModal, EscapeEndsTheModalRunWithCancel) {
    fakes::MessageBoxRecorder boxes;
    CAddEditDlg dialog;
    gui_test::DialogDriver driver("Add Or Edit Server/Service", [](HWND window) {
        gui_test::PostKey(GetDlgItem(window, IDC_DESCRIPTION), VK_ESCAPE);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(driver.Ran());
}

}  // namespace

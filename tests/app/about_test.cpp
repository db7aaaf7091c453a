// The About box from template 100 with the agreement from the "EULA" resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <richedit.h>

#include "app/about_dlg.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/dialog.h"

namespace {

using gui_test::kAboutCaption;

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override { gui_test::InitGui(); }

    std::string AgreementShown(HWND box) { return ui::WindowText(GetDlgItem(box, IDC_AGREEMENT)); }
};

TEST_F(AboutBoxTest, ShowsTheAgreementFormattedAndReadOnly) {
    CAboutDlg about;
    const HWND box = about.CreateModeless();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(about.AgreementText().rfind("{\\rtf1", 0), 0u);
    const std::string shown = AgreementShown(box);
    EXPECT_GT(shown.size(), 100u);
    EXPECT_EQ(shown.find("\\rtf"), std::string::npos);  // rendered, not the source
    EXPECT_EQ(shown.find("\\par"), std::string::npos);
    EXPECT_NE(shown.find("Gatekeel"), std::string::npos);
    const HWND agreement = GetDlgItem(box, IDC_AGREEMENT);
    EXPECT_TRUE(GetWindowLongA(agreement, GWL_STYLE) & ES_READONLY);
    // Selectable but not changeable by typing.
    SendMessageA(agreement, EM_SETSEL, 0, 5);
    SendMessageA(agreement, WM_CHAR, 'Z', 0);
    EXPECT_EQ(AgreementShown(box), shown);
}

TEST_F(AboutBoxTest, OpensAtTheStartOfTheAgreementWithNothingSelected) {
    LRESULT firstLine = -1;
    CHARRANGE selection{-1, -1};
    gui_test::DialogDriver closer(kAboutCaption, [&](HWND box) {
        const HWND agreement = GetDlgItem(box, IDC_AGREEMENT);
        firstLine = SendMessageA(agreement, EM_GETFIRSTVISIBLELINE, 0, 0);
        SendMessageA(agreement, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
        gui_test::Click(GetDlgItem(box, IDC_ABOUT_OK));
    });
    CAboutDlg about;
    about.DoModal();
    ASSERT_EQ(closer.Runs(), 1);
    EXPECT_EQ(firstLine, 0);
    EXPECT_EQ(selection.cpMin, 0);
    EXPECT_EQ(selection.cpMax, 0);
}

// The product line and the notice are shown whole in their fields, in the box's own font.
TEST_F(AboutBoxTest, ItsTextLinesFitTheirFields) {
    CAboutDlg about;
    const HWND box = about.CreateModeless();
    ASSERT_NE(box, nullptr);
    int lines = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char type[16] = {};
        GetClassNameA(child, type, sizeof type);
        if (std::string(type) != "Static" || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_LEFT) continue;
        const std::string text = ui::WindowText(child);
        const HDC dc = GetDC(child);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(child, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        RECT field;
        GetClientRect(child, &field);
        EXPECT_LE(extent.cx, field.right) << text;
        ++lines;
    }
    EXPECT_EQ(lines, 2);
}

TEST_F(AboutBoxTest, EachOpeningShowsTheSameDocument) {
    std::string first;
    for (int i = 0; i < 2; ++i) {
        CAboutDlg about;
        const HWND box = about.CreateModeless();
        ASSERT_NE(box, nullptr);
        if (i == 0) first = AgreementShown(box);
        else EXPECT_EQ(AgreementShown(box), first);
    }
    EXPECT_FALSE(first.empty());
}

TEST_F(AboutBoxTest, OkEnterEscapeAndTheCloseBoxCloseIt) {
    struct CloseCase {
        const char* name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
    };
    const CloseCase cases[] = {
        {"OK click", WM_COMMAND, MAKEWPARAM(IDC_ABOUT_OK, BN_CLICKED), IDOK},
        {"Escape", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), IDCANCEL},
        {"close box", WM_CLOSE, 0, IDCANCEL},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        CAboutDlg about;
        const HWND box = about.CreateModeless();
        SendMessageA(box, c.message, c.wParam, 0);
        gui_test::PumpPending();  // the close box posts its cancel command
        EXPECT_FALSE(IsWindow(box));
        EXPECT_EQ(about.Result(), c.result);
    }
}

TEST_F(AboutBoxTest, OkIsTheDefaultButtonAndHasTheFocusModally) {
    int focused = 0;
    LRESULT defaultId = 0;
    gui_test::DialogDriver closer(kAboutCaption, [&](HWND box) {
        focused = GetDlgCtrlID(GetFocus());
        defaultId = SendMessageA(box, DM_GETDEFID, 0, 0);
        gui_test::Click(GetDlgItem(box, IDC_ABOUT_OK));
    });
    CAboutDlg about;
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_EQ(closer.Runs(), 1);
    EXPECT_EQ(focused, IDC_ABOUT_OK);
    EXPECT_EQ(LOWORD(defaultId), IDC_ABOUT_OK);
}

TEST(AgreementResource, AModuleWithoutItGivesNoText) {
    EXPECT_TRUE(LoadAgreementResource(GetModuleHandleA("kernel32.dll")).empty());
    EXPECT_EQ(LoadAgreementResource(GetModuleHandleA(nullptr)).rfind("{\\rtf1", 0), 0u);
}

}  // namespace

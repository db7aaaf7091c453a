// The first-run marker in Wine's registry, and the About box it brings up at start.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/first_run.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/handles.h"

namespace {

using gui_test::FirstRunMarkerKey;

enum class Marker { Absent, Dword0, Dword1, Dword7, String1, Binary8, Binary2 };

void WriteMarker(Marker marker) {
    const ui::UniqueHKey key = FirstRunMarkerKey();
    RegDeleteValueA(key.get(), FIRST_RUN_VALUE);
    const auto put = [&key](DWORD type, const void* data, DWORD size) {
        RegSetValueExA(key.get(), FIRST_RUN_VALUE, 0, type, static_cast<const BYTE*>(data), size);
    };
    const DWORD zero = 0, one = 1, seven = 7;
    const unsigned long long big = 1;
    const WORD shortOne = 1;
    switch (marker) {
    case Marker::Absent: break;
    case Marker::Dword0: put(REG_DWORD, &zero, 4); break;
    case Marker::Dword1: put(REG_DWORD, &one, 4); break;
    case Marker::Dword7: put(REG_DWORD, &seven, 4); break;
    case Marker::String1: put(REG_SZ, "1", 2); break;
    case Marker::Binary8: put(REG_DWORD, &big, 8); break;
    case Marker::Binary2: put(REG_BINARY, &shortOne, 2); break;
    }
}

// The marker after the run: its type and value, or type REG_NONE when absent.
std::pair<DWORD, DWORD> ReadMarker() {
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    if (RegQueryValueExA(FirstRunMarkerKey().get(), FIRST_RUN_VALUE, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS) {
        return {REG_NONE, 0};
    }
    return {type, value};
}

struct FirstRunCase {
    const char* name;
    Marker before;
    bool firstRun;
    DWORD valueAfter;
};

const FirstRunCase kCases[] = {
    {"absent", Marker::Absent, true, 1},
    {"REG_DWORD 0", Marker::Dword0, true, 1},
    {"string \"1\"", Marker::String1, true, 1},
    {"8-byte value", Marker::Binary8, true, 1},
    {"2-byte binary", Marker::Binary2, true, 1},
    {"REG_DWORD 1", Marker::Dword1, false, 1},
    {"REG_DWORD 7", Marker::Dword7, false, 7},
};

TEST(FirstRun, MarkerDecidesAndIsThenSetToDword1) {
    for (const FirstRunCase& c : kCases) {
        SCOPED_TRACE(c.name);
        WriteMarker(c.before);
        EXPECT_EQ(TakeFirstRun(), c.firstRun);
        const auto [type, value] = ReadMarker();
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value, c.valueAfter);
        EXPECT_FALSE(TakeFirstRun());  // the second start is no first run
    }
}

using FirstRunDialogTest = MainDialogFixture;

TEST_F(FirstRunDialogTest, TheAboutBoxOpensOnTheFirstStartOnly) {
    struct Start {
        Marker before;
        int aboutBoxes;
    };
    for (const Start& start : {Start{Marker::Absent, 1}, Start{Marker::Dword1, 0}, Start{Marker::String1, 1}}) {
        WriteMarker(start.before);
        bool mainWindowVisibleMeanwhile = true;
        gui_test::DialogDriver closer(gui_test::kAboutCaption, [&](HWND box) {
            mainWindowVisibleMeanwhile = mainWindowHandle && IsWindowVisible(mainWindowHandle);
            gui_test::Click(GetDlgItem(box, IDC_ABOUT_OK));
        });
        ASSERT_NE(Create(), nullptr);
        EXPECT_EQ(closer.Runs(), start.aboutBoxes);
        if (start.aboutBoxes) {
            EXPECT_FALSE(mainWindowVisibleMeanwhile);  // shown before the window is usable
        }
        EXPECT_EQ(ReadMarker().second, 1u);
        dialog_.reset();
    }
}

}  // namespace

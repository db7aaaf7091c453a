#include "ui/system_library.h"

#include <gtest/gtest.h>

namespace {

// However often its entry points are asked for, a library holds one reference: one FreeLibrary lets it go.
TEST(SystemProc, HoldsOneReferenceALibrary) {
    ASSERT_EQ(GetModuleHandleA("comdlg32.dll"), nullptr) << "nothing else in this test loads it";
    for (const char* name : {"GetOpenFileNameW", "GetSaveFileNameW", "CommDlgExtendedError"})
        EXPECT_NE(ui::SystemProc("comdlg32.dll", name), nullptr) << name;
    ASSERT_TRUE(FreeLibrary(GetModuleHandleA("comdlg32.dll")));
    EXPECT_EQ(GetModuleHandleA("comdlg32.dll"), nullptr);
}

}  // namespace

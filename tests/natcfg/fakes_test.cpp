// The fakes other suites build on: which NAT object the configurator gets.
#include <gtest/gtest.h>

#include <memory>

#include "tests/natcfg/natcfg_test_support.h"

namespace {

TEST(FakeRouterInstallation, ARouterReplacedOutOfOrderStaysTheOneCreated) {
    fakes::MessageBoxRecorder boxes;
    auto first = std::make_unique<fakes::FakeRouter>(1);
    auto second = std::make_unique<fakes::FakeRouter>(2);
    first.reset();
    {
        Portolan configurator;
        EXPECT_EQ(configurator.nat.Get(), &second->nat);
    }
    second.reset();
    // With no fake left, creation is refused rather than sent to the platform.
    Portolan configurator;
    EXPECT_FALSE(configurator.nat);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "COM ERROR!");
}

TEST(MessageBoxRecorder, AnswersAsScriptedThenOkAndNestedOnesStandIn) {
    fakes::MessageBoxRecorder outer;
    outer.Answer(IDNO);
    EXPECT_EQ(ui::ShowMessageBox(nullptr, "first", "one", MB_YESNO), IDNO);
    {
        fakes::MessageBoxRecorder inner;
        EXPECT_EQ(ui::ShowMessageBox(nullptr, "second", "two", MB_OK), IDOK);
        EXPECT_EQ(inner.boxes.size(), 1u);
    }
    EXPECT_EQ(ui::ShowMessageBox(nullptr, "third", "three", MB_OK), IDOK);
    ASSERT_EQ(outer.boxes.size(), 2u);
    EXPECT_EQ(outer.boxes[0].text, "first");
    EXPECT_EQ(outer.boxes[0].type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(outer.boxes[1].text, "third");
}

}  // namespace

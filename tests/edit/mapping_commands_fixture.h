#pragma once
// The mapping commands in the real main dialog (the shared fixture) over the fake NAT objects:
// the mappings the tests list, and the three ways a user flips a check box.
#include "tests/gui/main_dialog_fixture.h"
#include "ui/text.h"
#include "ui/tree_view.h"

namespace commands_test {

using gui_test::ExpectedBox;
using gui_test::kAddEditCaption;

inline fakes::MappingValues Mapping(const wchar_t* protocol, long externalPort, const wchar_t* client, long internalPort,
                                    const wchar_t* description, bool enabled = true) {
    fakes::MappingValues values;
    values.protocol = protocol;
    values.externalPort = externalPort;
    values.internalClient = client;
    values.internalPort = internalPort;
    values.description = description;
    values.enabled = enabled ? VARIANT_TRUE : VARIANT_FALSE;
    return values;
}

inline const std::vector<fakes::MappingValues> kThree = {
    Mapping(L"TCP", 8080, L"192.0.2.10", 80, L"web"),
    Mapping(L"UDP", 5000, L"192.0.2.11", 5000, L"voice"),
    Mapping(L"TCP", 2222, L"192.0.2.12", 22, L"ssh", false),
};

class MappingCommandsTest : public MainDialogFixture {
protected:
    void SetUp() override {
        MainDialogFixture::SetUp();
        ASSERT_NE(Create(), nullptr) << GetLastError();
        ASSERT_NE(Tree(), nullptr);
        gui_test::PumpPending();
    }

    enum class Flip { Click, DoubleClick, Space };
    void FlipBy(Flip how, HTREEITEM item) {
        if (how == Flip::Space) {
            TreeView_SelectItem(Tree(), item);
            PressKey(Tree(), VK_SPACE);
        } else {
            ClickAt(CheckBoxPoint(item), how == Flip::Click ? 1 : 2);
        }
    }
};

}  // namespace commands_test

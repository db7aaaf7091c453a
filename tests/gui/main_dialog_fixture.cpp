#include "tests/gui/main_dialog_fixture.h"

#include <cstring>

#include "app/first_run.h"
#include "ui/text.h"
#include "ui/tree_view.h"

namespace gui_test {

ui::UniqueHKey FirstRunMarkerKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, FIRST_RUN_KEY, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return ui::UniqueHKey(key);
}

void SetFirstRunMarker(DWORD value) {
    const ui::UniqueHKey key = FirstRunMarkerKey();
    EXPECT_EQ(RegSetValueExA(key.get(), FIRST_RUN_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS)
        << "the first-run marker";
}

}  // namespace gui_test

void MainDialogFixture::SetUp() {
    gui_test::InitGui();
    gui_test::SetFirstRunMarker(1);
}

void MainDialogFixture::Reset() {
    dialog_.reset();
    // The configurator holds the router's objects: let go of them while the router lives.
    delete sharedConfigurator;
    sharedConfigurator = nullptr;
    router_.reset();
}

fakes::FakeRouter& MainDialogFixture::Router(size_t count) {
    delete sharedConfigurator;
    sharedConfigurator = nullptr;
    router_.reset();  // before the next one installs its NAT object over this one's
    router_ = std::make_unique<fakes::FakeRouter>(count);
    return *router_;
}

HWND MainDialogFixture::Create(service_control_manager& ssdp) {
    dialog_ = std::make_unique<CGatekeelDlg>(ssdp);
    return dialog_->CreateModeless();
}

void MainDialogFixture::Connect(const std::vector<fakes::MappingValues>& values) {
    fakes::FakeRouter& router = Router();
    for (const fakes::MappingValues& v : values) router.AddListed(v);
    if (!dialog_) {
        ASSERT_NE(Create(), nullptr) << GetLastError();
    }
    Click(IDC_REFRESH);
    ASSERT_NE(sharedConfigurator, nullptr);
    ASSERT_EQ(sharedConfigurator->MappingCount(), values.size());
    ASSERT_EQ(Items().size(), values.size());
}

void MainDialogFixture::Connect(size_t count) {
    std::vector<fakes::MappingValues> values;
    for (size_t i = 0; i < count; ++i) values.push_back(fakes::NumberedValues(i));
    Connect(values);
}

std::vector<HTREEITEM> MainDialogFixture::Items() const {
    std::vector<HTREEITEM> items;
    for (HTREEITEM i = TreeView_GetRoot(Tree()); i; i = TreeView_GetNextSibling(Tree(), i)) items.push_back(i);
    return items;
}

std::vector<std::string> MainDialogFixture::Lines() const {
    std::vector<std::string> lines;
    for (HTREEITEM item : Items()) lines.push_back(ui::WideToAnsi(ui::TreeItemText(Tree(), item)));
    return lines;
}

bool MainDialogFixture::RefillQueued() const {
    MSG msg;
    return PeekMessageA(&msg, Window(), WMU_REFILL_TREE, WMU_REFILL_TREE, PM_NOREMOVE);
}

void MainDialogFixture::ExpectBoxes(const std::vector<gui_test::ExpectedBox>& expected) const {
    ASSERT_EQ(boxes_.boxes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i) + ": " + boxes_.boxes[i].text);
        if (expected[i].text) {
            EXPECT_EQ(boxes_.boxes[i].text, expected[i].text);
        }
        EXPECT_EQ(boxes_.boxes[i].caption, expected[i].caption);
        EXPECT_EQ(boxes_.boxes[i].type, expected[i].type);
        EXPECT_EQ(boxes_.boxes[i].owner, expected[i].ownedByMain ? Window() : nullptr);
    }
}

RECT MainDialogFixture::TextRect(HTREEITEM item) const {
    RECT rect{};
    std::memcpy(&rect, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rectangle's place
    SendMessageA(Tree(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

POINT MainDialogFixture::LabelPoint(HTREEITEM item) const {
    const RECT text = TextRect(item);
    return {text.left + 4, (text.top + text.bottom) / 2};
}

POINT MainDialogFixture::CheckBoxPoint(HTREEITEM item) const {
    const RECT text = TextRect(item);
    const LONG y = (text.top + text.bottom) / 2;
    LONG first = -1, last = -1;
    for (LONG x = 0; x < text.left; ++x) {
        TVHITTESTINFO hit{};
        hit.pt = {x, y};
        if (TreeView_HitTest(Tree(), &hit) == item && (hit.flags & TVHT_ONITEMSTATEICON)) {
            if (first < 0) first = x;
            last = x;
        }
    }
    return {first < 0 ? -1 : (first + last) / 2, y};
}

void MainDialogFixture::ClickAt(POINT client, int clicks, bool right) const {
    POINT screen = client;
    ClientToScreen(Tree(), &screen);
    SetForegroundWindow(Window());
    SetCursorPos(screen.x, screen.y);
    gui_test::DeliverInput(Window(), gui_test::MouseClicks(clicks, right));
}

void MainDialogFixture::PressKey(HWND focus, WORD key, WORD modifier, size_t held) const {
    SetForegroundWindow(Window());
    SetFocus(focus);
    const std::vector<INPUT> input = modifier ? gui_test::KeyStroke(key, {modifier}) : gui_test::KeyStroke(key);
    const auto up = input.begin() + static_cast<std::ptrdiff_t>(input.size() / 2);
    gui_test::DeliverInput(Window(), {input.begin(), up});
    for (size_t i = 0; i < held; ++i) gui_test::DeliverInput(Window(), {*(up - 1)});
    gui_test::DeliverInput(Window(), {up, input.end()});
}

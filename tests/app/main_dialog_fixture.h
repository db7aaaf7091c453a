#pragma once
// The main dialog created modeless from template 102, with a recorded message box,
// a fake router when the test asks for one, and the shared configurator reset afterwards.
#include <gtest/gtest.h>

#include <memory>

#include "app/gatekeel_dlg.h"
#include "app/mapping_list.h"
#include "tests/app/gui_support.h"
#include "tests/fakes/fake_nat.h"
#include "tests/fakes/message_box_recorder.h"

class MainDialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::InitGui();
        gui_test::SetFirstRunMarker(1);
    }

    void TearDown() override {
        dialog_.reset();
        // The configurator holds the router's objects: let go of them while the router lives.
        delete sharedConfigurator;
        sharedConfigurator = nullptr;
        router_.reset();
    }

    fakes::FakeRouter& Router(size_t count = 0) {
        router_ = std::make_unique<fakes::FakeRouter>(count);
        return *router_;
    }

    HWND Create(service_control_manager& ssdp) {
        dialog_ = std::make_unique<CGatekeelDlg>(ssdp);
        return dialog_->CreateModeless();
    }
    HWND Create() { return Create(noService_); }

    HWND Window() const { return dialog_->Window(); }
    HWND Item(int id) const { return GetDlgItem(dialog_->Window(), id); }
    HWND Tree() const { return Item(IDC_MAPPING_TREE); }
    std::string Text(int id) const { return ui::WindowText(Item(id)); }
    void Click(int id) const { gui_test::Click(dialog_->Window(), id); }

    fakes::MessageBoxRecorder boxes_;
    service_control_manager noService_;  // opens no service: the panel cannot manage it
    std::unique_ptr<fakes::FakeRouter> router_;
    std::unique_ptr<CGatekeelDlg> dialog_;
};

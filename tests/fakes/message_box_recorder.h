#pragma once
// Records every message box the program shows (owner, text, caption, type) in order
// and answers each from a script, IDOK once the script is used up. Installed through
// ui::SetMessageBoxFunction for its lifetime; the previous box function comes back after.
//   fakes::MessageBoxRecorder boxes;
//   boxes.Answer(IDNO);                       // the first box answers IDNO, later ones IDOK
//   ... code under test ...
//   ASSERT_EQ(boxes.boxes.size(), 1u); EXPECT_EQ(boxes.boxes[0].caption, "ERROR!");
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/message_box.h"

namespace fakes {

struct Box {
    HWND owner;
    std::string text;  // in the ANSI code page, as the program's own texts are written
    std::string caption;
    UINT type;
    std::wstring wideText;  // as shown, whatever its script
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The answer of the next box not yet shown.
    void Answer(int result) { answers_.push_back(result); }

    std::vector<Box> boxes;
    // Runs while a box "is open": after it is recorded, before it is answered.
    std::function<void(const Box&)> whileOpen;

private:
    static int Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
    std::deque<int> answers_;
    ui::MessageBoxFunction previous_ = nullptr;
    MessageBoxRecorder* outer_;  // the recorder this one stands in for while it lives
};

}  // namespace fakes

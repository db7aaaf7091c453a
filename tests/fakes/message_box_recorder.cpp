#include "tests/fakes/message_box_recorder.h"

#include "ui/message_box.h"

namespace fakes {
namespace {
MessageBoxRecorder* current = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder() : outer_(current) {
    current = this;
    previous_ = ui::SetMessageBoxFunction(&MessageBoxRecorder::Show);
}

MessageBoxRecorder::~MessageBoxRecorder() {
    ui::SetMessageBoxFunction(previous_);
    current = outer_;
}

int MessageBoxRecorder::Show(HWND owner, const char* text, const char* caption, UINT type) {
    current->boxes.push_back(Box{owner, text ? text : "", caption ? caption : "", type});
    if (current->answers_.empty()) return IDOK;
    const int answer = current->answers_.front();
    current->answers_.pop_front();
    return answer;
}

}  // namespace fakes

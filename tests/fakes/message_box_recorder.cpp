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
    MessageBoxRecorder& recorder = *current;
    recorder.boxes.push_back(Box{owner, text ? text : "", caption ? caption : "", type});
    if (recorder.whileOpen) {
        const Box shown = recorder.boxes.back();  // the action may show further boxes
        recorder.whileOpen(shown);
    }
    if (recorder.answers_.empty()) return IDOK;
    const int answer = recorder.answers_.front();
    recorder.answers_.pop_front();
    return answer;
}

}  // namespace fakes

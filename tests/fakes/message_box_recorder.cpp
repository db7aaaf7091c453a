#include "tests/fakes/message_box_recorder.h"

#include "ui/message_box.h"
#include "ui/text.h"

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

int MessageBoxRecorder::Show(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    MessageBoxRecorder& recorder = *current;
    const std::wstring shown = text ? text : L"";
    recorder.boxes.push_back(Box{owner, ui::WideToAnsi(shown), ui::WideToAnsi(caption ? caption : L""), type, shown});
    if (recorder.whileOpen) {
        const Box open = recorder.boxes.back();  // the action may show further boxes
        recorder.whileOpen(open);
    }
    if (recorder.answers_.empty()) return IDOK;
    const int answer = recorder.answers_.front();
    recorder.answers_.pop_front();
    return answer;
}

}  // namespace fakes

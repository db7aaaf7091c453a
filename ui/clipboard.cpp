#include "ui/clipboard.h"

#include <cstring>

#include "ui/handles.h"
#include "ui/text.h"

namespace ui {
namespace {

// The clipboard stays open only while the object lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_;
};

// A movable block holding the characters and their terminating zero.
template <class Char>
UniqueHGlobal GlobalText(const std::basic_string<Char>& text) {
    const size_t bytes = (text.size() + 1) * sizeof(Char);
    UniqueHGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block) return block;
    void* memory = GlobalLock(block.get());
    if (!memory) return UniqueHGlobal();
    std::memcpy(memory, text.c_str(), bytes);
    GlobalUnlock(block.get());
    return block;
}

// The clipboard owns the block once it has taken it.
bool Put(UINT format, UniqueHGlobal block) {
    if (!block || !SetClipboardData(format, block.get())) return false;
    block.release();
    return true;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    // Both formats, so a program that reads only the ANSI one gets the text the system would make.
    UniqueHGlobal wide = GlobalText(text);
    UniqueHGlobal ansi = GlobalText(WideToAnsi(text));
    if (!wide || !ansi) return false;
    const OpenClipboardScope clipboard(owner);
    if (!clipboard || !EmptyClipboard()) return false;
    return Put(CF_UNICODETEXT, std::move(wide)) && Put(CF_TEXT, std::move(ansi));
}

}  // namespace ui

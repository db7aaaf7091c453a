#include "ui/clipboard.h"

#include <cstring>

#include "ui/handles.h"

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

UniqueHGlobal GlobalText(const std::string& text) {
    UniqueHGlobal block(GlobalAlloc(GMEM_MOVEABLE, text.size() + 1));
    if (!block) return block;
    void* bytes = GlobalLock(block.get());
    if (!bytes) return UniqueHGlobal();
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block.get());
    return block;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::string& text) {
    UniqueHGlobal block = GlobalText(text);
    if (!block) return false;
    const OpenClipboardScope clipboard(owner);
    if (!clipboard || !EmptyClipboard()) return false;
    if (!SetClipboardData(CF_TEXT, block.get())) return false;
    block.release();  // the clipboard owns it now
    return true;
}

}  // namespace ui

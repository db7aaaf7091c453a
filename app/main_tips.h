#pragma once
// The main dialog's tips: one tooltip control over the three status lines and the mapping
// tree. Its texts are asked of the dialog (TTN_GETDISPINFO) only when a tip is about to
// show, so the status tick costs nothing more.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <string>

class MainTips {
public:
    MainTips() = default;
    ~MainTips();
    MainTips(const MainTips&) = delete;
    MainTips& operator=(const MainTips&) = delete;

    // A tip for each of the dialog's controls with these ids, whose text the dialog gives.
    void Create(HWND dialog, std::initializer_list<int> ids);
    HWND Window() const { return tooltip_; }
    // A mouse move over the tree: once the pointer is over another line, the tip shown goes,
    // so the one that follows asks for that line's text.
    void FollowPointer(HWND tree, const MSG& move);
    // Input for the tree: a mouse move as above; a wheel turn or a key that may scroll moves
    // another line under a resting pointer, so the tip shown goes.
    void FollowInput(HWND tree, const MSG& input);
    // The lines have gone or moved (an item deleted: a refill, a clear): the tip shown goes
    // and the line it was for is forgotten, since a new item may even take its handle.
    void Forget();
    // Hands the text to the control, which reads it after the notification has returned.
    void Answer(NMTTDISPINFOW& request, std::wstring text);

private:
    HWND tooltip_ = nullptr;
    HTREEITEM pointed_ = nullptr;
    std::wstring text_;
};

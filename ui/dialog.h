#pragma once
// A thin dialog framework: a dialog built from a template id, whose messages are
// routed through an ordered event table (first match wins); anything the table
// does not handle gets the dialog manager's default handling.
#include <windows.h>

#include <cstddef>
#include <string>

namespace ui {

// One window message as the dialog procedure received it.
struct Message {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

// What a handler made of a message: handled with a result, or left to the default.
struct Reply {
    bool handled;
    LRESULT value;
};
constexpr Reply Handled(LRESULT value = 0) { return {true, value}; }
constexpr Reply NotHandled() { return {false, 0}; }

constexpr int AnyId = -0x7fffffff;
constexpr int AnyCode = -0x7fffffff;

// A row of an event table: the message, for WM_COMMAND and WM_NOTIFY the control id
// and notification code it must carry, and the member that handles it.
template <class D>
struct EventRow {
    UINT message;
    int id;
    int code;
    Reply (D::*handler)(const Message&);
};

// True when a row applies to the message.
bool RowMatches(UINT rowMessage, int rowId, int rowCode, const Message& message);

// Searches the table in order and runs the first matching row's handler.
template <class D, size_t N>
Reply DispatchEvent(D& dialog, const EventRow<D> (&table)[N], const Message& message) {
    for (const EventRow<D>& row : table) {
        if (RowMatches(row.message, row.id, row.code, message)) return (dialog.*row.handler)(message);
    }
    return NotHandled();
}

class Dialog {
public:
    // A dialog on the template templateId; with no parent, a modal run is owned by
    // the application's main window (when there is one).
    explicit Dialog(UINT templateId, HWND parent = nullptr);
    // A Unicode dialog and its controls are Unicode windows: text in any script survives in its
    // edit fields, which in an ANSI dialog hold the ANSI code page's text.
    enum class Charset { Ansi, Unicode };
    Dialog(UINT templateId, HWND parent, Charset charset);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; the result passed to End, or -1 when the window
    // could not be created.
    INT_PTR DoModal();
    // Creates the dialog modeless (used by tests to drive a dialog by messages).
    HWND CreateModeless(HWND parent = nullptr);
    // Ends a modal run with the result, or destroys a modeless dialog.
    void End(INT_PTR result);

    HWND Window() const { return hwnd_; }
    UINT TemplateId() const { return templateId_; }
    // The result of the last End (IDCANCEL until then).
    INT_PTR Result() const { return result_; }
    // The child control with the id, or nullptr.
    HWND Control(int id) const;

    // Enables or disables each listed control; ids without a control are skipped.
    void EnableControls(BOOL enable, const int* ids, int count) const;
    template <size_t N>
    void EnableControls(BOOL enable, const int (&ids)[N]) const {
        EnableControls(enable, ids, static_cast<int>(N));
    }

protected:
    // WM_INITDIALOG; true lets the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // The dialog's event table; the default handles nothing.
    virtual Reply OnMessage(const Message&) { return NotHandled(); }
    // Default handling of the OK and cancel commands when the table has no row for them.
    virtual void OnOK() { End(IDOK); }
    virtual void OnCancel() { End(IDCANCEL); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    Charset charset_ = Charset::Ansi;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    INT_PTR result_ = IDCANCEL;
};

// Disables the listed controls of a dialog for its life and enables them again, however the scope ends.
class ControlsLock {
public:
    template <size_t N>
    ControlsLock(const Dialog& dialog, const int (&ids)[N]) : dialog_(dialog), ids_(ids), count_(static_cast<int>(N)) {
        dialog_.EnableControls(FALSE, ids_, count_);
    }
    ~ControlsLock() { dialog_.EnableControls(TRUE, ids_, count_); }
    ControlsLock(const ControlsLock&) = delete;
    ControlsLock& operator=(const ControlsLock&) = delete;

private:
    const Dialog& dialog_;
    const int* ids_;
    int count_;
};

// The whole text of a window (a control's caption, an edit field's content).
std::string WindowText(HWND hwnd);
std::wstring WideWindowText(HWND hwnd);

// The DPI at which the program's fixed pixel sizes are given.
constexpr int kBaseDpi = 96;
// The screen's dots per inch (LOGPIXELSY), kBaseDpi when it cannot be read. The program is
// system-DPI aware, so it holds for the whole run.
int ScreenDpi();
// A size given in pixels at kBaseDpi, in pixels of the screen.
int ScaledToScreen(int pixels);

// The wait and arrow cursors.
void ShowWaitCursor();
void ShowArrowCursor();

}  // namespace ui

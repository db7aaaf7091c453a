#include "ui/dialog.h"

#include "ui/app.h"

namespace ui {
namespace {

// Messages whose result the dialog procedure returns itself instead of DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool RowMatches(UINT rowMessage, int rowId, int rowCode, const Message& message) {
    if (rowMessage != message.id) return false;
    int id = AnyId;
    int code = AnyCode;
    if (message.id == WM_COMMAND) {
        id = LOWORD(message.wParam);
        code = HIWORD(message.wParam);
    } else if (message.id == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(message.lParam);
        if (!header) return false;  // a malformed WM_NOTIFY matches no row
        id = static_cast<int>(header->idFrom);
        code = static_cast<int>(header->code);
    }
    return (rowId == AnyId || rowId == id) && (rowCode == AnyCode || rowCode == code);
}

Dialog::Dialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

Dialog::Dialog(UINT templateId, HWND parent, Charset charset)
    : templateId_(templateId), parent_(parent), charset_(charset) {}

Dialog::~Dialog() {
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::DoModal() {
    modal_ = true;
    const HWND owner = parent_ ? parent_ : MainWindow();
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    const INT_PTR result =
        charset_ == Charset::Unicode ? DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), owner, &Dialog::DialogProc, self)
                 : DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, &Dialog::DialogProc, self);
    modal_ = false;
    return result;
}

HWND Dialog::CreateModeless(HWND parent) {
    modal_ = false;
    const HWND owner = parent ? parent : parent_;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    return charset_ == Charset::Unicode ? CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), owner, &Dialog::DialogProc, self)
                    : CreateDialogParamA(ResourceInstance(), MAKEINTRESOURCEA(templateId_), owner, &Dialog::DialogProc, self);
}

void Dialog::End(INT_PTR result) {
    result_ = result;
    if (!hwnd_) return;
    if (modal_) {
        EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

HWND Dialog::Control(int id) const { return hwnd_ ? GetDlgItem(hwnd_, id) : nullptr; }

void Dialog::EnableControls(BOOL enable, const int* ids, int count) const {
    for (int i = 0; i < count; ++i) {
        if (HWND control = Control(ids[i])) EnableWindow(control, enable);
    }
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        dialog->hwnd_ = hwnd;
        return dialog->OnInitDialog();
    }
    dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (!dialog) return FALSE;  // before WM_INITDIALOG or after the object let go
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
        return FALSE;
    }
    return dialog->Route(message, wParam, lParam);
}

INT_PTR Dialog::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    const Reply reply = OnMessage(Message{message, wParam, lParam});
    if (reply.handled) {
        if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(reply.value);
        if (hwnd_) SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, reply.value);
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

template <typename Char, int(WINAPI* Length)(HWND), int(WINAPI* Get)(HWND, Char*, int)>
std::basic_string<Char> TextOf(HWND hwnd) {
    const int length = Length(hwnd);
    if (length <= 0) return {};
    std::basic_string<Char> text(static_cast<size_t>(length) + 1, Char{});
    const int copied = Get(hwnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::string WindowText(HWND hwnd) { return TextOf<char, &GetWindowTextLengthA, &GetWindowTextA>(hwnd); }
std::wstring WideWindowText(HWND hwnd) { return TextOf<wchar_t, &GetWindowTextLengthW, &GetWindowTextW>(hwnd); }

int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

int ScaledToScreen(int pixels) { return MulDiv(pixels, ScreenDpi(), kBaseDpi); }

void ShowWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
void ShowArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

}  // namespace ui

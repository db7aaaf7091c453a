// The smallest Win32 dialog program: the yardstick for Gatekeel's start-up time.
#include <windows.h>

#include <vector>

namespace {

// An in-memory template: one modal dialog with a caption and an OK button.
std::vector<WORD> Template() {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) { t.push_back(LOWORD(v)); t.push_back(HIWORD(v)); };
    auto text = [&](const wchar_t* s) { do t.push_back(static_cast<WORD>(*s)); while (*s++); };
    auto align = [&] { if (t.size() % 2) t.push_back(0); };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME);
    dword(0);
    t.push_back(1);  // controls
    t.push_back(10); t.push_back(10); t.push_back(160); t.push_back(60);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    text(L"Minimal dialog");
    align();
    dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
    dword(0);
    t.push_back(55); t.push_back(35); t.push_back(50); t.push_back(14);
    t.push_back(IDOK);
    t.push_back(0xFFFF); t.push_back(0x0080);  // button class
    text(L"OK");
    t.push_back(0);  // no creation data
    return t;
}

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return message == WM_INITDIALOG;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::vector<WORD> t = Template();
    DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr, Proc, 0);
    return 0;
}

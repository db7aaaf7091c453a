#include "listfile/file_dialogs.h"

#include <commdlg.h>

#include <iterator>

#include "ui/system_library.h"

namespace listfile {
namespace {

constexpr wchar_t kDefaultName[] = L"router-mappings.csv";
// The longest path the platform takes; the dialogs never write more than the buffer holds.
constexpr size_t kPathChars = 32768;
constexpr UINT kCopyGlobalData = 0x0049;  // WM_COPYGLOBALDATA, by which a drop's files come

std::wstring CurrentDirectory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

}  // namespace

ChosenFile AskForFile(HWND owner, bool save) {
    std::wstring path(kPathChars, L'\0');
    if (save) path.replace(0, std::size(kDefaultName) - 1, kDefaultName);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    // Spreadsheets save "Unicode text" as .txt: the open dialog offers every file as well.
    dialog.lpstrFilter = save ? L"CSV files (*.csv)\0*.csv\0" : L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = save ? L"Export Mapping List" : L"Import Mapping List";
    dialog.lpstrDefExt = L"csv";
    // No OFN_NOCHANGEDIR, which Windows' open dialog ignores: the directory is put back below.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    using FileDialogFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    using ErrorFn = DWORD(WINAPI*)();
    const auto run = ui::ProcAs<FileDialogFn>(ui::SystemProc("comdlg32.dll", save ? "GetSaveFileNameW" : "GetOpenFileNameW"));
    const auto error = ui::ProcAs<ErrorFn>(ui::SystemProc("comdlg32.dll", "CommDlgExtendedError"));
    if (!run || !error) return {{}, ERROR_PROC_NOT_FOUND};
    const std::wstring directory = CurrentDirectory();
    const BOOL chosen = run(&dialog);
    if (!directory.empty()) SetCurrentDirectoryW(directory.c_str());
    if (!chosen) return {{}, error()};
    path.resize(std::char_traits<wchar_t>::length(path.c_str()));
    return {path, 0};
}

std::wstring DroppedFile(HDROP drop) {
    using QueryFn = UINT(WINAPI*)(HDROP, UINT, wchar_t*, UINT);
    using FinishFn = void(WINAPI*)(HDROP);
    const auto query = ui::ProcAs<QueryFn>(ui::SystemProc("shell32.dll", "DragQueryFileW"));
    const auto finish = ui::ProcAs<FinishFn>(ui::SystemProc("shell32.dll", "DragFinish"));
    if (!query || !finish) return {};
    std::wstring path;
    if (query(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
        path.assign(query(drop, 0, nullptr, 0) + 1, L'\0');
        path.resize(query(drop, 0, path.data(), static_cast<UINT>(path.size())));
    }
    finish(drop);
    return path;
}

void AcceptDroppedFiles(HWND window) {
    // What DragAcceptFiles does, without shell32.
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_ACCEPTFILES);
    // Run as administrator, the window hears nothing from Explorer's lower integrity level unless it
    // admits the drop's messages; looked up, as Windows before 7 lacks it.
    using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    const auto filter = ui::ProcAs<FilterFn>(GetProcAddress(GetModuleHandleA("user32.dll"), "ChangeWindowMessageFilterEx"));
    if (!filter) return;
    for (UINT message : {UINT{WM_DROPFILES}, UINT{WM_COPYDATA}, kCopyGlobalData}) filter(window, message, MSGFLT_ALLOW, nullptr);
}

}  // namespace listfile

#pragma once
// The list's file as the user names it: the platform's open and save dialogs, and a file dropped on
// the main window. comdlg32 and shell32 are bound at run time from the system directory.
#include <windows.h>
#include <shellapi.h>  // HDROP only

#include <string>

namespace listfile {

// The path chosen in the platform's dialog: empty after Cancel, and with the dialog's own error
// (CommDlgExtendedError) where it failed.
struct ChosenFile {
    std::wstring path;
    DWORD failure = 0;
};
// The open dialog leaves the current directory as it was: a folder on a USB stick chosen there must
// not stay this program's, or the stick cannot be removed while Gatekeel runs.
ChosenFile AskForFile(HWND owner, bool save);

// The path of a drop of a single file, empty for a drop of several; the drop is finished either way.
std::wstring DroppedFile(HDROP drop);

// The window takes dropped files, also from Explorer when Gatekeel runs as administrator.
void AcceptDroppedFiles(HWND window);

}  // namespace listfile

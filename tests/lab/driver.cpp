// Acts as the user on a running gatekeel.exe from outside its process: finds the
// main window, presses buttons, fills the Add/Edit dialog, reads and answers
// message boxes, and reads the tree's lines and check marks.
//
//   driver STEP ARGS... [-- STEP ARGS...]...
//
// Steps run in order; the first failing step prints "FAIL\t<why>" and ends the
// run with exit code 1. Texts are read as Unicode and printed as UTF-8, with \r, \n,
// \t and \\ escaped.
// Clicks are posted, as a user's are; "sync", "idle" and "nobox" wait until the
// program has handled them, whatever the machine's speed.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/lab/driver_support.h"
#include "ui/handles.h"

namespace {

using namespace lab;

constexpr char kMainCaptionPrefix[] = "Gatekeel -- ";
constexpr int kFileNameField = 0x47c;  // cmb13: the file dialogs' name field
// Generous: on a busy machine a Wine program may take many seconds to react, and a
// deadline costs nothing when the thing waited for comes.
constexpr DWORD kDefaultWaitMs = 120000;
constexpr DWORD kStartWaitMs = 300000;

class Driver {
public:
    void Run(const std::vector<std::string>& step) {
        const std::string& name = step[0];
        auto arg = [&](size_t i) -> const std::string& {
            if (i >= step.size()) Fail("step " + name + " needs more arguments");
            return step[i];
        };
        auto number = [&](size_t i, long fallback) { return i < step.size() ? std::strtol(step[i].c_str(), nullptr, 0) : fallback; };

        if (name == "main") FindMain(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "click") Click(Main(), static_cast<int>(number(1, 0)));
        else if (name == "dialog") current_ = WaitDialog(arg(1), static_cast<DWORD>(number(2, kDefaultWaitMs)));
        else if (name == "set") SetText(static_cast<int>(number(1, 0)), arg(2), static_cast<DWORD>(number(3, kDefaultWaitMs)));
        else if (name == "press") Click(Current(), static_cast<int>(number(1, 0)));
        else if (name == "command") PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(number(1, 0), 1), 0);
        else if (name == "gone") WaitGone(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "box") current_ = WaitBox(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "nobox") NoBox(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "sync") Sync(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "idle") WaitIdle(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "tree") PrintTree();
        else if (name == "select") Select(static_cast<int>(number(1, 0)));
        else if (name == "toggle") Toggle(static_cast<int>(number(1, 0)), step.size() > 2 ? step[2] : "click");
        else if (name == "alive") Alive();
        else if (name == "sysmsg") PrintSystemMessage(static_cast<HRESULT>(std::strtoul(arg(1).c_str(), nullptr, 16)));
        else if (name == "time-refresh") TimeRefresh(number(1, 0), static_cast<DWORD>(number(2, 300000)));
        else if (name == "time-import") TimeImport(arg(1), number(2, 0), static_cast<DWORD>(number(3, 600000)));
        else if (name == "startup") PrintStartupTime(arg(1), arg(2), static_cast<DWORD>(number(3, kStartWaitMs)), kDefaultWaitMs);
        else if (name == "close") Close(static_cast<DWORD>(number(1, kDefaultWaitMs)));
        else if (name == "windows") PrintWindows();
        else if (name == "text") Print("TEXT\t" + Escape(WindowText(Control(Current(), static_cast<int>(number(1, 0))))));
        else if (name == "tip") ShowTip(arg(1), static_cast<DWORD>(number(2, kDefaultWaitMs)));
        else if (name == "waittext") WaitText(static_cast<int>(number(1, 0)), arg(2), static_cast<DWORD>(number(3, kDefaultWaitMs)));
        else Fail("unknown step " + name);
    }

private:
    HWND main_ = nullptr;
    HWND current_ = nullptr;
    DWORD pid_ = 0;
    ui::UniqueHandleObject process_;
    unsigned markers_ = 0;

    HWND Main() {
        if (!main_ || !IsWindow(main_)) FindMain(kDefaultWaitMs);
        return main_;
    }

public:
    // A new batch of steps starts at the main window, as a new run would.
    void BeginBatch() {
        if (main_ && !IsWindow(main_)) main_ = nullptr;
        current_ = main_;
    }

private:
    HWND Current() {
        if (!current_) Main();
        if (!current_ || !IsWindow(current_)) Fail("no current dialog or box");
        return current_;
    }

    void FindMain(DWORD waitMs) {
        const double deadline = NowMs() + waitMs;
        do {
            for (HWND window : TopLevelDialogs(0)) {
                if (WindowText(window).rfind(kMainCaptionPrefix, 0) == 0) {
                    Attach(window);
                    return;
                }
            }
            Sleep(20);
        } while (NowMs() < deadline);
        Fail("no main window");
    }

    void Attach(HWND window) {
        main_ = current_ = window;
        pid_ = ProcessOf(window);
        process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                       PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                                   FALSE, pid_));
        if (!process_) Fail("cannot open the program's process");
    }

    HWND Control(HWND window, int id) {
        HWND control = GetDlgItem(window, id);
        if (!control) Fail("no control " + std::to_string(id));
        return control;
    }

    // Posted, as a user's click is: the handler may open a modal box and not return.
    void Click(HWND window, int id) {
        HWND control = Control(window, id);
        if (!IsWindowEnabled(control)) Fail("control " + std::to_string(id) + " is disabled");
        if (!IsWindowEnabled(window)) Fail("the window of control " + std::to_string(id) + " is disabled");
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    }

    // Sent from a helper thread: a validation box opened by the change keeps the send
    // from returning, and that box is then the program's answer.
    void SetText(int id, const std::string& text, DWORD waitMs) {
        HWND control = Control(Current(), id);
        if (!IsWindowEnabled(control)) Fail("field " + std::to_string(id) + " is disabled");
        // A validation box opened by the change keeps the send from returning, and a send from
        // a second thread of ours was seen never to arrive under Wine: the send only starts the
        // change, whose effect (the text shown, or a box) is what is waited for.
        DWORD_PTR ignored = 0;
        const std::wstring wide = FromUtf8(text);
        SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_NORMAL, 100, &ignored);
        const double deadline = NowMs() + waitMs;
        while (WindowText(control) != text && !FindBox(Shown::OrHidden)) {
            if (NowMs() > deadline) Fail("field " + std::to_string(id) + " did not take its text within " + Seconds(waitMs));
            Sleep(10);
        }
    }

    static std::string BoxText(HWND box) {
        return Escape(WindowText(box)) + "\t" + Escape(WindowText(GetDlgItem(box, kBoxTextId)));
    }

    HWND FindBox(Shown shown = Shown::Only) {
        for (HWND window : TopLevelDialogs(pid_, shown))
            if (window != main_ && IsMessageBox(window)) return window;
        return nullptr;
    }

    // Posts an invisible marker to the program's UI thread and waits until it has been
    // handled. Posted messages are handled in order, so whatever was posted before it (a
    // click) has been dispatched by then; the loop of a modal box or dialog handles it too.
    // The tree's insert-mark colour carries it: it keeps any value and is drawn only with
    // an insert mark, which the program never shows.
    void SyncUntil(double deadline, DWORD waitMs) {
        HWND tree = Tree();
        const COLORREF marker = 0x00A00000 | (++markers_ & 0xFFFFF);
        if (!PostMessageA(tree, TVM_SETINSERTMARKCOLOR, 0, static_cast<LPARAM>(marker)))
            Fail("cannot post to the program's tree");
        for (;;) {
            DWORD_PTR seen = 0;
            const double left = deadline - NowMs();
            const UINT sendMs = left > 1 ? static_cast<UINT>(left) : 1;
            if (SendMessageTimeoutA(tree, TVM_GETINSERTMARKCOLOR, 0, 0, SMTO_NORMAL, sendMs, &seen) && seen == marker)
                return;
            if (!IsWindow(tree)) Fail("the main window has gone");
            if (NowMs() >= deadline) Fail("the program did not handle a posted message within " + Seconds(waitMs));
            Sleep(10);
        }
    }

    void Sync(DWORD waitMs) { SyncUntil(NowMs() + waitMs, waitMs); }

    // Two markers: the second is posted once the first was handled, so it also waits for
    // what the handlers before the first posted in their turn (a refill, the list's lines).
    void Settle(double deadline, DWORD waitMs) {
        SyncUntil(deadline, waitMs);
        SyncUntil(deadline, waitMs);
    }

    HWND WaitBox(DWORD waitMs) {
        Main();
        const double deadline = NowMs() + waitMs;
        do {
            if (HWND box = FindBox()) {
                Sync(kDefaultWaitMs);  // its loop runs, so it is set up, before it is read
                Print("BOX\t" + BoxText(box));
                return box;
            }
            Sleep(20);
        } while (NowMs() < deadline);
        Fail("no message box");
    }

    // No box came of what was done: once the program has handled all of it, none exists.
    void NoBox(DWORD waitMs) {
        Main();
        Settle(NowMs() + waitMs, waitMs);
        if (HWND box = FindBox(Shown::OrHidden)) Fail("unexpected box: " + BoxText(box));
    }

    HWND WaitDialog(const std::string& caption, DWORD waitMs) {
        Main();
        const double deadline = NowMs() + waitMs;
        do {
            for (HWND window : TopLevelDialogs(pid_))
                if (window != main_ && WindowText(window) == caption) return window;
            if (HWND box = FindBox()) Fail("a box instead of the dialog: " + BoxText(box));
            Sleep(20);
        } while (NowMs() < deadline);
        Fail("no dialog \"" + caption + "\"");
    }

    // Waits until the window it pressed on has closed.
    void WaitGone(DWORD waitMs) {
        HWND window = current_;
        const double deadline = NowMs() + waitMs;
        while (window && IsWindow(window) && IsWindowVisible(window)) {
            if (NowMs() > deadline) Fail("the dialog or box did not close");
            Sleep(20);
        }
        current_ = main_;
    }

    // Waits until a control of the current window shows the text.
    void WaitText(int id, const std::string& text, DWORD waitMs) {
        HWND control = Control(Current(), id);
        const double deadline = NowMs() + waitMs;
        std::string shown;
        while ((shown = WindowText(control)) != text) {
            if (NowMs() > deadline) Fail("control " + std::to_string(id) + " shows \"" + Escape(shown) + "\"");
            Sleep(50);
        }
    }

    void Alive() {
        Sync(kDefaultWaitMs);
        Print("ALIVE");
    }

    // Idle: the program has handled everything posted to it, Refresh is enabled again,
    // and no box or dialog is open.
    void WaitIdle(DWORD waitMs) {
        Main();
        const double deadline = NowMs() + waitMs;
        for (;;) {
            Settle(deadline, waitMs);
            if (HWND box = FindBox(Shown::OrHidden)) Fail("a box is open: " + BoxText(box));
            std::string busy;
            for (HWND window : TopLevelDialogs(pid_, Shown::OrHidden))
                if (window != main_) busy = "the dialog \"" + WindowText(window) + "\" is open";
            if (busy.empty() && !IsWindowEnabled(Control(main_, IDC_REFRESH))) busy = "Refresh is disabled";
            if (busy.empty()) return;
            if (NowMs() > deadline) Fail("the main window did not become idle: " + busy);
            Sleep(20);
        }
    }

    HWND Tree() { return Control(Main(), IDC_MAPPING_TREE); }

    void PrintTree() {
        const std::vector<HTREEITEM> items = RootItems(Tree());
        const auto count = SendMessageA(Tree(), TVM_GETCOUNT, 0, 0);
        Print("TREE\t" + std::to_string(count));
        for (HTREEITEM item : items) {
            const TreeLine line = ReadItem(Tree(), process_.get(), item);
            Print("ITEM\t" + std::to_string(line.checked) + "\t" + std::to_string(line.data) + "\t" + Escape(line.text));
        }
    }

    HTREEITEM Item(int index) {
        const std::vector<HTREEITEM> items = RootItems(Tree());
        if (index < 0 || static_cast<size_t>(index) >= items.size()) Fail("no tree item " + std::to_string(index));
        return items[static_cast<size_t>(index)];
    }

    void Select(int index) {
        if (!SendMessageA(Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(index))))
            Fail("could not select item " + std::to_string(index));
    }

    void Toggle(int index, const std::string& how) {
        ToggleTreeItem(Tree(), process_.get(), Item(index), index, how);
    }

    HWND ProgramTooltip() {
        Main();
        for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr));)
            if (ProcessOf(tip) == pid_) return tip;
        Fail("the program has no tooltip control");
    }

    // Moves the real pointer over a control of the main window ("item:N": a tree line) and
    // prints the tip once it shows a text other than the one shown before the move.
    void ShowTip(const std::string& target, DWORD waitMs) {
        const HWND tip = ProgramTooltip();
        const std::string before = IsWindowVisible(tip) ? WindowText(tip) : "";
        RECT rect;
        if (target.rfind("item:", 0) == 0) {
            rect = LabelRect(Tree(), process_.get(), Item(std::atoi(target.c_str() + 5)));
            MapWindowPoints(Tree(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
        } else {
            GetWindowRect(Control(Main(), std::atoi(target.c_str())), &rect);
        }
        MovePointerTo(rect);
        const double deadline = NowMs() + waitMs;
        std::string shown;
        while ((shown = IsWindowVisible(tip) ? WindowText(tip) : "").empty() || shown == before) {
            if (NowMs() > deadline) Fail("no new tip over " + target + " within " + Seconds(waitMs) + "; before: " + Escape(before));
            Sleep(20);
        }
        Print("TIP\t" + Escape(shown));
    }

    // From the click on Refresh to the last of the expected lines in the tree. A later refresh
    // starts with the last read's lines shown: its first line is marked, so that only a tree
    // emptied and filled again since the click counts.
    static constexpr LPARAM kStaleLine = -1;  // the program numbers its lines from 0

    // Marks the first line, so that a new read of the list shows in it.
    void MarkFirstLine() {
        if (HTREEITEM first = RootItem(Tree())) SetItemData(Tree(), process_.get(), first, kStaleLine);
    }

    // Waits until the list shows the expected lines of a new read and the refresh is over; the time
    // of the last line.
    double WaitForNewList(long expected, double start, DWORD waitMs, const std::string& what) {
        HWND tree = Tree();
        double lastLine = 0;
        for (;;) {
            const auto count = static_cast<long>(SendMessageA(tree, TVM_GETCOUNT, 0, 0));
            if (count == expected && lastLine == 0 && NowMs() - start > 30) {
                HTREEITEM first = RootItem(tree);
                LPARAM data = kStaleLine;
                if (!first || (ReadItemData(tree, process_.get(), first, data) && data != kStaleLine)) lastLine = NowMs();
            }
            if (lastLine != 0 && IsWindowEnabled(Control(main_, IDC_REFRESH))) return lastLine;
            if (HWND box = FindBox()) Fail("box during " + what + ": " + BoxText(box));
            if (NowMs() - start > waitMs) Fail(what + " did not list " + std::to_string(expected) + " lines");
            Sleep(2);
        }
    }

    static void PrintMs(const char* name, double ms) {
        char line[64];
        std::snprintf(line, sizeof line, "%s\t%.1f", name, ms);
        Print(line);
    }

    void TimeRefresh(long expected, DWORD waitMs) {
        MarkFirstLine();
        const double start = NowMs();
        Click(Main(), IDC_REFRESH);
        PrintMs("REFRESH_MS", WaitForNewList(expected, start, waitMs, "the refresh") - start);
    }

    // From the file chosen in the open dialog to the summary, by which the list shows the expected
    // lines anew (the program shows them before its summary).
    void TimeImport(const std::string& path, long expected, DWORD waitMs) {
        PostMessageA(Main(), WM_COMMAND, MAKEWPARAM(ID_IMPORT_LIST, 1), 0);
        current_ = WaitDialog("Import Mapping List", kDefaultWaitMs);
        SetText(kFileNameField, path, kDefaultWaitMs);
        MarkFirstLine();
        const double start = NowMs();
        Click(current_, IDOK);
        HWND summary = nullptr;
        while (!(summary = FindBox())) {
            if (NowMs() - start > waitMs) Fail("no summary of the import");
            Sleep(2);
        }
        const double summarised = NowMs();
        Print("BOX\t" + BoxText(summary));
        LPARAM first = kStaleLine;
        if (HTREEITEM item = RootItem(Tree())) ReadItemData(Tree(), process_.get(), item, first);
        if (SendMessageA(Tree(), TVM_GETCOUNT, 0, 0) != expected || first == kStaleLine) Fail("no new list of the import at its summary");
        Click(summary, IDOK);
        while (IsWindow(summary)) Sleep(2);
        PrintMs("IMPORT_MS", summarised - start);
    }

    void Close(DWORD waitMs) {
        Click(Main(), IDOK);
        if (WaitForSingleObject(process_.get(), waitMs) != WAIT_OBJECT_0) Fail("the program did not end");
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        Print("EXIT\t" + std::to_string(code));
    }
};

}  // namespace

namespace {

bool RunBatch(Driver& driver, const std::vector<std::string>& words) {
    std::vector<std::vector<std::string>> steps(1);
    for (const std::string& word : words) {
        if (word == "--") steps.emplace_back();
        else steps.back().push_back(word);
    }
    driver.BeginBatch();
    try {
        for (const auto& step : steps)
            if (!step.empty()) driver.Run(step);
    } catch (const Failure& failure) {
        Print("FAIL\t" + failure.why);
        return false;
    }
    return true;
}

}  // namespace

// "driver serve" reads one batch per line, words separated by tabs, and ends each
// answer with "DONE": one process for a whole scenario, since each Wine start costs a second.
int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // plain \n line ends for the shell
    Driver driver;
    if (argc == 2 && std::string(argv[1]) == "serve") {
        _setmode(_fileno(stdin), _O_BINARY);
        std::string line;
        int c;
        for (;;) {
            line.clear();
            while ((c = std::getchar()) != EOF && c != '\n') line += static_cast<char>(c);
            if (c == EOF && line.empty()) return 0;
            std::vector<std::string> words(1);
            for (char ch : line) {
                if (ch == '\t') words.emplace_back();
                else words.back() += ch;
            }
            RunBatch(driver, words);
            Print("DONE");
        }
    }
    return RunBatch(driver, std::vector<std::string>(argv + 1, argv + argc)) ? 0 : 1;
}

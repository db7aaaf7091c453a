// Export List... and Import List... in the real main dialog against the fake NAT objects: the
// platform's file dialogs, the file on disk, a dropped file, the progress dialog and the summary.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>  // DROPFILES

#include <gtest/gtest.h>

#include <cstring>

#include "listfile/ansi_text.h"
#include "listfile/file_access.h"
#include "listfile/mapping_file.h"
#include "res/resource.h"
#include "tests/gui/main_dialog_fixture.h"
#include "ui/handles.h"
#include "ui/text.h"

namespace {

constexpr int kFileNameField = 0x47c;  // cmb13: the file dialogs' name field
constexpr char kImportCaption[] = "Import Mapping List";
constexpr char kHeader[] = "Protocol,External port,Internal client,Internal port,Enabled,Description\r\n";

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    ASSERT_EQ(listfile::WriteFileReplacing(path, bytes), 0u);
}

std::string BytesOf(const std::wstring& path) {
    std::string bytes;
    EXPECT_EQ(listfile::ReadFileStart(path, 1 << 20, bytes), 0u);
    return bytes;
}

std::wstring CurrentDirectory() {
    std::wstring directory(MAX_PATH, L'\0');
    directory.resize(GetCurrentDirectoryW(MAX_PATH, directory.data()));
    return directory;
}

// Names the file in a file dialog and presses its OK button.
std::function<void(HWND)> Choose(const std::wstring& path) {
    return [path](HWND dialog) {
        SetDlgItemTextW(dialog, kFileNameField, path.c_str());
        gui_test::Click(GetDlgItem(dialog, IDOK));
    };
}

class ListCommandsTest : public MainDialogFixture {
protected:
    void SetUp() override {
        MainDialogFixture::SetUp();
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::wstring& name : Files()) DeleteFileW((folder_ + name).c_str());
        RemoveDirectoryW(folder_.c_str());
        MainDialogFixture::TearDown();
    }

    std::wstring Path(const wchar_t* name) const { return folder_ + name; }
    // The names in the test's folder: what was written, and no temporary file beside it.
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        const HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
    // A file dropped on the main window, as Explorer drops it.
    void Drop(const std::wstring& path) {
        const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
        const HGLOBAL drop = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        std::memcpy(files + 1, path.c_str(), path.size() * sizeof(wchar_t));
        GlobalUnlock(drop);
        SendMessageW(Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);  // the drop is finished there
    }
    void Command(int id) { SendMessageA(Window(), WM_COMMAND, MAKEWPARAM(id, 1), 0); }
    int Reads() const { return router_->collection().enumerator.resets; }

    const std::wstring folder_ = ui::AnsiToWide(::testing::TempDir()) + L"gk-lists-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
};

TEST_F(ListCommandsTest, ExportWritesTheListWithTheUsersListSeparator) {
    // A German or French Windows separates lists with ";", and its spreadsheet expects it in a CSV file.
    constexpr char kInternational[] = "Control Panel\\International";
    char before[16] = ",";
    DWORD size = sizeof before;
    RegGetValueA(HKEY_CURRENT_USER, kInternational, "sList", RRF_RT_REG_SZ, nullptr, before, &size);
    RegSetKeyValueA(HKEY_CURRENT_USER, kInternational, "sList", REG_SZ, ";", 2);
    Connect(3);
    const std::wstring path = Path(L"router-mappings.csv");
    gui_test::DialogDriver driver("Export Mapping List", Choose(path));
    Command(ID_EXPORT_LIST);
    RegSetKeyValueA(HKEY_CURRENT_USER, kInternational, "sList", REG_SZ, before, static_cast<DWORD>(std::strlen(before) + 1));
    ASSERT_TRUE(driver.Ran());
    const std::string bytes = BytesOf(path);
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBFProtocol;External port;Internal client;", 0), 0u) << bytes;
    const listfile::ReadResult read = listfile::ReadMappingList(bytes, &listfile::DecodeAnsiFile);
    ASSERT_TRUE(read.faults.empty()) << ui::WideToAnsi(listfile::FaultList(read.faults));
    ASSERT_EQ(read.mappings.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const PortMapping& written = read.mappings[i].mapping;
        PortMapping listed = sharedConfigurator->mappings[i];
        listed.externalIPAddress = written.externalIPAddress;  // the file keeps no external address
        EXPECT_EQ(MappingLine(written), MappingLine(listed));
        EXPECT_EQ(written.enabled != 0, listed.enabled != 0) << i;
    }
    EXPECT_EQ(Files(), std::vector<std::wstring>{L"router-mappings.csv"}) << "no temporary file stays";
    EXPECT_TRUE(boxes_.boxes.empty());
}

// A spreadsheet holds the earlier file open and lets nobody write or delete it: the export says so and leaves
// the file as it was, nothing beside it; once let go, the file is replaced and keeps its attributes.
TEST_F(ListCommandsTest, ExportOverAFileOpenElsewhereSaysSoAndAReplaceKeepsItsAttributes) {
    Connect(2);
    const std::wstring path = Path(L"backup.csv");
    WriteBytes(path, "the earlier backup");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ui::UniqueHandleObject held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    for (bool open : {true, false}) {
        SCOPED_TRACE(open ? "open elsewhere" : "let go");
        if (!open) held.reset();
        boxes_.boxes.clear();
        // The file dialog, then its question whether to replace the file.
        gui_test::DialogDriver driver("Export Mapping List", [&](HWND dialog) {
            GetDlgItem(dialog, kFileNameField) ? Choose(path)(dialog) : gui_test::Click(GetDlgItem(dialog, IDYES));
        });
        Command(ID_EXPORT_LIST);
        EXPECT_EQ(driver.Runs(), 2);
        EXPECT_EQ(Files(), std::vector<std::wstring>{L"backup.csv"}) << "nothing stays beside it";
        if (open) {
            ASSERT_NO_FATAL_FAILURE(ExpectBoxes({{nullptr, "Export Mapping List", MB_OK | MB_ICONERROR, true}}));
            EXPECT_EQ(boxes_.boxes[0].wideText.find(L"Gatekeel could not write " + path + L": the file is open in another "
                                                    L"program, perhaps a spreadsheet. Close it there and export again.\r\n\r\n"),
                      0u);
            EXPECT_EQ(BytesOf(path), "the earlier backup");
        } else {
            EXPECT_TRUE(boxes_.boxes.empty());
            EXPECT_EQ(BytesOf(path).rfind("\xEF\xBB\xBFProtocol,", 0), 0u);
            EXPECT_EQ(GetFileAttributesW(path.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
                      DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE});
        }
    }
}

TEST_F(ListCommandsTest, ADroppedFileAddsWhatTheRouterLacksAndReportsEveryOtherLine) {
    Connect(2);  // TCP 8000 to 192.0.2.10:80, UDP 8001 to 192.0.2.11:81
    const std::wstring path = Path(L"dropped.csv");
    WriteBytes(path, std::string(kHeader) +
                         "TCP,8000,192.0.2.10,80,yes,web\r\n"
                         "udp,8001,192.0.2.99,81,yes,voice\r\n"
                         "TCP,9000,192.0.2.20,90,no,new one\r\n"
                         "UDP,9001,192.0.2.21,91,,\r\n"
                         "TCP,9002,192.0.2.22,92,yes,third\r\n");
    router_->collection().add.Push({});
    router_->collection().add.Push(fakes::Fail(E_ACCESSDENIED));
    bool lockedWhileAdding = true;
    router_->collection().onAdd = [&] {
        for (int id : REFRESH_LOCKED_IDS) lockedWhileAdding = lockedWhileAdding && !IsWindowEnabled(Item(id));
    };
    Drop(path);
    const auto& calls = router_->collection().addCalls;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].externalPort, 9000);
    EXPECT_EQ(calls[0].enabled, VARIANT_FALSE);
    EXPECT_EQ(calls[0].description, L"new one");
    EXPECT_EQ(calls[2].enabled, VARIANT_TRUE);
    EXPECT_TRUE(lockedWhileAdding);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxes({{nullptr, kImportCaption, MB_OK | MB_ICONWARNING, true}}));
    EXPECT_EQ(boxes_.boxes[0].wideText,
              L"2 added, 1 already on the router, 1 in conflict, 1 failed, 0 not tried.\r\n\r\n"
              L"Line 2: TCP 8000 to 192.0.2.10:80: already on the router.\r\n"
              L"Line 3: UDP 8001 to 192.0.2.99:81: the router holds UDP 8001 for 192.0.2.11:81, left as it is.\r\n"
              L"Line 5: UDP 9001 to 192.0.2.21:91: failed: the router refused it (" +
                  ErrorCodeText(E_ACCESSDENIED) + L").\r\n");
    // Read once before the Adds; the list after them comes from the collection, which holds what they added.
    EXPECT_EQ(Reads(), 2);
    EXPECT_EQ(TreeView_GetCount(Tree()), 4u);
    EXPECT_EQ(FindWindowA("#32770", kImportCaption), nullptr) << "the progress has gone";
}

TEST_F(ListCommandsTest, CancelStopsAfterTheLineBeingAddedAndTheRestIsNotTried) {
    Connect(1);
    const std::wstring path = Path(L"three.csv");
    WriteBytes(path, std::string(kHeader) + "TCP,9000,192.0.2.20,90\r\nTCP,9001,192.0.2.21,91\r\nTCP,9002,192.0.2.22,92\r\n");
    std::wstring shownWhileAdding;
    router_->collection().onAdd = [&] {
        const HWND progress = FindWindowA("#32770", kImportCaption);
        if (!progress || !shownWhileAdding.empty()) return;
        shownWhileAdding = ui::WideWindowText(GetDlgItem(progress, IDC_IMPORT_STEP));
        gui_test::Click(GetDlgItem(progress, IDCANCEL));
    };
    Drop(path);
    EXPECT_EQ(shownWhileAdding, L"Adding 1 of 3: TCP 9000 to 192.0.2.20:90");
    EXPECT_EQ(router_->collection().addCalls.size(), 1u);
    ASSERT_NO_FATAL_FAILURE(ExpectBoxes({{nullptr, kImportCaption, MB_OK | MB_ICONWARNING, true}}));
    EXPECT_EQ(boxes_.boxes[0].wideText,
              L"1 added, 0 already on the router, 0 in conflict, 0 failed, 2 not tried.\r\n\r\n"
              L"Line 3: TCP 9001 to 192.0.2.21:91: not tried (the import was cancelled).\r\n"
              L"Line 4: TCP 9002 to 192.0.2.22:92: not tried (the import was cancelled).\r\n");
    EXPECT_EQ(TreeView_GetCount(Tree()), 2u);
}

TEST_F(ListCommandsTest, AFileWithFaultsNamesTheirLinesAndChangesNothing) {
    Connect(1);
    const std::wstring path = Path(L"faulty.csv");
    WriteBytes(path, std::string(kHeader) + "TCP,80a,192.0.2.20,80\r\nSCTP,81,192.0.2.21,81\r\nTCP,82,192.0.2.22,82\r\n");
    const std::wstring directory = CurrentDirectory();
    // Into the file's folder first, as a user browses there.
    gui_test::DialogDriver driver("Import Mapping List", [&](HWND dialog) {
        Choose(folder_)(dialog);
        Choose(L"faulty.csv")(dialog);
    });
    Command(ID_IMPORT_LIST);
    ASSERT_TRUE(driver.Ran());
    EXPECT_EQ(CurrentDirectory(), directory) << "the file's folder must not stay the program's";
    ASSERT_NO_FATAL_FAILURE(ExpectBoxes({{nullptr, kImportCaption, MB_OK | MB_ICONERROR, true}}));
    EXPECT_EQ(boxes_.boxes[0].wideText, path + L" cannot be imported, so nothing on the router has changed:\r\n\r\n" +
                                            L"Line 2: the external port \"80a\" is not a number from 1 to 65535.\r\n" +
                                            L"Line 3: the protocol \"SCTP\" is neither TCP nor UDP.\r\n");
    EXPECT_TRUE(router_->collection().addCalls.empty());
    EXPECT_EQ(Reads(), 1) << "the router was not read again";
}

// While the list is being read, the list's file waits: its command opens no file dialog until the read is over.
TEST_F(ListCommandsTest, WhileTheListIsReadItsFileWaits) {
    Connect(2);
    gui_test::DialogDriver driver("Import Mapping List", gui_test::ClickOn(IDCANCEL));
    router_->collection().enumerator.onNext = [&] { Command(ID_IMPORT_LIST); };
    Click(IDC_REFRESH);
    EXPECT_FALSE(driver.Ran());
    Command(ID_IMPORT_LIST);
    EXPECT_TRUE(driver.Ran());
}

// Ctrl+S and Ctrl+O in the main window open the file dialogs, each only when its command can run.
TEST_F(ListCommandsTest, KeysOpenTheFileDialogsWhenTheirCommandsCanRun) {
    struct Case { const char* name; WORD key; bool refreshed; const char* dialog; };  // dialog "": none opens
    const Case cases[] = {{"Ctrl+O before a refresh", 'O', false, "Import Mapping List"},
                          {"Ctrl+S before a refresh", 'S', false, ""},
                          {"Ctrl+S after a refresh", 'S', true, "Export Mapping List"}};
    Router(1);
    Create();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.refreshed) Click(IDC_REFRESH);
        std::string opened;
        gui_test::DialogDriver driver(*c.dialog ? c.dialog : "Export Mapping List", [&](HWND dialog) {
            opened = ui::WindowText(dialog);
            gui_test::ClickOn(IDCANCEL)(dialog);
        });
        SetForegroundWindow(Window());
        SetFocus(Item(IDOK));
        gui_test::DeliverInput(Window(), gui_test::KeyStroke(c.key, {VK_CONTROL}));
        EXPECT_EQ(opened, c.dialog);
    }
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_TRUE(IsWindow(Window()));
}

}  // namespace

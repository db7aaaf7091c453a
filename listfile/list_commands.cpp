#include "listfile/list_commands.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "listfile/ansi_text.h"
#include "listfile/file_access.h"
#include "listfile/file_dialogs.h"
#include "listfile/import_progress.h"
#include "listfile/mapping_file.h"
#include "natcfg/portolan.h"
#include "res/resource.h"
#include "ui/app.h"
#include "ui/flag_scope.h"
#include "ui/message_box.h"
#include "ui/text.h"
#include "ui/text_rules.h"

using listfile::LineOutcome;

namespace {

constexpr char kExportCaption[] = "Export Mapping List";
constexpr char kImportCaption[] = "Import Mapping List";

// The user's list separator where it is ";" (so a double click opens the file in the spreadsheet
// of a German or French Windows), "," otherwise.
char ListSeparator() {
    const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, nullptr, 0);
    if (length <= 0) return ',';
    std::wstring separator(static_cast<size_t>(length), L'\0');
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator.data(), length);
    return std::wstring(separator.c_str()) == L";" ? ';' : ',';
}

std::wstring Hex(DWORD code) {
    wchar_t text[12] = {};
    swprintf(text, std::size(text), L"%04lX", static_cast<unsigned long>(code));
    return text;
}

// The system's text for a failed read or write of the file.
std::wstring FileErrorText(DWORD error) { return ErrorCodeText(HRESULT_FROM_WIN32(error)); }

// The report of a line the import tried to add: its outcome, and why where it failed.
void Report(const AddOutcome& outcome, listfile::LineReport& report) {
    report.outcome = LineOutcome::Failed;
    switch (outcome.kind) {
    case AddOutcome::Added:
        report.outcome = LineOutcome::Added;
        return;
    case AddOutcome::AlreadyListed:
        // The plan read the router just before: only a line listed twice by the router itself gets here.
        report.outcome = LineOutcome::AlreadyThere;
        return;
    case AddOutcome::Busy:
        report.failure = L"the router says the mapping is in use";
        return;
    case AddOutcome::Refused:
        report.failure = ui::WithInserts(L"the router refused it (%1)", {ErrorCodeText(outcome.code)});
        return;
    case AddOutcome::NoObject:
        report.failure = L"Windows handed back no mapping for it";
        return;
    case AddOutcome::NotKept:
        report.failure = L"the router accepted it but holds no such mapping: its table may be full, or it refuses "
                         L"mappings for that address";
        return;
    case AddOutcome::NotOpen:
        report.failure = L"the connection to the router was lost";
        return;
    case AddOutcome::Unexpected:
        report.failure = L"Gatekeel ran out of memory";
        return;
    }
}

bool IsToAdd(const listfile::LineReport& report) { return report.outcome == LineOutcome::ToAdd; }

// A line that is not on the router after the import.
bool AnyMissing(const std::vector<listfile::LineReport>& reports) {
    return std::any_of(reports.begin(), reports.end(), [](const auto& report) {
        return report.outcome != LineOutcome::Added && report.outcome != LineOutcome::AlreadyThere;
    });
}

}  // namespace

bool ListCommands::CanImport() const { return !commandRunning_ && !host_.Refreshing(); }

bool ListCommands::CanExport() const { return CanImport() && host_.ListRead() && host_.Configurator(); }

int ListCommands::Box(const std::wstring& text, UINT type) const {
    return ui::ShowMessageBox(dialog_.Window(), text, kImportCaption, type);
}

void ListCommands::OnExport() {
    if (!CanExport()) return;
    const ui::FlagScope running(commandRunning_);
    const std::string bytes = listfile::WriteMappingList(host_.Configurator()->mappings, ListSeparator());
    // Said before a file is chosen: the list could not be put back from such a file.
    if (const std::wstring refusal = listfile::ExportRefusal(bytes); !refusal.empty()) {
        ui::ShowMessageBox(dialog_.Window(), refusal, kExportCaption, MB_OK | MB_ICONERROR);
        return;
    }
    const std::wstring path = ChooseFile(true, kExportCaption);
    if (path.empty()) return;
    if (const DWORD error = listfile::WriteFileReplacing(path, bytes)) {
        const wchar_t* why = listfile::IsHeldElsewhere(error)
                                 ? L"Gatekeel could not write %1: the file is open in another program, perhaps a "
                                   L"spreadsheet. Close it there and export again.\r\n\r\n%2"
                                 : L"Gatekeel could not write %1:\r\n\r\n%2";
        ui::ShowMessageBox(dialog_.Window(), ui::WithInserts(why, {path, FileErrorText(error)}), kExportCaption,
                           MB_OK | MB_ICONERROR);
    }
}

void ListCommands::OnImport() {
    if (!CanImport()) return;
    std::wstring path;
    {
        const ui::FlagScope running(commandRunning_);
        path = ChooseFile(false, kImportCaption);
    }
    if (!path.empty()) ImportFile(path);
}

void ListCommands::OnDropFiles(HDROP drop) {
    const std::wstring path = listfile::DroppedFile(drop);
    if (!CanImport()) return;
    if (path.empty()) {
        Box(L"Drop a single mapping list on Gatekeel to import it.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ImportFile(path);
}

std::wstring ListCommands::ChooseFile(bool save, const char* caption) const {
    const listfile::ChosenFile chosen = listfile::AskForFile(dialog_.Window(), save);
    if (chosen.failure) {
        ui::ShowMessageBox(dialog_.Window(),
                           ui::WithInserts(L"Gatekeel could not show the file dialog (error 0x%1).", {Hex(chosen.failure)}),
                           caption, MB_OK | MB_ICONERROR);
    }
    return chosen.path;
}

void ListCommands::ImportFile(const std::wstring& path) {
    if (!CanImport()) return;
    const ui::FlagScope running(commandRunning_);
    std::string bytes;
    if (const DWORD error = listfile::ReadFileStart(path, listfile::kMaxFileBytes + 1, bytes)) {
        Box(ui::WithInserts(L"Gatekeel could not read %1:\r\n\r\n%2", {path, FileErrorText(error)}), MB_OK | MB_ICONERROR);
        return;
    }
    // The whole file is checked before the router is touched.
    const listfile::ReadResult file = listfile::ReadMappingList(bytes, &listfile::DecodeAnsiFile);
    if (!file.faults.empty()) {
        Box(ui::WithInserts(L"%1 cannot be imported, so nothing on the router has changed:\r\n\r\n%2",
                            {path, listfile::FaultList(file.faults)}),
            MB_OK | MB_ICONERROR);
        return;
    }
    Portolan* configurator = host_.ReadRouter() ? host_.Configurator() : nullptr;
    if (!configurator) return;  // the refresh has said why
    std::vector<listfile::LineReport> reports = listfile::PlanImport(configurator->mappings, file.mappings);
    AddPlanned(*configurator, reports);
    if (host_.Closing()) return;
    // The router's collection holds what the Adds added: the list shows it without a second read.
    host_.ShowList();
    Box(listfile::ImportSummary(reports), MB_OK | (AnyMissing(reports) ? MB_ICONWARNING : MB_ICONINFORMATION));
}

void ListCommands::AddPlanned(Portolan& configurator, std::vector<listfile::LineReport>& reports) {
    const size_t count = static_cast<size_t>(std::count_if(reports.begin(), reports.end(), IsToAdd));
    if (count == 0) return;
    const ui::ControlsLock locked = host_.LockControls();
    CImportProgressDlg progress(dialog_.Window());
    progress.Open();
    size_t done = 0;
    for (listfile::LineReport& report : reports) {
        if (!IsToAdd(report)) continue;
        progress.ShowStep(listfile::AddingText(done + 1, count, report.mapping), done, count);
        ui::HandlePendingMessages();
        // Stopped after the line before: this line and the rest stay to add, not tried.
        if (progress.Cancelled() || host_.Closing()) break;
        Report(configurator.TryAddMapping(report.mapping), report);
        ++done;
    }
}

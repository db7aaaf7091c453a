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
#include "ui/system_library.h"
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

// Why an Add failed, for the summary.
std::wstring FailureReason(const AddOutcome& outcome) {
    switch (outcome.kind) {
    case AddOutcome::Busy:
        return L"the router says the mapping is in use";
    case AddOutcome::Refused:
        return L"the router refused it (" + ErrorCodeText(outcome.code) + L")";
    case AddOutcome::NoObject:
        return L"Windows handed back no mapping for it";
    case AddOutcome::NotKept:
        return L"the router accepted it but holds no such mapping: its table may be full, or it refuses mappings "
               L"for that address";
    case AddOutcome::NotOpen:
        return L"the connection to the router was lost";
    default:
        return L"Gatekeel ran out of memory";
    }
}

LineOutcome OutcomeOf(const AddOutcome& outcome) {
    if (outcome.Succeeded()) return LineOutcome::Added;
    // The plan read the router just before: only a line listed twice by the router itself gets here.
    if (outcome.kind == AddOutcome::AlreadyListed) return LineOutcome::AlreadyThere;
    return LineOutcome::Failed;
}

size_t CountToAdd(const std::vector<listfile::PlannedLine>& plan) {
    return static_cast<size_t>(std::count_if(plan.begin(), plan.end(),
                                             [](const auto& line) { return line.action == listfile::LineAction::Add; }));
}

// A line that is not on the router after the import.
bool AnyMissing(const std::vector<listfile::LineReport>& reports) {
    return std::any_of(reports.begin(), reports.end(), [](const auto& report) {
        return report.outcome != LineOutcome::Added && report.outcome != LineOutcome::AlreadyThere;
    });
}

}  // namespace

bool ListCommands::CanImport() const {
    // The refresh button is disabled exactly while the list is being read.
    const HWND refresh = dialog_.Control(IDC_REFRESH);
    return !commandRunning_ && refresh && IsWindowEnabled(refresh);
}

bool ListCommands::CanExport() const { return CanImport() && listRead_ && sharedConfigurator; }

int ListCommands::Box(const std::wstring& text, UINT type) const {
    return ui::ShowMessageBox(dialog_.Window(), text, kImportCaption, type);
}

void ListCommands::OnExport() {
    if (!CanExport()) return;
    const ui::FlagScope running(commandRunning_);
    const std::string bytes = listfile::WriteMappingList(sharedConfigurator->mappings, ListSeparator());
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
        Box(L"Gatekeel could not read " + path + L":\r\n\r\n" + FileErrorText(error), MB_OK | MB_ICONERROR);
        return;
    }
    // The whole file is checked before the router is touched.
    const listfile::ReadResult file = listfile::ReadMappingList(bytes, &listfile::DecodeAnsiFile);
    if (!file.faults.empty()) {
        Box(path + L" cannot be imported, so nothing on the router has changed:\r\n\r\n" +
                listfile::FaultList(file.faults),
            MB_OK | MB_ICONERROR);
        return;
    }
    if (!host_.ReadRouter() || !sharedConfigurator) return;  // the refresh has said why
    const std::vector<listfile::PlannedLine> plan = listfile::PlanImport(sharedConfigurator->mappings, file.mappings);
    std::vector<listfile::LineReport> reports = listfile::ReportsBeforeAdding(plan);
    AddPlanned(*sharedConfigurator, plan, reports);
    if (host_.Closing()) return;
    Box(listfile::ImportSummary(reports), MB_OK | (AnyMissing(reports) ? MB_ICONWARNING : MB_ICONINFORMATION));
    host_.ReadRouter();  // the list shows the router as it is now
}

void ListCommands::AddPlanned(Portolan& configurator, const std::vector<listfile::PlannedLine>& plan,
                              std::vector<listfile::LineReport>& reports) {
    const size_t count = CountToAdd(plan);
    if (count == 0) return;
    host_.LockControls(true);
    CImportProgressDlg progress(dialog_.Window());
    progress.Open();
    size_t done = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        if (plan[i].action != listfile::LineAction::Add) continue;
        progress.ShowStep(listfile::AddingText(done + 1, count, plan[i].listed.mapping), done, count);
        ui::HandlePendingMessages();
        // Stopped after the line before: this line and the rest stay not tried.
        if (progress.Cancelled() || host_.Closing()) break;
        const AddOutcome outcome = configurator.TryAddMapping(plan[i].listed.mapping);
        reports[i].outcome = OutcomeOf(outcome);
        if (reports[i].outcome == LineOutcome::Failed) reports[i].reason = FailureReason(outcome);
        ++done;
    }
    host_.LockControls(false);
}

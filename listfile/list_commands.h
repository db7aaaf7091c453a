#pragma once
// "Export List..." and "Import List...": the main window's commands on the list's file. Export
// writes the mappings the list shows; import checks the whole file, reads the router, adds the
// lines the router does not hold yet, reports every line in one summary and reads the router again.
#include <windows.h>
#include <shellapi.h>  // HDROP only: shell32 is bound at run time

#include <string>
#include <vector>

#include "listfile/import_plan.h"
#include "ui/dialog.h"

// What the commands need of the main window.
class ListHost {
public:
    // A refresh of the list: reads the router as it is now; true when the list was read.
    virtual bool ReadRouter() = 0;
    // Disables (or enables again) the controls a refresh disables.
    virtual void LockControls(bool locked) = 0;
    // The window is closing: long work stops after its current step.
    virtual bool Closing() const = 0;

protected:
    ~ListHost() = default;
};

class Portolan;

class ListCommands {
public:
    // commandRunning as for the mapping commands; listRead: the last refresh read the router's list.
    ListCommands(const ui::Dialog& mainDialog, ListHost& host, bool& commandRunning, const bool& listRead)
        : dialog_(mainDialog), host_(host), commandRunning_(commandRunning), listRead_(listRead) {}

    // Offered exactly when they can run: never while a command or a refresh runs; export needs a read list.
    bool CanImport() const;
    bool CanExport() const;

    void OnExport();
    // Asks for the file in the platform's open dialog.
    void OnImport();
    // A file chosen or dropped.
    void ImportFile(const std::wstring& path);
    // WM_DROPFILES: a single file is imported; the drop is finished either way.
    void OnDropFiles(HDROP drop);

private:
    int Box(const std::wstring& text, UINT type) const;
    // The path chosen in the file dialog, empty after Cancel; a dialog that failed says so.
    std::wstring ChooseFile(bool save, const char* caption) const;
    // The Adds of the plan's lines, with the progress shown and Cancel looked at between them.
    void AddPlanned(Portolan& configurator, const std::vector<listfile::PlannedLine>& plan,
                    std::vector<listfile::LineReport>& reports);

    const ui::Dialog& dialog_;
    ListHost& host_;
    bool& commandRunning_;
    const bool& listRead_;
};

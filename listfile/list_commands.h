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

class Portolan;

// What the commands need of the main window.
class ListHost {
public:
    // The configurator of the list the window shows; nullptr before the first refresh made it.
    virtual Portolan* Configurator() const = 0;
    // The list is being read: the list's file waits.
    virtual bool Refreshing() const = 0;
    // The last refresh read the router's list, which the window shows.
    virtual bool ListRead() const = 0;
    // A refresh of the list: reads the router as it is now; true when the list was read.
    virtual bool ReadRouter() = 0;
    // Shows the configurator's list again, without reading the router.
    virtual void ShowList() = 0;
    // The controls a refresh disables, disabled for the scope's life.
    virtual ui::ControlsLock LockControls() = 0;
    // The window is closing: long work stops after its current step.
    virtual bool Closing() const = 0;

protected:
    ~ListHost() = default;
};

class ListCommands {
public:
    // commandRunning as for the mapping commands.
    ListCommands(const ui::Dialog& mainDialog, ListHost& host, bool& commandRunning)
        : dialog_(mainDialog), host_(host), commandRunning_(commandRunning) {}

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
    // The Adds of the lines to add, each report brought up to date, with the progress shown and Cancel
    // looked at between them.
    void AddPlanned(Portolan& configurator, std::vector<listfile::LineReport>& reports);

    const ui::Dialog& dialog_;
    ListHost& host_;
    bool& commandRunning_;
};

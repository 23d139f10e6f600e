#pragma once
// The main window as the engine sees it, played by a test: every box is recorded in
// the order shown, questions and the password prompt answer from scripts, and the
// window's own operations keep what they were told. Tests that need more of the
// window (tables, the archive browser) derive from it. It also serves as the
// recording boxes of a real window under test.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backup/BackupRun.h"
#include "catalogue/DefinitionList.h"
#include "catalogue/JobList.h"
#include "restore/RestoreRun.h"
#include "util/RunHost.h"

namespace vb::test {

class FakeHost : public RunHost, public JobListHost, public BackupRunHost, public RestoreRunHost {
public:
    // Boxes: "Fehler: <text>" for the error box, "Meldung: <text>" for the plain box.
    std::vector<std::string> FShown;
    std::vector<std::string> FQuestions;  // texts of the confirmation boxes and disk prompts
    std::deque<bool> FAnswers;            // answers to the next questions; "&Nein" when empty
    std::deque<int> FChoices;             // buttons chosen in the next boxes of Choose; the default when empty
    std::deque<std::optional<std::string>> FPasswords;  // answers of the password prompt; cancel when empty
    std::vector<std::string> FPasswordPrompts;          // "<title> <label>" of each prompt
    bool FCanPrompt = true;  // false: an unattended pass without a display
    // Window state.
    std::string FStatus;
    bool FBusy = false;
    std::function<void()> FOnBreathe;  // what the user does while a run lets the window breathe
    std::string FDatenDir;
    std::string FRestoreRoot;
    std::vector<std::string> FTrashed;
    std::vector<std::string> FSelectorItems;
    int FLoads = 0;
    int FFills = 0;
    TJob FJob;
    JobList* FList = nullptr;                // LoadCurrentJob copies its current row into FJob
    DefinitionList* FDefinitions = nullptr;  // when set, LoadCurrentJob switches it too

    void ShowError(const std::string& text) override { FShown.push_back("Fehler: " + text); }
    bool ConfirmYesNo(const std::string& text) override { return Answer(text); }
    bool ConfirmOkCancel(const std::string& text) override { return Answer(text); }
    void ShowMessage(const std::string& text) override { FShown.push_back("Meldung: " + text); }
    int Choose(const std::string& text, const std::vector<std::string>& buttons) override {
        std::string shown = "Frage: " + text;
        for (const std::string& button : buttons) shown += " [" + button + "]";
        FShown.push_back(shown);
        if (FChoices.empty()) return 0;
        const int choice = FChoices.front();
        FChoices.pop_front();
        return choice;
    }
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override {
        FPasswordPrompts.push_back(title + " " + label);
        if (FPasswords.empty()) return std::nullopt;
        auto answer = FPasswords.front();
        FPasswords.pop_front();
        return answer;
    }
    bool CanPrompt() const override { return FCanPrompt; }
    void SetStatus(const std::string& text) override { FStatus = text; }
    void SetProgress(int, int) override {}
    void SetBusy(bool busy) override { FBusy = busy; }
    void Breathe() override {
        if (FOnBreathe) FOnBreathe();
    }

    std::string DatenDir() const override { return FDatenDir; }
    bool MoveToTrash(const std::string& path) override {
        FTrashed.push_back(path);
        return true;
    }
    void LoadCurrentJob() override {
        ++FLoads;
        if (FList) FList->CopyCurrentJob(FJob);
        if (FDefinitions) FDefinitions->OpenForJob(FJob);
    }
    void FillJobSelectors() override {
        ++FFills;
        if (FList) FSelectorItems = FList->Names();
    }

    void SetDefinitionGridUpdates(bool) override {}
    void CloseBrowserArchive() override {}
    void ShowArchiveInBrowser(const std::string&) override {}

    std::vector<std::size_t> SelectedBrowserEntries() const override { return {}; }
    void BrowserArchiveChanged(const std::string&) override {}
    void ClearBrowserSelection() override {}
    std::string GetRestoreRoot() const override { return FRestoreRoot; }

private:
    bool Answer(const std::string& question) {
        FQuestions.push_back(question);
        if (FAnswers.empty()) return false;
        const bool answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
};

}  // namespace vb::test

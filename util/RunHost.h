#pragma once
// What the program asks and tells (Boxes), and what a long operation (backup run,
// restore run, unattended pass) needs from its surroundings besides (RunHost). The
// implementation of the boxes is chosen once when the program starts: message boxes
// over the window, or lines on standard error for a pass without a display. Tests
// install one that records every box. No engine code shows a widget itself.
#include <optional>
#include <string>
#include <vector>

namespace vb {

class Boxes {
public:
    virtual ~Boxes() = default;

    // The error box: title "Fehler", one OK button.
    virtual void ShowError(const std::string& text) = 0;
    // The confirmation box: title "Bestätigen", "&Ja" / "&Nein"; true for "&Ja".
    virtual bool ConfirmYesNo(const std::string& text) = 0;
    // The disk prompts: title "Bestätigen", OK / "Abbrechen"; true for OK.
    virtual bool ConfirmOkCancel(const std::string& text) = 0;
    // The plain message box: title "Vorlix-Backup", one OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // A question with buttons of its own (title "Bestätigen"): the index of the button
    // chosen. The first button is the default, and the answer where nobody can choose.
    virtual int Choose(const std::string& text, const std::vector<std::string>& buttons) {
        (void)text, (void)buttons;
        return 0;
    }
    // The password prompt; nullopt when the user cancels (or nobody can answer).
    virtual std::optional<std::string> AskPassword(const std::string& title, const std::string& label) = 0;
    // False when nobody can answer a prompt (an unattended pass without a display):
    // AskPassword then answers from the environment or not at all.
    virtual bool CanPrompt() const = 0;
};

class RunHost : public Boxes {
public:
    // The text of the main window's status bar.
    virtual void SetStatus(const std::string& text) = 0;
    // The progress bar beside the status text; a maximum of 0 hides it.
    virtual void SetProgress(int position, int maximum) = 0;
    // The hourglass cursor while a run works; the start commands are disabled
    // meanwhile, since a second run on the same archive would spoil it.
    virtual void SetBusy(bool busy) = 0;
    // Let the window process pending events (repaint, stay reachable).
    virtual void Breathe() = 0;
};

// Whether an error was reported and the first error text, for the record of a pass:
// error boxes, and plain boxes that report a failure ("Fehler beim Packen!").
class ReportedErrors {
public:
    void NoteError(const std::string& text) {
        FAny = true;
        if (FFirst.empty()) FFirst = text;
    }
    void NoteMessage(const std::string& text) {
        if (FFirst.empty() && text.rfind("Fehler", 0) == 0) FFirst = text;
    }
    bool Any() const { return FAny; }
    const std::string& First() const { return FFirst; }

private:
    bool FAny = false;
    std::string FFirst;
};

// A RunHost without a window: the boxes go to `boxes`, status and progress nowhere,
// and the errors are noted.
class BoxesOnlyHost : public RunHost {
public:
    explicit BoxesOnlyHost(Boxes& boxes) : FBoxes(boxes) {}
    void ShowError(const std::string& text) override {
        FErrors.NoteError(text);
        FBoxes.ShowError(text);
    }
    bool ConfirmYesNo(const std::string& text) override { return FBoxes.ConfirmYesNo(text); }
    bool ConfirmOkCancel(const std::string& text) override { return FBoxes.ConfirmOkCancel(text); }
    void ShowMessage(const std::string& text) override {
        FErrors.NoteMessage(text);
        FBoxes.ShowMessage(text);
    }
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override {
        return FBoxes.AskPassword(title, label);
    }
    bool CanPrompt() const override { return FBoxes.CanPrompt(); }
    void SetStatus(const std::string&) override {}
    void SetProgress(int, int) override {}
    void SetBusy(bool) override {}
    void Breathe() override {}
    const ReportedErrors& Errors() const { return FErrors; }

private:
    Boxes& FBoxes;
    ReportedErrors FErrors;
};

}  // namespace vb

#pragma once
// The boxes of an unattended pass without a display, where nobody can answer: each
// box is one line on standard error ("<title>: <text>", a question followed by
// " -> <answer>"), questions and volume prompts answer "&Nein" and "Abbrechen", and
// the password comes from VORLIXBACKUP_PASSWORD_FILE (its first line) or
// VORLIXBACKUP_PASSWORD.
#include <cstdio>

#include "util/RunHost.h"

namespace vb {

class StandardErrorBoxes : public Boxes {
public:
    // Writes the lines to `out` (standard error unless a test gives another stream).
    explicit StandardErrorBoxes(std::FILE* out = stderr) : FOut(out) {}

    void ShowError(const std::string& text) override;
    bool ConfirmYesNo(const std::string& text) override;
    bool ConfirmOkCancel(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    // The password from the environment, nullopt when none is given there. A password
    // file that cannot be read (missing, no regular file) throws vb::Error naming it.
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override;
    bool CanPrompt() const override { return false; }

private:
    void WriteLine(const std::string& title, const std::string& text, const std::string& answer = {});

    std::FILE* FOut;
};

}  // namespace vb

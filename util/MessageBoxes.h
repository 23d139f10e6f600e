#pragma once
// The program's three message boxes and the password prompt. In an unattended pass
// without a display nobody can answer a box, so each box is written to standard
// error as one line instead, volume prompts answer "Abbrechen", and the password
// comes from VORLIXBACKUP_PASSWORD_FILE (its first line) or VORLIXBACKUP_PASSWORD.
#include <QString>
#include <optional>

class QWidget;

namespace vb::gui {

// Switches all boxes to standard error (headless unattended pass) or back.
void SetBoxesToStandardError(bool on);
bool BoxesGoToStandardError();

// Error box: title "Fehler", one OK button, arrow cursor while open.
void ErrorBox(QWidget* parent, const QString& text);
// Confirmation box: title "Bestätigen", "&Ja" / "&Nein", arrow cursor while open.
// Without a display the answer is "&Nein".
bool ConfirmYesNoBox(QWidget* parent, const QString& text);
// Disk prompt: title "Bestätigen", OK / "Abbrechen". Without a display: "Abbrechen".
bool ConfirmOkCancelBox(QWidget* parent, const QString& text);
// Plain message box: title "Vorlix-Backup", one OK button.
void MessageBox(QWidget* parent, const QString& text);

// The password prompt: caller's title and label, `*` echo, OK / "Abbrechen", client
// area 320 pixels wide. Nullopt unless OK was pressed. Without a display the
// password comes from the environment, and nullopt when none is given there; a
// password file that cannot be read (missing, no regular file) throws vb::Error
// naming it.
std::optional<QString> PasswordPrompt(QWidget* parent, const QString& title, const QString& label);

}  // namespace vb::gui

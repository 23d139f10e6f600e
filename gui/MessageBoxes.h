#pragma once
// The program's three message boxes and the password prompt as widgets, and the
// boxes of the main window made of them. (Without a display the program uses
// StandardErrorBoxes instead.)
#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

#include "util/RunHost.h"

namespace vb::gui {

// Error box: title "Fehler", one OK button, arrow cursor while open.
void ErrorBox(QWidget* parent, const QString& text);
// Confirmation box: title "Bestätigen", "&Ja" / "&Nein", arrow cursor while open.
bool ConfirmYesNoBox(QWidget* parent, const QString& text);
// Disk prompt: title "Bestätigen", OK / "Abbrechen".
bool ConfirmOkCancelBox(QWidget* parent, const QString& text);
// Plain message box: title "Vorlix-Backup", one OK button.
void MessageBox(QWidget* parent, const QString& text);
// Question with its own buttons: title "Bestätigen", the first button the default,
// arrow cursor while open. The index of the button pressed (Escape: the last one).
int ChooseBox(QWidget* parent, const QString& text, const QStringList& buttons);

// The password prompt: caller's title and label, `*` echo, OK / "Abbrechen", client
// area 320 pixels wide. Nullopt unless OK was pressed.
std::optional<QString> PasswordPrompt(QWidget* parent, const QString& title, const QString& label);

// The boxes above, over `parent`; somebody is there to answer.
class WidgetBoxes : public Boxes {
public:
    explicit WidgetBoxes(QWidget* parent) : FParent(parent) {}
    void ShowError(const std::string& text) override;
    bool ConfirmYesNo(const std::string& text) override;
    bool ConfirmOkCancel(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    int Choose(const std::string& text, const std::vector<std::string>& buttons) override;
    std::optional<std::string> AskPassword(const std::string& title, const std::string& label) override;
    bool CanPrompt() const override { return true; }

private:
    QPointer<QWidget> FParent;
};

}  // namespace vb::gui

#include "gui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <string>

#include "gui/PasswordDialog.h"

namespace vb::gui {
namespace {

const QString kAppTitle = QStringLiteral("Vorlix-Backup");

// Shows the normal arrow while a box is open and restores the previous cursor.
class ArrowCursor {
public:
    ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

// Returns the index of the pressed button among `captions` (-1 when closed otherwise).
int RunBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
           const QStringList& captions, int defaultIndex) {
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    box.setObjectName("MessageBox");
    QList<QPushButton*> buttons;
    for (const QString& caption : captions) {
        auto role = buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        buttons << box.addButton(caption, role);
    }
    box.setDefaultButton(buttons.value(defaultIndex));
    box.setEscapeButton(buttons.last());
    box.exec();
    return buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
}

}  // namespace

void ErrorBox(QWidget* parent, const QString& text) {
    ArrowCursor arrow;
    RunBox(parent, QMessageBox::Critical, "Fehler", text, {"OK"}, 0);
}

bool ConfirmYesNoBox(QWidget* parent, const QString& text) {
    ArrowCursor arrow;
    return RunBox(parent, QMessageBox::Question, QString::fromUtf8("Bestätigen"), text, {"&Ja", "&Nein"}, 0) == 0;
}

bool ConfirmOkCancelBox(QWidget* parent, const QString& text) {
    return RunBox(parent, QMessageBox::Question, QString::fromUtf8("Bestätigen"), text, {"OK", "Abbrechen"}, 0) == 0;
}

void MessageBox(QWidget* parent, const QString& text) {
    RunBox(parent, QMessageBox::Information, kAppTitle, text, {"OK"}, 0);
}

int ChooseBox(QWidget* parent, const QString& text, const QStringList& buttons) {
    ArrowCursor arrow;
    return RunBox(parent, QMessageBox::Question, QString::fromUtf8("Bestätigen"), text, buttons, 0);
}

std::optional<QString> PasswordPrompt(QWidget* parent, const QString& title, const QString& label) {
    PasswordDialog dialog(parent, title, label);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.password();
}

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

void WidgetBoxes::ShowError(const std::string& text) { ErrorBox(FParent, Q(text)); }
bool WidgetBoxes::ConfirmYesNo(const std::string& text) { return ConfirmYesNoBox(FParent, Q(text)); }
bool WidgetBoxes::ConfirmOkCancel(const std::string& text) { return ConfirmOkCancelBox(FParent, Q(text)); }
void WidgetBoxes::ShowMessage(const std::string& text) { MessageBox(FParent, Q(text)); }

int WidgetBoxes::Choose(const std::string& text, const std::vector<std::string>& buttons) {
    QStringList captions;
    for (const std::string& caption : buttons) captions << Q(caption);
    return ChooseBox(FParent, Q(text), captions);
}

std::optional<std::string> WidgetBoxes::AskPassword(const std::string& title, const std::string& label) {
    const auto password = PasswordPrompt(FParent, Q(title), Q(label));
    if (!password) return std::nullopt;
    return password->toStdString();
}

}  // namespace vb::gui

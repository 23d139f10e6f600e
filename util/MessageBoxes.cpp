#include "util/MessageBoxes.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/AtomicFile.h"
#include "util/Error.h"
#include "util/PasswordDialog.h"

namespace vb::gui {
namespace {

bool gToStandardError = false;

const QString kAppTitle = QStringLiteral("Vorlix-Backup");

void WriteLine(const QString& title, const QString& text, const QString& answer = {}) {
    QString line = title + ": " + QString(text).replace("\r\n", " ").replace('\n', ' ').replace('\r', ' ');
    if (!answer.isEmpty()) line += " -> " + answer;
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

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

void SetBoxesToStandardError(bool on) { gToStandardError = on; }
bool BoxesGoToStandardError() { return gToStandardError; }

void ErrorBox(QWidget* parent, const QString& text) {
    if (gToStandardError) return WriteLine("Fehler", text);
    ArrowCursor arrow;
    RunBox(parent, QMessageBox::Critical, "Fehler", text, {"OK"}, 0);
}

bool ConfirmYesNoBox(QWidget* parent, const QString& text) {
    if (gToStandardError) {
        WriteLine(QString::fromUtf8("Bestätigen"), text, "Nein");
        return false;
    }
    ArrowCursor arrow;
    return RunBox(parent, QMessageBox::Question, QString::fromUtf8("Bestätigen"), text, {"&Ja", "&Nein"}, 0) == 0;
}

bool ConfirmOkCancelBox(QWidget* parent, const QString& text) {
    if (gToStandardError) {
        WriteLine(QString::fromUtf8("Bestätigen"), text, "Abbrechen");
        return false;
    }
    return RunBox(parent, QMessageBox::Question, QString::fromUtf8("Bestätigen"), text, {"OK", "Abbrechen"}, 0) == 0;
}

void MessageBox(QWidget* parent, const QString& text) {
    if (gToStandardError) return WriteLine(kAppTitle, text);
    RunBox(parent, QMessageBox::Information, kAppTitle, text, {"OK"}, 0);
}

std::optional<QString> PasswordPrompt(QWidget* parent, const QString& title, const QString& label) {
    if (gToStandardError) {
        if (const char* path = std::getenv("VORLIXBACKUP_PASSWORD_FILE"); path && *path) {
            // Read without blocking: a FIFO in the file's place must not hang the pass.
            std::string content;
            if (!ReadWholeFile(path, content)) {
                const int error = errno;
                throw Error(std::string("Die Passwortdatei ") + path + " kann nicht gelesen werden: " +
                            (error == EINVAL ? "keine gew\u00F6hnliche Datei" : std::strerror(error)));
            }
            const std::size_t end = content.find_first_of("\r\n");
            return QString::fromUtf8(content.substr(0, end));
        }
        if (const char* password = std::getenv("VORLIXBACKUP_PASSWORD")) return QString::fromUtf8(password);
        return std::nullopt;
    }
    PasswordDialog dialog(parent, title, label);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.password();
}

}  // namespace vb::gui

// The boxes and the password prompt, with a user at the window and without a display.
#include <cstdio>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "gui/MessageBoxes.h"
#include "gui/PasswordDialog.h"
#include "pass/StandardErrorBoxes.h"

using namespace vb::gui;

class MessageBoxesTest : public QObject {
    Q_OBJECT
private:
    // Runs `answer` on the next modal dialog once it is open.
    static void WhenModalOpens(std::function<void(QWidget*)> answer) {
        QTimer::singleShot(0, [answer] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            answer(modal);
        });
    }
    static QPushButton* ButtonWithText(QWidget* dialog, const QString& text) {
        for (auto* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == text) return button;
        }
        return nullptr;
    }

private slots:
    void cleanup() {
        qunsetenv("VORLIXBACKUP_PASSWORD_FILE");
        qunsetenv("VORLIXBACKUP_PASSWORD");
    }

    void passwordPromptReturnsTypedTextOnlyOnOk() {
        WhenModalOpens([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("Backup-Passwortschutz"));
            QCOMPARE(dialog->width(), 320);
            auto* edit = dialog->findChild<QLineEdit*>("edPassword");
            QCOMPARE(edit->echoMode(), QLineEdit::Password);
            QTest::keyClicks(edit, "geheim");
            ButtonWithText(dialog, "OK")->click();
        });
        QCOMPARE(PasswordPrompt(nullptr, "Backup-Passwortschutz", "Passwort:"), std::optional<QString>("geheim"));

        WhenModalOpens([](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit*>("edPassword"), "x");
            ButtonWithText(dialog, "Abbrechen")->click();
        });
        QCOMPARE(PasswordPrompt(nullptr, "Passworteingabe", "Passwort:"), std::nullopt);
    }

    // Where the style puts icons on dialog buttons, both buttons of the prompt have one.
    void passwordPromptButtonsBothHaveIcons() {
        class IconButtons : public QProxyStyle {
        public:
            using QProxyStyle::QProxyStyle;
            int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                          QStyleHintReturn* data) const override {
                if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 1;
                return QProxyStyle::styleHint(hint, option, widget, data);
            }
        };
        const QString previous = QApplication::style()->name();
        QApplication::setStyle(new IconButtons(previous));
        const auto restore = qScopeGuard([&] { QApplication::setStyle(previous); });
        PasswordDialog dialog(nullptr, "Passworteingabe", "Passwort:");
        auto* ok = dialog.findChild<QPushButton*>("btnOk");
        auto* cancel = dialog.findChild<QPushButton*>("btnCancel");
        QVERIFY(ok && cancel);
        QCOMPARE(cancel->text(), QString("Abbrechen"));
        QVERIFY(!ok->icon().isNull());
        QVERIFY(!cancel->icon().isNull());
    }

    void confirmationBoxHasGermanButtons() {
        WhenModalOpens([](QWidget* box) {
            QCOMPARE(box->windowTitle(), QString::fromUtf8("Bestätigen"));
            QVERIFY(ButtonWithText(box, "&Nein"));
            ButtonWithText(box, "&Ja")->click();
        });
        QVERIFY(ConfirmYesNoBox(nullptr, "Soll die Definitionsdatei gelöscht werden?"));
        WhenModalOpens([](QWidget* box) { ButtonWithText(box, "Abbrechen")->click(); });
        QVERIFY(!ConfirmOkCancelBox(nullptr, "Bitte die letzte Diskette einlegen"));
    }

    // Without a display every box is one line on standard error and nothing waits.
    void withoutDisplayNothingWaits() {
        QTemporaryDir lines;
        std::FILE* out = std::fopen(qPrintable(lines.path() + "/stderr"), "w+");
        QVERIFY(out);
        vb::StandardErrorBoxes boxes(out);
        QVERIFY(!boxes.CanPrompt());
        QVERIFY(!boxes.ConfirmOkCancel("Bitte eine leere, formatierte Diskette einlegen"));
        QVERIFY(!boxes.ConfirmYesNo("Frage"));
        boxes.ShowError("Zeile 1\r\nZeile 2");
        boxes.ShowError(std::string("Datei \x1b[2Jweg\0ende", 18));
        boxes.ShowMessage("Backup erfolgreich abgeschlossen.");
        QCOMPARE(boxes.AskPassword("Backup-Passwortschutz", "Passwort:"), std::nullopt);
        std::rewind(out);
        QByteArray written(4096, '\0');
        written.resize(std::fread(written.data(), 1, written.size(), out));
        std::fclose(out);
        QCOMPARE(QString::fromUtf8(written),
                 QString::fromUtf8("Bestätigen: Bitte eine leere, formatierte Diskette einlegen -> Abbrechen\n"
                                   "Bestätigen: Frage -> Nein\n"
                                   "Fehler: Zeile 1 Zeile 2\n"
                                   "Fehler: Datei \\x1b[2Jweg\\x00ende\n"
                                   "Vorlix-Backup: Backup erfolgreich abgeschlossen.\n"));

        qputenv("VORLIXBACKUP_PASSWORD", "aus der Umgebung");
        QCOMPARE(boxes.AskPassword("t", "l"), std::optional<std::string>("aus der Umgebung"));
        QTemporaryDir dir;
        QFile file(dir.path() + "/pw");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("aus der Datei\r\nzweite Zeile\n");
        file.close();
        qputenv("VORLIXBACKUP_PASSWORD_FILE", file.fileName().toUtf8());
        QCOMPARE(boxes.AskPassword("t", "l"), std::optional<std::string>("aus der Datei"));
        // A named file that cannot be read is an error that names it, not a missing
        // password.
        qputenv("VORLIXBACKUP_PASSWORD_FILE", (dir.path() + "/missing").toUtf8());
        QString error;
        try {
            boxes.AskPassword("t", "l");
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        QVERIFY2(error.startsWith("Die Passwortdatei " + dir.path() + "/missing kann nicht gelesen werden"), qPrintable(error));
    }
};

QTEST_MAIN(MessageBoxesTest)
#include "MessageBoxesTest.moc"

// The about box: the compiled-in values, the second page for five seconds after a
// double click on the logo, links to the desktop and the address to the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

#include "app/TMainFrm.h"
#include "gui/TAboutBox.h"
#include "gui/TAboutDialog.h"
#include "help/VersionInfo.h"
#include "support/WindowTestHome.h"

using namespace vb;

// Records the addresses that would go to the desktop's handlers.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

class TAboutDialogTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;

    QString Path(const QString& name) const { return FHome->Path(name); }

    // A PE file whose header stamp is 12 November 2016 21:52:34.
    QString WritePe() const {
        QByteArray pe(0x200, '\0');
        pe[0] = 'M', pe[1] = 'Z', pe[60] = char(0x80);
        pe.replace(0x80, 4, QByteArray("PE\0\0", 4));
        const quint32 stamp = 1478987554;
        for (int i = 0; i < 4; ++i) pe[0x88 + i] = char((stamp >> (8 * i)) & 0xFF);
        QFile file(Path("program.exe"));
        file.open(QIODevice::WriteOnly);
        file.write(pe);
        return file.fileName();
    }

private slots:
    void init() { FHome = std::make_unique<test::WindowTestHome>(); }
    void cleanup() { FHome.reset(); }

    void aboutBoxShowsTheCompiledInValues() {
        gui::TAboutDialog dialog(nullptr, WritePe());
        dialog.Web = "www.vorlix.example";
        dialog.Email = "support@vorlix.example";
        dialog.Logo = gui::PaintedLogo(QSize(161, 209), "VB");
        QCOMPARE(dialog.Jahr(), quint16(2016));
        const auto box = dialog.CreateBox();
        const VersionInfo& info = ProgramVersionInfo();
        QCOMPARE(box->windowTitle(), QString("Information über..."));
        QCOMPARE(box->size(), QSize(467, 229));
        QCOMPARE(box->SInternalname->text(), QString::fromStdString(info.InternalName));
        QCOMPARE(box->SInternalNameTop->text(), QString::fromStdString(info.InternalName));
        QCOMPARE(box->SInternalNameTop->pos(), box->SInternalname->pos() - QPoint(3, 2));
        QCOMPARE(box->SFileDescription->text(), QString::fromStdString(info.FileDescription));
        QCOMPARE(box->SFileVersion->text(), "Version " + QString::fromStdString(info.FileVersion));
        QCOMPARE(box->SCompanyName->text(), QString::fromStdString(info.CompanyName));
        QCOMPARE(box->SProductName->text(), QString::fromStdString(info.ProductName));
        QCOMPARE(box->SCopyRight->text(), QString("Copyright (©) 2016 Vorlix"));
        QCOMPARE(box->SReleaseDate->text(), QString("Stand: 12. November. 2016"));
        QCOMPARE(box->sWebadresse->text(), QString("www.vorlix.example"));
        QCOMPARE(box->sEmail->text(), QString("support@vorlix.example"));
        QCOMPARE(box->PageControl1()->currentIndex(), 0);
        QVERIFY(!box->Timer1->isActive());
        QCOMPARE(box->Timer1->interval(), 5000);
        test::SaveScreenshot(box.get(), "about-first-page");

        // The window caption ends with the same file version.
        TMainFrm window(FHome->Registry(), &FHome->Host());
        QVERIFY(window.windowTitle().endsWith(" " + QString::fromStdString(info.FileVersion)));
        // The program's own build date is known, never 1970.
        QVERIFY(gui::TAboutDialog(nullptr, VB_BINARY_DIR "/vorlixbackup").Jahr() > 2000);
    }

    void logoDoubleClickShowsTheSecondPageForFiveSeconds() {
        gui::TAboutDialog dialog(nullptr, WritePe());
        dialog.SecondLogo = gui::PaintedLogo(QSize(160, 201), "?");
        dialog.Programmer = "Vorlix-Entwicklung";
        dialog.ProgrammerEmail = "entwicklung@vorlix.example";
        dialog.Email = "support@vorlix.example";
        dialog.Adresse = {"Vorlix Schulsoftware", "Support", "Telefon: 0800 0000000"};
        dialog.ShowSecondPage = false;
        auto box = dialog.CreateBox();
        QTest::mouseDClick(box->ProgramIcon, Qt::LeftButton);
        QCOMPARE(box->PageControl1()->currentIndex(), 0);

        dialog.ShowSecondPage = true;
        box = dialog.CreateBox();
        QTest::mouseDClick(box->ProgramIcon, Qt::LeftButton);
        QCOMPARE(box->PageControl1()->currentIndex(), 1);
        QCOMPARE(box->windowTitle(), QString("Ihr Ansprechpartner:"));
        QVERIFY(box->Timer1->isActive());
        test::SaveScreenshot(box.get(), "about-second-page");
        QCOMPARE(box->Timer1->interval(), 5000);
        box->Timer1->start(1);  // the five seconds, shortened
        QTRY_COMPARE(box->PageControl1()->currentIndex(), 0);
        QCOMPARE(box->windowTitle(), QString("Information über..."));
        QVERIFY(!box->Timer1->isActive());

        QTest::mouseDClick(box->ProgramIcon, Qt::LeftButton);
        box->btnZurueck->click();
        QCOMPARE(box->PageControl1()->currentIndex(), 0);
        QVERIFY(!box->Timer1->isActive());
    }

    void linksGoToTheDesktopAndTheAddressToTheClipboard() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        QDesktopServices::setUrlHandler("http", &recorder, "open");
        gui::TAboutDialog dialog(nullptr, WritePe());
        dialog.Email = "support@vorlix.example";
        dialog.Web = "www.vorlix.example";
        dialog.Adresse = {"Vorlix Schulsoftware", "Telefon: 0800 0000000"};
        auto box = dialog.CreateBox();
        box->show();
        QTest::mouseClick(box->sWebadresse, Qt::LeftButton);
        box->RxLabel1Click(box->sEmail);
        box->RxLabel1Click(box->lblProgrammerEmail);  // empty: nothing
        QCOMPARE(recorder.urls, (QList<QUrl>{QUrl("http://www.vorlix.example"), QUrl("mailto:support@vorlix.example")}));
        QCOMPARE(box->sEmail->toolTip(), QString("E-Mail senden"));
        QCOMPARE(box->sWebadresse->toolTip(), QString("Homepage aufrufen"));
        QCOMPARE(box->sEmail->cursor().shape(), Qt::PointingHandCursor);

        const QList<QAction*> menu = box->Adresse->actions();
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.first()->text(), QString("Adresse in die Zwischenablage kopieren"));
        menu.first()->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString("Vorlix Schulsoftware\nTelefon: 0800 0000000"));
        QDesktopServices::unsetUrlHandler("mailto");
        QDesktopServices::unsetUrlHandler("http");
    }
};

QTEST_MAIN(TAboutDialogTest)
#include "TAboutDialogTest.moc"

// The window with the copy to a remote switched on, against a WebDAV server that
// rclone serves on localhost: the backup button also copies, and the restore page
// offers the remote's archives of the job, marked, and shows what they hold.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <optional>

#include "app/TMainFrm.h"
#include "gui/AbZipView.h"
#include "support/RcloneServer.h"
#include "support/WindowTestHome.h"

using namespace vb;

class MainFrmRemoteTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<test::WindowTestHome> FHome;
    std::optional<test::RcloneConfig> FConfig;
    std::optional<test::RcloneServer> FServer;

    QString Path(const QString& name) const { return FHome->Path(name); }
    static void Write(const QString& file, const QByteArray& content) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QStringList Names(TMainFrm& window) {
        auto* view = window.findChild<gui::AbZipView*>("AbZipView1");
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row) names << view->model()->index(row, 0).data().toString();
        return names;
    }

private slots:
    void init() {
        if (!test::HaveTool("rclone")) QSKIP("rclone is not installed");
        FHome = std::make_unique<test::WindowTestHome>();
        QVERIFY(QDir().mkpath(Path("shared/VorlixBackup")));
        QVERIFY(QDir().mkpath(Path("quelle")));
        QVERIFY(QDir().mkpath(Path("served")));
        Write(Path("quelle/brief.txt"), "Hallo");
        Write(Path("def.csv"), "NAME,PFAD,DATEIMASKE,SICHERN,REKURSIV\r\nQ," + Path("quelle").toUtf8() + ",*.txt,1,0\r\n");
        Write(Path("shared/VorlixBackup/Backupjobs.csv"),
              ("BEZEICHNUNG,ZIELVERZEICHNIS,DEFINITIONSDATEI,AUTOMATIK,BACKUPDATEI\r\nJob," + Path("ziel") + "," +
               Path("def.csv") + ",1,\r\n")
                  .toUtf8());
        FConfig.emplace(Path("rclone.conf").toStdString());
        FServer.emplace(test::ServerKind::WebDav, Path("served").toStdString(), Path("cache").toStdString());
        FConfig->AddRemote("schule", FServer->RemoteLines(FServer->Port(), test::RcloneServer::kPassword));
        RegistryStore& registry = FHome->Registry();
        registry.WriteDword("Software\\Vorlix-Backup", "STRATEGIE", 2);
        registry.WriteDword("Software\\Vorlix-Backup", "ZWEITKOPIE", 1);
        registry.WriteString("Software\\Vorlix-Backup", "ZWEITKOPIE_ZIEL", "schule:Extern");
    }
    void cleanup() {
        FServer.reset();
        FConfig.reset();
        FHome.reset();
    }

    void backupCopiesAndTheRestorePageOffersTheRemoteArchive() {
        TMainFrm window(FHome->Registry(), &FHome->Host());
        window.findChild<QPushButton*>("btnStartBackup")->click();
        QVERIFY2(QFile::exists(Path("served/Extern/Job.zip")), FHome->Host().FShown.empty() ? "" : FHome->Host().FShown[0].c_str());
        QVERIFY(QFile::remove(Path("ziel/Job.zip")));

        window.findChild<QToolButton*>("acRestore")->click();
        auto* archives = window.findChild<QComboBox*>("ComboBox1");
        QCOMPARE(archives->count(), 0);
        window.findChild<QToolButton*>("btnExtern")->click();
        QCOMPARE(archives->count(), 1);
        QCOMPARE(archives->itemText(0), QString("Job.zip (extern)"));
        archives->setCurrentIndex(0);
        emit archives->textActivated(archives->itemText(0));
        QCOMPARE(Names(window), QStringList{"brief.txt"});
        test::SaveScreenshot(&window, "restore-extern");

        // "Start" restores from the fetched archive; the target folder stays empty.
        QVERIFY(QFile::remove(Path("quelle/brief.txt")));
        window.findChild<QPushButton*>("btnAll")->click();
        FHome->Host().FAnswers.assign(4, true);
        window.findChild<QPushButton*>("btnStartRestore")->click();
        QFile restored(Path("quelle/brief.txt"));
        QVERIFY2(restored.open(QIODevice::ReadOnly), qPrintable(QString::fromStdString(
                                                         FHome->Host().FShown.empty() ? "" : FHome->Host().FShown.back())));
        QCOMPARE(restored.readAll(), QByteArray("Hallo"));
        QVERIFY(!QFile::exists(Path("ziel/Job.zip")));
    }
};

QTEST_MAIN(MainFrmRemoteTest)
#include "MainFrmRemoteTest.moc"

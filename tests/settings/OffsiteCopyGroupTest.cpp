// The settings group "Zweitkopie (extern)" on the offscreen platform, with the
// remotes of a temporary rclone configuration and a WebDAV server that rclone serves
// on localhost for the connection test.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <optional>

#include "pass/OffsiteCopy.h"
#include "gui/OffsiteCopyGroup.h"
#include "settings/Settings.h"
#include "support/FakeHost.h"
#include "support/RcloneServer.h"
#include "support/TempDir.h"
#include "support/WindowTestHome.h"

using namespace vb;

namespace {

QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

}  // namespace

class OffsiteCopyGroupTest : public QObject {
    Q_OBJECT
private:
    test::TempDir FDir;
    std::optional<test::RcloneConfig> FConfig;
    std::optional<test::RcloneServer> FServer;

private slots:
    void initTestCase() {
        if (!test::HaveTool("rclone")) QSKIP("rclone is not installed");
        std::filesystem::create_directories(FDir / "served/Sicherungen");
        test::WriteFile(FDir / "served/Sicherungen/Verwaltung_1.zip", "PK");
        FConfig.emplace(FDir / "rclone.conf");
        FServer.emplace(test::ServerKind::WebDav, FDir / "served", FDir / "cache");
        FConfig->AddRemote("schule", FServer->RemoteLines(FServer->Port(), test::RcloneServer::kPassword));
        FConfig->AddRemote("falsch", FServer->RemoteLines(FServer->Port(), "nicht-das-passwort"));
    }

    // The page shows what the options hold, offers the remotes of rclone's
    // configuration (and a stored one that it lacks), and writes each change back.
    void showsAndEditsTheOptions() {
        TOptions options;
        options.FDatenDir = FDir.Path().string();
        options.FZweitkopie = true;
        options.FZweitkopieZiel = "verschwunden:Sicherungen/Verwaltung";
        options.FZweitkopieTage = 14;
        test::WriteFile(LastCopyRecordPath(options.FDatenDir), "10.12.2026 21:00:00 (Job \u201EVerwaltung\u201C nach x:y)\n");
        test::FakeHost host;
        gui::OffsiteCopyGroup group(options, host);
        group.Load();
        auto* remotes = group.findChild<QComboBox*>("cbZweitkopieRemote");
        auto* folder = group.findChild<QLineEdit*>("edZweitkopieOrdner");
        auto* days = group.findChild<QSpinBox*>("spZweitkopieTage");
        auto* on = group.findChild<QCheckBox*>("chkZweitkopie");
        QCOMPARE(group.title(), QString("Zweitkopie (extern)"));
        QCOMPARE(Items(remotes), (QStringList{"falsch", "schule", "verschwunden"}));
        QCOMPARE(remotes->currentText(), QString("verschwunden"));
        QCOMPARE(folder->text(), QString("Sicherungen/Verwaltung"));
        QCOMPARE(days->value(), 14);
        QVERIFY(on->isChecked());
        QCOMPARE(group.findChild<QLabel*>("lblLetzteZweitkopie")->text(),
                 QString("Letzte erfolgreiche Zweitkopie: 10.12.2026 21:00:00 (Job \u201EVerwaltung\u201C nach x:y)"));
        QVERIFY(group.findChild<QLabel*>("lblZweitkopieHinweis")->text().contains("verteilte Sicherungen werden nicht"));
        test::SaveScreenshot(&group, "zweitkopie-gruppe");

        remotes->setCurrentIndex(1);
        emit remotes->activated(1);
        folder->clear();
        QTest::keyClicks(folder, "Neu/Ordner");
        QCOMPARE(options.FZweitkopieZiel, std::string("schule:Neu/Ordner"));
        days->setValue(45);
        QCOMPARE(options.FZweitkopieTage, 45);
        QTest::mouseClick(on, Qt::LeftButton);
        QVERIFY(!options.FZweitkopie);
        QVERIFY(!remotes->isEnabled());
        QVERIFY(!group.findChild<QPushButton*>("btnVerbindungTesten")->isEnabled());
    }

    void connectionTest_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("shown");
        QTest::newRow("reachable") << "schule:Sicherungen"
                                   << "Meldung: Die Verbindung zu schule:Sicherungen steht; der Ordner enth\u00E4lt 1 Datei.";
        QTest::newRow("refused login")
            << "falsch:Sicherungen"
            << "Fehler: Die Verbindung zu falsch:Sicherungen konnte nicht getestet werden: Die Anmeldung am Ziel "
               "\u201Efalsch\u201C wurde abgelehnt";
    }
    void connectionTest() {
        QFETCH(QString, target);
        QFETCH(QString, shown);
        TOptions options;
        options.FDatenDir = FDir.Path().string();
        options.FZweitkopie = true;
        options.FZweitkopieZiel = target.toStdString();
        test::FakeHost host;
        gui::OffsiteCopyGroup group(options, host);
        group.Load();
        QTest::mouseClick(group.findChild<QPushButton*>("btnVerbindungTesten"), Qt::LeftButton);
        QCOMPARE(host.FShown.size(), std::size_t(1));
        QVERIFY2(QString::fromStdString(host.FShown[0]).startsWith(shown), host.FShown[0].c_str());
    }
};

QTEST_MAIN(OffsiteCopyGroupTest)
#include "OffsiteCopyGroupTest.moc"

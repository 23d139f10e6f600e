#include "gui/TVersionsDlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "restore/ArchiveBrowser.h"
#include "restore/DiskComparison.h"
#include "util/Error.h"
#include "util/EscapeControl.h"
#include "util/Finally.h"
#include "util/GermanFormat.h"
#include "util/RunHost.h"

namespace vb::gui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string WithSlash(const std::string& folder) {
    return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

enum Column { vcStand, vcArchiv, vcGroesse, vcGeaendert, vcInhalt, vcPlatte, vcCount };

}  // namespace

TVersionsDlg::TVersionsDlg(VersionsSubject subject, RunHost& host, ExclusiveUseTest& databases, QWidget* parent)
    : QDialog(parent), FSubject(std::move(subject)), FHost(host), FDatabases(databases) {
    setObjectName("TVersionsDlg");
    setWindowTitle("Versionen");
    FReader.OnNeedPassword = [this](const std::string& current) {
        const auto password = FHost.AskPassword("Passworteingabe", "Passwort:");
        return password ? *password : current;
    };
    auto* layout = new QVBoxLayout(this);
    FHeading = new QLabel(this);
    FHeading->setObjectName("lblDatei");
    FHeading->setTextFormat(Qt::PlainText);
    FHeading->setWordWrap(true);
    layout->addWidget(FHeading);
    FList = new QTableWidget(0, vcCount, this);
    FList->setObjectName("lvVersionen");
    FList->setHorizontalHeaderLabels({"Stand", "Sicherung", QString::fromUtf8("Größe"),
                                      QString::fromUtf8("Letzte Änderung"), "Inhalt", "Auf der Platte"});
    FList->verticalHeader()->hide();
    FList->setSelectionBehavior(QAbstractItemView::SelectRows);
    FList->setSelectionMode(QAbstractItemView::SingleSelection);
    FList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FList->horizontalHeader()->setStretchLastSection(true);
    FList->setWordWrap(false);
    layout->addWidget(FList, 1);
    auto* buttons = new QDialogButtonBox(this);
    FInPlace = buttons->addButton("An den &Platz zur\u00fcck", QDialogButtonBox::ActionRole);
    FInPlace->setObjectName("btnAnDenPlatz");
    FBeside = buttons->addButton("&Daneben ablegen", QDialogButtonBox::ActionRole);
    FBeside->setObjectName("btnDaneben");
    QPushButton* close = buttons->addButton(QString::fromUtf8("Schließen"), QDialogButtonBox::RejectRole);
    close->setObjectName("btnSchliessen");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FInPlace, &QPushButton::clicked, this, [this] { RestoreClicked(false); });
    connect(FBeside, &QPushButton::clicked, this, [this] { RestoreClicked(true); });
    connect(FList, &QTableWidget::itemSelectionChanged, this, &TVersionsDlg::SelectionChanged);
    resize(840, 320);
    Reload();
}

void TVersionsDlg::Reload() {
    const std::string target = WithSlash(FSubject.Root) + FSubject.StoredName;
    FHeading->setText(Q(EscapeControl(target)));
    FVersions = VersionsOf(FReader, FSubject.Folder, JobStands(FSubject.Folder, FSubject.JobName), FSubject.StoredName);
    FList->setRowCount(0);
    FList->setRowCount(static_cast<int>(FVersions.Versions.size()));
    for (int row = 0; row < FList->rowCount(); ++row) {
        const FileVersion& v = FVersions.Versions[static_cast<std::size_t>(row)];
        std::string stand = FormatShortDate(v.Stand.Created) + " " + FormatLongTime(v.Stand.Created);
        const bool oldest = row + 1 == FList->rowCount();
        const std::string content = "Inhalt " + std::to_string(v.Content) +
                                    (oldest      ? " (\xC3\xA4ltester Stand)"
                                     : v.Differs ? " (ge\xC3\xA4ndert)"
                                                 : " (wie davor)");
        const std::string texts[vcCount] = {stand,
                                            v.Stand.Name,
                                            FormatThousands(static_cast<std::int64_t>(v.Size)),
                                            DosDateTimeText(v.DosDate, v.DosTime),
                                            content,
                                            DiskStateText(DiskComparison::CompareWithFile(v.Stored, target))};
        for (int column = 0; column < vcCount; ++column) {
            auto* item = new QTableWidgetItem(Q(texts[column]));
            if (column == vcGroesse) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (v.Differs) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            FList->setItem(row, column, item);
        }
    }
    FList->resizeColumnsToContents();
    if (FList->rowCount() > 0) FList->selectRow(0);
    SelectionChanged();
    if (FVersions.Versions.empty())
        FHeading->setText(FHeading->text() + "\n" +
                          Q("Keine Sicherung des Jobs " + FSubject.JobName + " enth\xC3\xA4lt diese Datei."));
    for (const std::string& problem : FVersions.Problems) FHeading->setText(FHeading->text() + "\n" + Q(problem));
}

void TVersionsDlg::SelectionChanged() {
    const auto rows = FList->selectionModel()->selectedRows();
    const bool chosen = !rows.isEmpty() && rows.first().row() < static_cast<int>(FVersions.Versions.size());
    FInPlace->setEnabled(chosen);
    FBeside->setEnabled(chosen);
    // The button's hint names the file it writes (the first free name may differ).
    const std::string name = FSubject.StoredName.substr(FSubject.StoredName.rfind('/') + 1);
    FBeside->setToolTip(
        chosen ? Q(BesideName(name, FVersions.Versions[static_cast<std::size_t>(rows.first().row())].Stand.Created))
               : QString());
}

void TVersionsDlg::RestoreClicked(bool beside) {
    const auto rows = FList->selectionModel()->selectedRows();
    if (!rows.isEmpty()) RestoreRow(rows.first().row(), beside);
}

bool TVersionsDlg::RestoreRow(int row, bool beside) {
    if (row < 0 || row >= static_cast<int>(FVersions.Versions.size())) return false;
    const FileVersion version = FVersions.Versions[static_cast<std::size_t>(row)];
    const std::string target = WithSlash(FSubject.Root) + FSubject.StoredName;
    if (!beside) {
        const std::string question = EscapeControl(target) + " wird durch den Stand vom " +
                                     FormatShortDate(version.Stand.Created) + " (" + version.Stand.Name +
                                     ") ersetzt. Was jetzt dort steht, geht verloren.";
        if (FHost.Choose(question, {"Abbrechen", "&Ersetzen"}) != 1) return false;
    }
    std::string written;
    try {
        // The log starts when the version's archive is opened, as for any restore,
        // and ends with it: listing the versions again logs nothing.
        FReader.SetLogFile(FSubject.LogFile);
        FReader.SetLogging(!FSubject.LogFile.empty());
        Finally quiet([this] {
            FReader.SetLogging(false);
            FReader.SetLogFile("");
        });
        written = RestoreVersion(FReader, FDatabases, FSubject.Folder, version, FSubject.StoredName, FSubject.Root, beside);
    } catch (const Error& e) {
        FHost.ShowError(e.what());
        return false;
    }
    FHost.ShowMessage("Der Stand vom " + FormatShortDate(version.Stand.Created) + " wurde als " +
                      EscapeControl(written) + " wiederhergestellt.");
    Reload();
    FList->selectRow(row);
    return true;
}

}  // namespace vb::gui

#include "gui/CatalogueGrids.h"

#include <QComboBox>
#include <QCompleter>
#include <QCursor>
#include <QLineEdit>

#include "catalogue/JobList.h"

namespace vb::gui {
namespace {

// Puts a picker's answer into a field of the current row (left in edit state).
void SetField(CsvTable& table, const char* field, const QString& value) {
    table.SetText(field, value.toStdString());
}

QString FieldText(const CsvTable& table, const char* field) { return QString::fromStdString(table.GetText(field)); }

}  // namespace

CsvGrid* CreateJobGrid(CsvTable& jobs, const CatalogueDialogs& dialogs, QWidget* parent) {
    const QVector<GridColumn> columns = {
        {"BEZEICHNUNG", "Bezeichnung", 121, "Bezeichnung (muss eindeutig sein!)", false},
        {"ZIELVERZEICHNIS", "Zielverzeichnis", 142, QString::fromUtf8("Verzeichnis für die Sicherung"), true},
        {"DEFINITIONSDATEI", "Definitionsdatei", 296, "Sicherungs-Definitionsdatei", true},
        {"AUTOMATIK", "A", 20, QString::fromUtf8("Bei automatischer Sicherung berücksichtigen"), false},
    };
    auto* grid = new CsvGrid(new CsvTableModel(jobs, columns, false), parent);
    grid->setObjectName("JobGrid");
    grid->FEllipsisHandler = [grid, &jobs, dialogs](int column) {
        const QString field = grid->Model()->Column(column).Field;
        if (field == "ZIELVERZEICHNIS") {
            if (auto folder = dialogs.PickFolder(grid, FieldText(jobs, "ZIELVERZEICHNIS"))) {
                SetField(jobs, "ZIELVERZEICHNIS", *folder);
            }
        } else if (field == "DEFINITIONSDATEI") {
            if (auto file = dialogs.PickDefinitionFile(grid, FieldText(jobs, "ZIELVERZEICHNIS"))) {
                SetField(jobs, "DEFINITIONSDATEI", *file);
            }
        }
    };
    return grid;
}

CsvGrid* CreateDefinitionGrid(CsvTable& definitions, const CatalogueDialogs& dialogs, QWidget* parent) {
    const QVector<GridColumn> columns = {
        {"NAME", "Name", 157, "Bezeichnung", false},
        {"PFAD", "Pfad", 249, "Zu sicherndes Verzeichnis", true},
        {"DATEIMASKE", "Datei(masken)", 135, "Dateimasken", true},
        {"SICHERN", "S", 20, "Dieses Verzeichnis sichern", false},
        {"REKURSIV", "R", 19, "Das Verzeichnis und alle Unterverzeichnisse durchsuchen", false},
    };
    auto* grid = new CsvGrid(new CsvTableModel(definitions, columns, true), parent);
    grid->setObjectName("DefGrid");
    grid->FEllipsisHandler = [grid, &definitions, dialogs](int column) {
        const QString field = grid->Model()->Column(column).Field;
        if (field == "PFAD") {
            if (auto folder = dialogs.PickFolder(grid, FieldText(definitions, "PFAD"))) SetField(definitions, "PFAD", *folder);
        } else if (field == "DATEIMASKE") {
            const QString masks = dialogs.EditMasks(grid, FieldText(definitions, "DATEIMASKE"),
                                                    FieldText(definitions, "PFAD"), QCursor::pos());
            SetField(definitions, "DATEIMASKE", masks);
        }
    };
    return grid;
}

void FillJobSelector(QComboBox* selector, const JobList& jobs) {
    selector->clear();
    for (const std::string& name : jobs.Names()) selector->addItem(QString::fromStdString(name));
    selector->setEditText(QString::fromStdString(jobs.CurrentName()));
}

void ConnectJobSelector(QComboBox* selector, std::function<void(const QString& text)> changed) {
    selector->setEditable(true);
    selector->setInsertPolicy(QComboBox::NoInsert);
    // Job names differ by letter case alone ("Job_A", "job_a"): completion and the
    // item that Return picks match exactly, as choosing a job by name does.
    selector->completer()->setCaseSensitivity(Qt::CaseSensitive);
    QObject::connect(selector->lineEdit(), &QLineEdit::textEdited, selector, [changed](const QString& text) { changed(text); });
    QObject::connect(selector, &QComboBox::textActivated, selector, [changed](const QString& text) { changed(text); });
}

}  // namespace vb::gui

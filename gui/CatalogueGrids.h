#pragma once
// The two grids of the catalogue with their columns, hints and ellipsis buttons:
// the jobs grid (jobs page) and the definition grid (backup page), and the job
// selectors' filling.
#include <QString>
#include <functional>
#include <string>

#include "gui/CatalogueDialogs.h"
#include "gui/CsvGrid.h"

class QComboBox;

namespace vb {
class JobList;
}

namespace vb::gui {

// The jobs grid over JobDataSet: "Bezeichnung", "Zielverzeichnis" (folder picker),
// "Definitionsdatei" (file-open dialog starting in the row's target folder), "A".
CsvGrid* CreateJobGrid(CsvTable& jobs, const CatalogueDialogs& dialogs, QWidget* parent = nullptr);

// The definition grid over DefDataSet: "Name", "Pfad" (folder picker),
// "Datei(masken)" (file-mask dialog at the mouse position), "S", "R"; hints on
// titles and cells; rows and titles 17 pixels high.
CsvGrid* CreateDefinitionGrid(CsvTable& definitions, const CatalogueDialogs& dialogs, QWidget* parent = nullptr);

// FillJobSelector: the job names in table order as items, the current job's name
// as text. The current job does not change.
void FillJobSelector(QComboBox* selector, const JobList& jobs);

// Makes the selector editable and calls `changed` with its text whenever the user
// changes it, by typing or by choosing an item (ComboBox2Change); setting the text
// from code calls nothing.
void ConnectJobSelector(QComboBox* selector, std::function<void(const QString& text)> changed);

}  // namespace vb::gui

#include "gui/CatalogueDialogs.h"

#include <QFileDialog>

#include "gui/TSelectFilemaskfrm.h"

namespace vb::gui {

CatalogueDialogs CatalogueDialogs::Standard() {
    CatalogueDialogs dialogs;
    dialogs.PickFolder = [](QWidget* parent, const QString& start) -> std::optional<QString> {
        const QString folder = QFileDialog::getExistingDirectory(parent, QString(), start);
        if (folder.isEmpty()) return std::nullopt;
        return folder;
    };
    dialogs.PickDefinitionFile = [](QWidget* parent, const QString& startDir) -> std::optional<QString> {
        QFileDialog dialog(parent, QString(), startDir);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters({QStringLiteral("CSV-Dateien (*.csv)"), QStringLiteral("Alle Dateien (*)")});
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.selectFile(QStringLiteral("*.csv"));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
    dialogs.EditMasks = [](QWidget* parent, const QString& masks, const QString& startDir, const QPoint& topLeft) {
        return EditFileMask(masks, startDir, topLeft, parent);
    };
    return dialogs;
}

}  // namespace vb::gui

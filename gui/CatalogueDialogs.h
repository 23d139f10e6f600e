#pragma once
// The pickers behind the grids' ellipsis buttons. Each is a replaceable function so
// that the grids can be driven without a person at the screen; the defaults open
// the real dialogs.
#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace vb::gui {

struct CatalogueDialogs {
    // The folder picker, starting at `start`; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& start)> PickFolder;
    // The file-open dialog for a definition file ("CSV-Dateien", only an existing
    // file), starting in `startDir`; nullopt when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& startDir)> PickDefinitionFile;
    // The file-mask dialog at `topLeft`; returns the masks (unchanged when cancelled).
    std::function<QString(QWidget* parent, const QString& masks, const QString& startDir, const QPoint& topLeft)> EditMasks;

    // The real dialogs.
    static CatalogueDialogs Standard();
};

}  // namespace vb::gui

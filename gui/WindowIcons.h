#pragma once
// Icons of the window's buttons: the desktop's icon theme where it has one by its
// freedesktop name, else an icon of the program's own, drawn to any size and scale,
// so that a desktop without a theme still shows a printer on the print buttons.
#include <QIcon>

namespace vb::gui {

// "document-print": a printer with a sheet.
QIcon PrintIcon();
// "document-print-preview": a sheet under a magnifying glass.
QIcon PrintPreviewIcon();
// "preferences-system": a cog wheel.
QIcon SettingsIcon();

}  // namespace vb::gui

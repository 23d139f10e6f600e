#pragma once
// The font of the program's windows: Tahoma, 8 point (11 pixels). Linux has no Tahoma of
// its own; Debian's fonts-wine ships one with the same metrics, which is loaded into
// the program on first use, so the fixed layout holds. Without it the desktop's sans
// font stands in.
#include <QFont>

namespace vb::gui {

// The family that draws the windows: "Tahoma" when it is available (installed, or
// loaded from the fonts-wine files), else the desktop's general font family.
QString WindowFontFamily();

// The window font at a pixel height (11 for 8 point, 21 for the page headings).
QFont WindowFont(int pixelSize = 11, bool bold = false);

}  // namespace vb::gui

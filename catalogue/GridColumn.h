#pragma once
// One column of a grid over a CSV table: the field it shows, its title, width and
// hint, and whether it has an ellipsis button.
#include <QString>

namespace vb::gui {

struct GridColumn {
    QString Field;
    QString Title;
    int Width = 64;
    QString Hint;
    bool Ellipsis = false;
};

}  // namespace vb::gui

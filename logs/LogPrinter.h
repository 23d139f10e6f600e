#pragma once
// Printing a log box on the default printer, without a print dialog.
#include <QStringList>
#include <memory>

class QPrinter;

namespace vb::gui {

// The margin on every side and the left edge of the text, in printer device units.
inline constexpr int kLogPrintMargin = 200;

// The system's default printer, ready for a job without a dialog and without a
// document title. Throws vb::Error when no printer is installed.
std::unique_ptr<QPrinter> DefaultPrinter();

// Prints `lines` in the printer's default font: line i of a page at x = 200 and
// y = 200 + i × h device units, h being the height of a text line in that font on
// the printer. A log does not lose its end on paper: when the next line would reach
// into the bottom margin, printing goes on at the top of a new page, and a line
// wider than the space between the side margins goes on in the next line, broken
// after its last blank that fits, else after its last character that fits. Throws
// vb::Error when the printer refuses the job.
void PrintLogLines(QPrinter& printer, const QStringList& lines);

}  // namespace vb::gui

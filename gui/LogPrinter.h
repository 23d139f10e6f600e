#pragma once
// Printing a log box: on the default printer without a dialog, or through a preview.
#include <QStringList>
#include <ctime>
#include <memory>

class QPrinter;
class QWidget;

namespace vb::gui {

// The page layout of a printed log, in millimetres from the paper's edges, and the
// size of its text in points.
inline constexpr double kLogPrintLeftMm = 20;
inline constexpr double kLogPrintRightMm = 15;
inline constexpr double kLogPrintTopMm = 15;
inline constexpr double kLogPrintBottomMm = 15;
inline constexpr double kLogPrintPointSize = 9.5;

// What stands above the lines of every page.
struct LogPrintHeading {
    QString LogName;  // "Backup-Logfile"
    QString JobName;  // the current job; without one the heading leaves it out
    std::tm Printed;  // the local time of printing
};

// The title of the print job in the printer queue: "VorlixBackup - Backup-Logfile (Job)".
QString LogDocumentName(const LogPrintHeading& heading);

// The system's default printer, ready for a job without a dialog. Throws vb::Error
// when no printer is installed.
std::unique_ptr<QPrinter> DefaultPrinter();

// Prints `lines` in a 9.5 point font within the margins above, whatever the printer's
// resolution. Each page carries the heading (log name and job at the left, date and
// time of printing at the right, a rule below) and "Seite i von n" centred at its foot.
// Line i of a page's text goes one text line below line i - 1; an empty line keeps its
// place. A line wider than the text area goes on in the next line, broken after its
// last blank that fits, else after its last character that fits; when the next line
// would reach into the foot, printing goes on below the heading of a new page. The
// printer's document name becomes LogDocumentName(heading). Throws vb::Error when
// the printer refuses the job.
void PrintLogLines(QPrinter& printer, const LogPrintHeading& heading, const QStringList& lines);

// Shows the printed pages in Qt's print preview, from which the user may print them
// on a printer of his choice; `printer` is the printer the preview starts with.
void PreviewLogLines(QPrinter& printer, const LogPrintHeading& heading, const QStringList& lines, QWidget* parent);

}  // namespace vb::gui

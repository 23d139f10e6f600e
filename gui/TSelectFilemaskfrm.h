#pragma once
// The file-mask dialog: the masks of a definition row ("*.ini;*.txt") one per line,
// edited freely; the context menu's "Datei auswählen" puts the name of an existing
// file into a line.
#include <QDialog>
#include <QPoint>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace vb::gui {

// The dialog's fixed width: its designed 167 pixels, widened where a window manager's
// title bar would cut the caption.
int FileMaskDialogWidth(const QString& caption);

class TSelectFilemaskfrm : public QDialog {
    Q_OBJECT
public:
    explicit TSelectFilemaskfrm(QWidget* parent = nullptr);

    // Writing fills the text box from a ';'-separated text (the shared splitter: it
    // stops at the first empty piece); reading joins the lines with ';'. Lines are
    // never trimmed; empty lines before the first non-empty one and after the last
    // one vanish, an empty line between masks stays an empty piece.
    QString FileMask() const;
    void SetFileMask(const QString& masks);
    // Start folder of the file-open dialog.
    void SetStartDir(const QString& folder) { FStartDir = folder; }

    // Asks for an existing file, starting in the given folder; "" when cancelled.
    // The file-open dialog when unset.
    std::function<QString(QWidget* parent, const QString& startDir)> FChooseFile;

    QPlainTextEdit* Memo() const { return FMemo; }

public slots:
    // "Datei auswählen": replaces the line holding the text cursor by the chosen
    // file's name, without its folder.
    void Dateiauswhlen1Click();

private:
    QPlainTextEdit* FMemo;
    QString FStartDir;
};

// Shows the dialog with its top-left corner at `topLeft` (screen coordinates) and
// returns the masks: the edited ones after "OK", `masks` unchanged otherwise.
QString EditFileMask(const QString& masks, const QString& startDir, const QPoint& topLeft, QWidget* parent = nullptr);

}  // namespace vb::gui

#include "gui/TSelectFilemaskfrm.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include "util/Splitter.h"
#include "gui/WindowFont.h"

namespace vb::gui {
namespace {

QString ChooseExistingFile(QWidget* parent, const QString& startDir) {
    QFileDialog dialog(parent, QString(), startDir);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(QStringLiteral("*.*"));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace

int FileMaskDialogWidth(const QString& caption) {
    // The designed 167 pixels, or more where the caption in a bold title font, the
    // window icon and three title buttons of a window manager (Openbox draws them
    // whatever a window asks for) would not fit beside each other.
    constexpr int kIconAndButtons = 4 * 24 + 40;
    return std::max(167, QFontMetrics(WindowFont(12, true)).horizontalAdvance(caption) + kIconAndButtons);
}

TSelectFilemaskfrm::TSelectFilemaskfrm(QWidget* parent) : QDialog(parent) {
    setObjectName("SelectFilemaskfrm");
    setWindowTitle(QStringLiteral("Datei(maske)"));
    setFont(WindowFont());
    // A dialog frame with a close button only, and wide enough for the caption where
    // a window manager draws its minimize and maximize buttons anyway.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(FileMaskDialogWidth(windowTitle()), 170);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FMemo = new QPlainTextEdit(this);
    FMemo->setObjectName("Memo1");
    // A long mask scrolls sideways instead of wrapping, so one line stays one mask.
    FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    FMemo->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(FMemo, 1);

    auto* menu = new QMenu(this);
    menu->setObjectName("PopupMenu1");
    QAction* choose = menu->addAction(QString::fromUtf8("Datei auswählen"));
    choose->setObjectName("Dateiauswhlen1");
    connect(choose, &QAction::triggered, this, &TSelectFilemaskfrm::Dateiauswhlen1Click);
    connect(FMemo, &QWidget::customContextMenuRequested, this,
            [this, menu](const QPoint& pos) { menu->exec(FMemo->viewport()->mapToGlobal(pos)); });

    // Two buttons of 75 pixels and their margins fit into the 167 pixels of the
    // client area, so the layout never widens the dialog.
    auto* buttonRow = new QWidget(this);
    buttonRow->setFixedHeight(41);
    auto* buttons = new QHBoxLayout(buttonRow);
    buttons->setContentsMargins(4, 8, 4, 8);
    buttons->setSpacing(0);
    auto* cancel = new QPushButton(QStringLiteral("&Abbrechen"), buttonRow);
    cancel->setObjectName("btnAbbrechen");
    cancel->setFixedSize(75, 25);
    auto* ok = new QPushButton(QStringLiteral("OK"), buttonRow);
    ok->setObjectName("btnOK");
    ok->setFixedSize(75, 25);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addWidget(buttonRow);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString TSelectFilemaskfrm::FileMask() const {
    QString result;
    QStringList lines = FMemo->toPlainText().split(QLatin1Char('\n'));
    // A mask ended with Return leaves an empty last line; it is no mask of its own.
    while (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
    for (const QString& line : lines) {
        if (result.isEmpty()) {
            result = line;
        } else {
            result += QLatin1Char(';') + line;
        }
    }
    return result;
}

void TSelectFilemaskfrm::SetFileMask(const QString& masks) {
    const std::string text = masks.toStdString();
    QStringList lines;
    for (std::string piece = FirstToken(text, ';'); !piece.empty(); piece = NextToken(text, ';')) {
        lines << QString::fromStdString(piece);
    }
    FMemo->setPlainText(lines.join(QLatin1Char('\n')));
}

void TSelectFilemaskfrm::Dateiauswhlen1Click() {
    const int lineNumber = FMemo->textCursor().blockNumber();
    const QString file = FChooseFile ? FChooseFile(this, FStartDir) : ChooseExistingFile(this, FStartDir);
    if (file.isEmpty()) return;
    QTextCursor cursor(FMemo->document()->findBlockByNumber(lineNumber));
    cursor.movePosition(QTextCursor::StartOfBlock);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(QFileInfo(file).fileName());
}

QString EditFileMask(const QString& masks, const QString& startDir, const QPoint& topLeft, QWidget* parent) {
    TSelectFilemaskfrm dialog(parent);
    dialog.move(topLeft);
    dialog.SetFileMask(masks);
    dialog.SetStartDir(startDir);
    if (dialog.exec() != QDialog::Accepted) return masks;
    return dialog.FileMask();
}

}  // namespace vb::gui

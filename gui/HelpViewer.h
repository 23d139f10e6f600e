#pragma once
// The in-program help window: shows the topics of a compiled help file (.chm) in a
// text browser. There is one such window per process; once open it stays, like the
// window of a help system, until the user closes it or the program ends.
#include <QTextBrowser>
#include <QWidget>
#include <memory>

#include "help/ChmFile.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vb::gui {

// A text browser whose pages, pictures and style sheets come from a help file.
// Topics are addressed as chm:/html/name.htm; links of other schemes (http:,
// mailto:) go to the desktop's default handler.
class ChmBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit ChmBrowser(QWidget* parent = nullptr);
    void SetFile(std::shared_ptr<const ChmFile> file) { FFile = std::move(file); }
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void Follow(const QUrl& link);
    std::shared_ptr<const ChmFile> FFile;
};

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    // The process's help window, created on first use.
    static THelpViewer* Instance();
    // The help window if one exists, else nullptr.
    static THelpViewer* Existing();

    // Shows `topic` (an object path such as "/html/a.htm") of the help file `path`,
    // raises the window and returns it.
    void ShowTopic(const QString& path, std::shared_ptr<const ChmFile> file, const std::string& topic);
    QString CurrentTopic() const;
    ChmBrowser* Browser() const { return FBrowser; }

    // The "Index" tab: the keywords that hold `text` at their start, or anywhere when
    // none does, are shown (all for an empty text); the first one shown is chosen.
    void FilterIndex(const QString& text);
    // The "Suche" tab: lists the topics that hold every word of `query`.
    void Search(const QString& query);

private:
    THelpViewer();
    QWidget* BuildIndexTab();
    QWidget* BuildSearchTab();
    void FillIndex();
    void OpenIndexItem(QTreeWidgetItem* item);

    ChmBrowser* FBrowser = nullptr;
    QToolButton* FContents = nullptr;
    QTabWidget* FSide = nullptr;
    QLineEdit* FIndexFilter = nullptr;
    QTreeWidget* FIndexList = nullptr;
    QLineEdit* FSearchText = nullptr;
    QListWidget* FSearchHits = nullptr;
    std::shared_ptr<const ChmFile> FFile;
};

}  // namespace vb::gui

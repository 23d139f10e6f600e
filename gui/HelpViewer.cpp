#include "gui/HelpViewer.h"

#include <QGuiApplication>
#include <QScreen>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "help/HelpIndex.h"

namespace vb::gui {
namespace {

QPointer<THelpViewer> gViewer;
constexpr int kTopicRole = Qt::UserRole;

QUrl TopicUrl(const std::string& topic) {
    QUrl url;
    url.setScheme("chm");
    url.setPath(QString::fromStdString(topic));
    return url;
}

// A tab of the help window's side: a labelled input line above what the caller adds.
QVBoxLayout* SideTab(QWidget* tab, const QString& caption, QLineEdit*& input, const char* name) {
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(4, 4, 4, 4);
    auto* label = new QLabel(caption, tab);
    input = new QLineEdit(tab);
    input->setObjectName(name);
    label->setBuddy(input);
    column->addWidget(label);
    column->addWidget(input);
    return column;
}

}  // namespace

ChmBrowser::ChmBrowser(QWidget* parent) : QTextBrowser(parent) {
    // Links are followed here: a relative link inside a help page must stay in the
    // help file, which the browser's own handling would pass to the desktop.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &ChmBrowser::Follow);
}

void ChmBrowser::Follow(const QUrl& link) {
    const QUrl target = source().resolved(link);
    if (target.scheme() == "chm") {
        setSource(target);
    } else {
        QDesktopServices::openUrl(target);
    }
}

QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = source().resolved(name);
    if (!FFile || url.scheme() != "chm") return QTextBrowser::loadResource(type, name);
    const auto bytes = FFile->Read(url.path().toStdString());
    if (!bytes) return {};
    const QByteArray data(bytes->data(), static_cast<qsizetype>(bytes->size()));
    // The help pages are written in UTF-8.
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(data);
    return data;
}

THelpViewer::THelpViewer() {
    setObjectName("HelpViewer");
    setWindowTitle("Vorlix Backup & Restore - Hilfe");
    // The help window does not keep the program running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    // The designed size, or what the screen offers (the window manager's frame included).
    QSize size(720, 540);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(16, 48));
    resize(size);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    auto button = [&](const char* name, const QString& text, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setText(text);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    FContents = button("btnInhalt", "Inhalt", QStyle::SP_DirHomeIcon);
    QToolButton* back = button("btnZurueck", QString::fromUtf8("Zurück"), QStyle::SP_ArrowBack);
    QToolButton* forward = button("btnVorwaerts", QString::fromUtf8("Vorwärts"), QStyle::SP_ArrowForward);
    bar->addStretch();
    layout->addLayout(bar);
    // Beside the topic, the index of keywords and the full-text search.
    auto* split = new QSplitter(this);
    FSide = new QTabWidget(split);
    FSide->setObjectName("HelpSide");
    FSide->addTab(BuildIndexTab(), "&Index");
    FSide->addTab(BuildSearchTab(), "&Suche");
    FBrowser = new ChmBrowser(split);
    FBrowser->setObjectName("HelpBrowser");
    split->addWidget(FSide);
    split->addWidget(FBrowser);
    split->setStretchFactor(1, 1);
    split->setSizes({size.width() / 4, size.width() - size.width() / 4});
    layout->addWidget(split, 1);

    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QToolButton::clicked, FBrowser, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, FBrowser, &QTextBrowser::forward);
    connect(FBrowser, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(FBrowser, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(FContents, &QToolButton::clicked, this, [this] {
        if (FFile && !FFile->DefaultTopic().empty()) FBrowser->setSource(TopicUrl(FFile->DefaultTopic()));
    });
}


QWidget* THelpViewer::BuildIndexTab() {
    auto* tab = new QWidget;
    QVBoxLayout* column = SideTab(tab, "Gesuchtes Stich&wort:", FIndexFilter, "edIndex");
    FIndexList = new QTreeWidget(tab);
    FIndexList->setObjectName("lstIndex");
    FIndexList->setHeaderHidden(true);
    FIndexList->setRootIsDecorated(true);
    column->addWidget(FIndexList, 1);
    connect(FIndexFilter, &QLineEdit::textChanged, this, &THelpViewer::FilterIndex);
    connect(FIndexFilter, &QLineEdit::returnPressed, this, [this] { OpenIndexItem(FIndexList->currentItem()); });
    connect(FIndexList, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OpenIndexItem(item); });
    connect(FIndexList, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { OpenIndexItem(item); });
    return tab;
}

QWidget* THelpViewer::BuildSearchTab() {
    auto* tab = new QWidget;
    QVBoxLayout* column = SideTab(tab, "Such&begriffe:", FSearchText, "edSuche");
    auto* start = new QPushButton("Themen &auflisten", tab);
    start->setObjectName("btnSuchen");
    FSearchHits = new QListWidget(tab);
    FSearchHits->setObjectName("lstSuche");
    column->addWidget(start, 0, Qt::AlignRight);
    column->addWidget(FSearchHits, 1);
    const auto search = [this] { Search(FSearchText->text()); };
    connect(FSearchText, &QLineEdit::returnPressed, this, search);
    connect(start, &QPushButton::clicked, this, search);
    const auto open = [this](QListWidgetItem* item) {
        if (item) FBrowser->setSource(TopicUrl(item->data(kTopicRole).toString().toStdString()));
    };
    connect(FSearchHits, &QListWidget::itemActivated, this, open);
    connect(FSearchHits, &QListWidget::itemClicked, this, open);
    return tab;
}

// A keyword with one topic is one line; one with several lists them by title.
void THelpViewer::FillIndex() {
    FIndexList->clear();
    if (!FFile) return;
    for (const IndexEntry& entry : ReadIndex(*FFile)) {
        auto* item = new QTreeWidgetItem(FIndexList, {QString::fromStdString(entry.Keyword)});
        if (entry.Topics.size() == 1) {
            item->setData(0, kTopicRole, QString::fromStdString(entry.Topics.front()));
            continue;
        }
        for (const std::string& topic : entry.Topics) {
            const std::string page = topic.substr(0, topic.find('#'));
            const std::string title = PageTitle(FFile->Read(page).value_or(""));
            auto* child = new QTreeWidgetItem(item, {QString::fromStdString(title.empty() ? topic : title)});
            child->setData(0, kTopicRole, QString::fromStdString(topic));
            child->setToolTip(0, child->text(0));
        }
    }
    FilterIndex(FIndexFilter->text());
}

void THelpViewer::FilterIndex(const QString& text) {
    const QString wanted = text.trimmed();
    bool anyStarts = false;
    for (int i = 0; i < FIndexList->topLevelItemCount(); ++i)
        anyStarts = anyStarts || FIndexList->topLevelItem(i)->text(0).startsWith(wanted, Qt::CaseInsensitive);
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < FIndexList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = FIndexList->topLevelItem(i);
        const QString keyword = item->text(0);
        const bool shown = anyStarts ? keyword.startsWith(wanted, Qt::CaseInsensitive)
                                     : keyword.contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !first) first = item;
    }
    FIndexList->setCurrentItem(first);
}

void THelpViewer::OpenIndexItem(QTreeWidgetItem* item) {
    if (!item) return;
    const QString topic = item->data(0, kTopicRole).toString();
    if (topic.isEmpty()) {
        item->setExpanded(true);
        if (item->childCount() > 0) OpenIndexItem(item->child(0));
        return;
    }
    FBrowser->setSource(TopicUrl(topic.toStdString()));
}

void THelpViewer::Search(const QString& query) {
    FSearchHits->clear();
    if (!FFile) return;
    for (const SearchHit& hit : SearchTopics(*FFile, query.toStdString())) {
        auto* item = new QListWidgetItem(QString::fromStdString(hit.Title.empty() ? hit.Topic : hit.Title), FSearchHits);
        item->setData(kTopicRole, QString::fromStdString(hit.Topic));
    }
    if (FSearchHits->count() == 0 && !query.trimmed().isEmpty()) {
        auto* none = new QListWidgetItem(QString::fromUtf8("Keine Themen gefunden"), FSearchHits);
        none->setFlags(Qt::NoItemFlags);
    }
    FSearchHits->setCurrentRow(FSearchHits->count() > 0 && FSearchHits->item(0)->flags() ? 0 : -1);
}

THelpViewer* THelpViewer::Instance() {
    if (!gViewer) {
        gViewer = new THelpViewer;
        // The window goes with the program's event loop.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, gViewer.data(), [] { delete gViewer.data(); });
    }
    return gViewer;
}

THelpViewer* THelpViewer::Existing() { return gViewer; }

void THelpViewer::ShowTopic(const QString& path, std::shared_ptr<const ChmFile> file, const std::string& topic) {
    const bool sameFile = FFile == file;
    FFile = std::move(file);
    if (!sameFile) {
        FillIndex();
        FSearchHits->clear();
    }
    if (!FFile->Title().empty()) setWindowTitle(QString::fromStdString(FFile->Title()));
    setProperty("helpFile", path);
    FBrowser->SetFile(FFile);
    FBrowser->setSource(TopicUrl(topic));
    show();
    raise();
    activateWindow();
}

QString THelpViewer::CurrentTopic() const { return FBrowser->source().path(); }

}  // namespace vb::gui

#include "help/HelpViewer.h"

#include <QGuiApplication>
#include <QScreen>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPointer>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace vb::gui {
namespace {

QPointer<THelpViewer> gViewer;

QUrl TopicUrl(const std::string& topic) {
    QUrl url;
    url.setScheme("chm");
    url.setPath(QString::fromStdString(topic));
    return url;
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
    FBrowser = new ChmBrowser(this);
    FBrowser->setObjectName("HelpBrowser");
    layout->addWidget(FBrowser, 1);

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
    FFile = std::move(file);
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

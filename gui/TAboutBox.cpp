#include "gui/TAboutBox.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>

#include "gui/WindowFont.h"

namespace vb::gui {
namespace {

constexpr int kClientWidth = 467;
constexpr int kClientHeight = 229;
constexpr int kRight = 180;  // left edge of the texts beside the picture
constexpr int kTextWidth = kClientWidth - kRight - 8;

// The window font, whose bold is drawn heavier than its regular face.
QFont Tahoma(bool bold = false) { return WindowFont(11, bold); }

QLabel* Text(QWidget* page, const char* name, int top, const QString& text = {}, bool bold = false) {
    auto* label = new QLabel(text, page);
    label->setObjectName(name);
    label->setFont(Tahoma(bold));
    label->setGeometry(kRight, top, kTextWidth, 16);
    return label;
}

// The caption "E-Mail:" with a mail link beside it.
TLinkLabel* MailRow(QWidget* page, const char* captionName, const char* linkName, int top) {
    Text(page, captionName, top, "E-Mail:")->setFixedWidth(44);
    auto* link = new TLinkLabel(page);
    link->setObjectName(linkName);
    link->setGeometry(kRight + 48, top, kTextWidth - 48, 16);
    link->setToolTip("E-Mail senden");
    return link;
}

QLabel* Picture(QWidget* page, const char* name, int width, int height) {
    auto* picture = new QLabel(page);
    picture->setObjectName(name);
    picture->setGeometry(8, (kClientHeight - height) / 2, width, height);
    picture->setAlignment(Qt::AlignCenter);
    return picture;
}

}  // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    QFont font = Tahoma();
    font.setUnderline(true);
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    setPalette(palette);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setFont(Tahoma());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    FPages = new QStackedWidget(this);
    FPages->setObjectName("PageControl1");
    FPages->setGeometry(0, 0, kClientWidth, kClientHeight);
    FPages->addWidget(BuildFirstPage());
    FPages->addWidget(BuildSecondPage());
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(5000);
    connect(Timer1, &QTimer::timeout, this, &TAboutBox::Timer1Timer);
    FormCreate();
}

void TAboutBox::FormCreate() {
    FPages->setCurrentIndex(0);
    FSecondPage = true;
}

QWidget* TAboutBox::BuildFirstPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    ProgramIcon = Picture(page, "ProgramIcon", 161, 209);
    ProgramIcon->installEventFilter(this);
    SCompanyName = Text(page, "SCompanyName", 8);
    // The title: the same text twice, the blue one 3 pixels left and 2 up over its
    // grey shadow.
    QFont title("Times New Roman");
    title.setPixelSize(32);
    title.setBold(true);
    SInternalname = Text(page, "SInternalname", 28);
    SInternalNameTop = Text(page, "SInternalNameTop", 26);
    for (QLabel* label : {SInternalname, SInternalNameTop}) {
        label->setFont(title);
        label->setFixedHeight(40);
        label->setAttribute(Qt::WA_TranslucentBackground);
    }
    SInternalname->move(kRight + 3, 28);
    SInternalNameTop->move(kRight, 26);
    QPalette grey = SInternalname->palette();
    grey.setColor(QPalette::WindowText, Qt::gray);
    SInternalname->setPalette(grey);
    QPalette blue = SInternalNameTop->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    SInternalNameTop->setPalette(blue);
    SInternalNameTop->raise();

    SFileDescription = Text(page, "SFileDescription", 72);
    SFileVersion = Text(page, "SFileVersion", 90);
    SProductName = Text(page, "SProductName", 108);
    SCopyRight = Text(page, "SCopyRight", 126);
    SReleaseDate = Text(page, "SReleaseDate", 144);
    Text(page, "lblHomepage", 166, "Homepage:");
    sWebadresse = new TLinkLabel(page);
    sWebadresse->setObjectName("sWebadresse");
    sWebadresse->setGeometry(kRight, 182, 190, 16);
    sWebadresse->setToolTip("Homepage aufrufen");
    connect(sWebadresse, &TLinkLabel::clicked, this, &TAboutBox::RxLabel3Click);

    OKButton = new QPushButton("OK", page);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(kClientWidth - 83, kClientHeight - 33, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, [this] {
        Timer1Timer();
        accept();
    });
    return page;
}

QWidget* TAboutBox::BuildSecondPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    SecretIcon = Picture(page, "SecretIcon", 160, 201);
    Text(page, "lblProgrammierung", 8, "Programmierung:", true);
    Text(page, "lblProgrammer", 24)->setObjectName("lblProgrammer");
    lblProgrammerEmail = MailRow(page, "lblProgrammerMail", "lblProgrammerEmail", 42);
    connect(lblProgrammerEmail, &TLinkLabel::clicked, this, [this] { RxLabel1Click(lblProgrammerEmail); });

    Text(page, "lblAnsprechpartner", 66, "Ihr Ansprechpartner:", true);
    Adresse = new QPlainTextEdit(page);
    Adresse->setObjectName("Adresse");
    Adresse->setGeometry(kRight, 84, kTextWidth, 66);
    Adresse->setFrameShape(QFrame::NoFrame);
    Adresse->setReadOnly(true);
    Adresse->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Adresse->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Adresse->viewport()->setAutoFillBackground(false);
    Adresse->setStyleSheet("QPlainTextEdit { background: transparent; }");
    Adresse->setToolTip("Klick mit der rechten Maustaste\nkopiert die Adresse in die Zwischenablage");
    Adresse->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction("Adresse in die Zwischenablage kopieren", Adresse);
    copy->setObjectName("AdresseindieZwischenablagekopieren1");
    connect(copy, &QAction::triggered, this, &TAboutBox::AdresseindieZwischenablagekopieren1Click);
    Adresse->addAction(copy);

    sEmail = MailRow(page, "lblEmail", "sEmail", 156);
    connect(sEmail, &TLinkLabel::clicked, this, [this] { RxLabel1Click(sEmail); });

    btnZurueck = new QPushButton(QString::fromUtf8("Zurück"), page);
    btnZurueck->setObjectName("btnZurueck");
    btnZurueck->setGeometry(kClientWidth - 83, kClientHeight - 33, 75, 25);
    btnZurueck->setDefault(true);
    connect(btnZurueck, &QPushButton::clicked, this, &TAboutBox::Timer1Timer);
    return page;
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ProgramIcon && event->type() == QEvent::MouseButtonDblClick) {
        ProgramIconDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::ProgramIconDblClick() {
    if (!FSecondPage) return;
    FCaption = windowTitle();
    setWindowTitle("Ihr Ansprechpartner:");
    FPages->setCurrentIndex(1);
    btnZurueck->setFocus();
    Timer1->start();
}

// The timer's tick, the OK button and "Zurück": back to the first page.
void TAboutBox::Timer1Timer() {
    if (FPages->currentIndex() == 1) setWindowTitle(FCaption);
    FPages->setCurrentIndex(0);
    Timer1->stop();
}

void TAboutBox::RxLabel1Click(TLinkLabel* label) {
    if (!label->text().isEmpty()) QDesktopServices::openUrl(QUrl("mailto:" + label->text()));
}

void TAboutBox::RxLabel3Click() {
    if (!sWebadresse->text().isEmpty()) QDesktopServices::openUrl(QUrl("http://" + sWebadresse->text()));
}

void TAboutBox::AdresseindieZwischenablagekopieren1Click() {
    QApplication::clipboard()->setText(Adresse->toPlainText());
}

}  // namespace vb::gui

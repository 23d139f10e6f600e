#include "gui/TAboutDialog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>

#include "help/BuildDate.h"
#include "gui/TAboutBox.h"
#include "help/VersionInfo.h"

namespace vb::gui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QDateTime WithoutTimeZone(qint64 seconds) { return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC); }

}  // namespace

TAboutDialog::TAboutDialog(QObject* owner, const QString& executable) : QObject(owner) {
    setObjectName("AboutDialog1");
    InitVersionInfo();
    const QString file = executable.isEmpty() ? QCoreApplication::applicationFilePath() : executable;
    FCreated = GetBuildDate(file.toStdString());
    FJahr = static_cast<quint16>(WithoutTimeZone(FCreated).date().year());
}

void TAboutDialog::InitVersionInfo() {
    const VersionInfo& info = ProgramVersionInfo();
    InternalName = Q(info.InternalName);
    FileDescription = Q(info.FileDescription);
    FileVersion = Q(info.FileVersion);
    CompanyName = Q(info.CompanyName);
    ProductName = Q(info.ProductName);
    Copyright = Q(info.LegalCopyright);
}

QString ReleaseDateText(qint64 created) {
    return QLocale().toString(WithoutTimeZone(created).date(), "'Stand: 'dd. MMMM. yyyy");
}

std::unique_ptr<TAboutBox> TAboutDialog::CreateBox() const {
    auto box = std::make_unique<TAboutBox>();
    box->setWindowTitle(QString::fromUtf8("Information über..."));
    box->ProgramIcon->setPixmap(Logo.scaled(box->ProgramIcon->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    box->SecretIcon->setPixmap(SecondLogo.scaled(box->SecretIcon->size(), Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation));
    box->Adresse->setPlainText(Adresse.join('\n'));
    box->FSecondPage = ShowSecondPage;

    QString internalName = InternalName, description = FileDescription, version = FileVersion,
            company = CompanyName, product = ProductName, copyright = Copyright;
    if (UseVersionInfo) {
        // The version information is read anew for every showing.
        const VersionInfo& info = ProgramVersionInfo();
        internalName = Q(info.InternalName), description = Q(info.FileDescription);
        version = Q(info.FileVersion), company = Q(info.CompanyName), product = Q(info.ProductName);
        copyright = Q(FormatCopyright(info.LegalCopyright, FJahr));
    }
    box->SInternalname->setText(internalName);
    box->SInternalNameTop->setText(internalName);
    box->SFileDescription->setText(description);
    box->SFileVersion->setText(QString("Version %1").arg(version));
    box->SCompanyName->setText(company);
    box->SProductName->setText(product);
    box->SCopyRight->setText(QString::fromUtf8("Copyright (©) %1").arg(copyright));
    box->SReleaseDate->setText(ReleaseDateText(FCreated));
    box->sWebadresse->setText(Web);
    box->sEmail->setText(Email);
    if (auto* programmer = box->findChild<QLabel*>("lblProgrammer")) programmer->setText(Programmer);
    box->lblProgrammerEmail->setText(ProgrammerEmail);
    return box;
}

void TAboutDialog::Execute() {
    const std::unique_ptr<TAboutBox> box = CreateBox();
    box->exec();
}

QPixmap PaintedLogo(const QSize& size, const QString& caption) {
    QPixmap picture(size);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, QColor(31, 63, 127));
    gradient.setColorAt(1, QColor(110, 160, 220));
    painter.fillRect(picture.rect(), gradient);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 255, 255, 160), 3));
    painter.drawEllipse(QRectF(size.width() * 0.15, size.height() * 0.2, size.width() * 0.7, size.width() * 0.7));
    QFont font("Times New Roman");
    font.setBold(true);
    font.setPixelSize(size.width() / 3);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, size.height() * 0.2, size.width(), size.width() * 0.7), Qt::AlignCenter, caption);
    return picture;
}

}  // namespace vb::gui

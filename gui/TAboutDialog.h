#pragma once
// The about box as a reusable component: it holds the pictures and contact texts of
// an installation and the program's version information, and Execute shows them in
// a fresh TAboutBox.
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <memory>

namespace vb::gui {

class TAboutBox;

class TAboutDialog : public QObject {
    Q_OBJECT
public:
    // Reads the version information into the text properties and the build date of
    // `executable` (the running program when empty) into FCreated and FJahr.
    explicit TAboutDialog(QObject* owner, const QString& executable = {});

    QPixmap Logo, SecondLogo;
    QString Email;      // the contact's e-mail address
    QString Web;        // the web address without scheme
    QStringList Adresse;
    QString Programmer, ProgrammerEmail;
    bool ShowSecondPage = true;
    bool UseVersionInfo = true;
    QString InternalName, FileDescription, FileVersion, CompanyName, ProductName, Copyright;

    // Shows the about box modally; returns when the user has closed it.
    void Execute();
    // The box Execute shows, filled but not shown.
    std::unique_ptr<TAboutBox> CreateBox() const;

    qint64 Created() const { return FCreated; }
    quint16 Jahr() const { return FJahr; }

private:
    void InitVersionInfo();

    qint64 FCreated = 0;  // seconds since 1970, as GetBuildDate gives them
    quint16 FJahr = 1970;
};

// The label text of a build date: "Stand: " and the date as dd. MMMM. yyyy with the
// month's full name in the user's language.
QString ReleaseDateText(qint64 created);

// A picture for the about box, painted: `caption` on a blue gradient.
QPixmap PaintedLogo(const QSize& size, const QString& caption);

}  // namespace vb::gui

#pragma once
// The about box: the program's name, description, version, company, product,
// copyright and build date on the first page; a contact with e-mail link and postal
// address on the second, reached by double-clicking the logo. Filled and shown by
// TAboutDialog::Execute.
#include <QDialog>
#include <QLabel>

class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace vb::gui {

// A label that is a link: blue, underlined, hand cursor; `clicked` on a left click.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent);
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // First page.
    QLabel* ProgramIcon = nullptr;
    QLabel* SCompanyName = nullptr;
    QLabel* SInternalname = nullptr;     // the grey shadow of the title
    QLabel* SInternalNameTop = nullptr;  // the blue title, 3 pixels left and 2 up
    QLabel* SFileDescription = nullptr;
    QLabel* SFileVersion = nullptr;
    QLabel* SProductName = nullptr;
    QLabel* SCopyRight = nullptr;
    QLabel* SReleaseDate = nullptr;
    TLinkLabel* sWebadresse = nullptr;
    QPushButton* OKButton = nullptr;
    // Second page.
    QLabel* SecretIcon = nullptr;
    TLinkLabel* lblProgrammerEmail = nullptr;
    QPlainTextEdit* Adresse = nullptr;
    TLinkLabel* sEmail = nullptr;
    QPushButton* btnZurueck = nullptr;
    QTimer* Timer1 = nullptr;

    bool FSecondPage = false;
    QString FCaption;

    QStackedWidget* PageControl1() const { return FPages; }

    void ProgramIconDblClick();
    void Timer1Timer();
    void RxLabel1Click(TLinkLabel* label);
    void RxLabel3Click();
    void AdresseindieZwischenablagekopieren1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    QWidget* BuildFirstPage();
    QWidget* BuildSecondPage();

    QStackedWidget* FPages = nullptr;
};

}  // namespace vb::gui

#include "gui/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vb::gui {

PasswordDialog::PasswordDialog(QWidget* parent, const QString& title, const QString& label)
    : QDialog(parent) {
    setObjectName("PasswordDialog");
    setWindowTitle(title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(label, this);
    FEdit = new QLineEdit(this);
    FEdit->setObjectName("edPassword");
    FEdit->setEchoMode(QLineEdit::Password);
    // Every style draws its own password character; the program shows `*`.
    FEdit->setStyleSheet("lineedit-password-character: 42");
    caption->setBuddy(FEdit);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok)->setObjectName("btnOk");
    // A standard button, so that it carries the style's icon as OK does.
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName("btnCancel");
    cancel->setText("Abbrechen");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(caption);
    layout->addWidget(FEdit);
    layout->addWidget(buttons);
    setFixedWidth(320);
    setFixedHeight(sizeHint().height());
}

QString PasswordDialog::password() const { return FEdit->text(); }

}  // namespace vb::gui

#pragma once
#include <QDialog>

class QLabel;
class QLineEdit;

namespace vb::gui {

// A small modal dialog: one label, one single-line input that shows `*` for each
// typed character, and the buttons OK and "Abbrechen"; 320 pixels wide.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    PasswordDialog(QWidget* parent, const QString& title, const QString& label);
    QString password() const;

private:
    QLineEdit* FEdit;
};

}  // namespace vb::gui

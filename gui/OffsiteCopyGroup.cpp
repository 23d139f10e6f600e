#include "gui/OffsiteCopyGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "pass/OffsiteCopy.h"
#include "pass/RcloneRemote.h"
#include "settings/Settings.h"
#include "util/Error.h"

namespace vb::gui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

OffsiteCopyGroup::OffsiteCopyGroup(TOptions& options, Boxes& boxes, QWidget* parent)
    : QGroupBox("Zweitkopie (extern)", parent), FOptions(options), FBoxes(boxes) {
    setObjectName("grpZweitkopie");
    auto* layout = new QVBoxLayout(this);
    chkZweitkopie = new QCheckBox("Jede neue Sicherung zus\u00E4tzlich extern ablegen (mit rclone)", this);
    chkZweitkopie->setObjectName("chkZweitkopie");
    layout->addWidget(chkZweitkopie);

    auto* form = new QFormLayout;
    auto* targetRow = new QHBoxLayout;
    cbRemote = new QComboBox(this);
    cbRemote->setObjectName("cbZweitkopieRemote");
    cbRemote->setToolTip("Die Ziele, die \u201Erclone listremotes\u201C f\u00FCr diesen Benutzer kennt");
    edOrdner = new QLineEdit(this);
    edOrdner->setObjectName("edZweitkopieOrdner");
    edOrdner->setPlaceholderText("Sicherungen/Verwaltung");
    targetRow->addWidget(cbRemote);
    targetRow->addWidget(new QLabel(":", this));
    targetRow->addWidget(edOrdner, 1);
    auto* targetLabel = new QLabel("&Ziel (rclone):", this);
    targetLabel->setBuddy(cbRemote);
    form->addRow(targetLabel, targetRow);
    spTage = new QSpinBox(this);
    spTage->setObjectName("spZweitkopieTage");
    spTage->setRange(1, 3650);
    spTage->setSuffix(" Tage");
    form->addRow("Tagessicherungen extern &behalten:", spTage);
    layout->addLayout(form);

    auto* testRow = new QHBoxLayout;
    btnTesten = new QPushButton("Verbindung testen", this);
    btnTesten->setObjectName("btnVerbindungTesten");
    lblLetzteKopie = new QLabel(this);
    lblLetzteKopie->setObjectName("lblLetzteZweitkopie");
    testRow->addWidget(btnTesten);
    testRow->addWidget(lblLetzteKopie, 1);
    layout->addLayout(testRow);
    auto* note = new QLabel("Zugangsdaten verwaltet rclone selbst (rclone config, siehe Hilfe \u201EZweitkopie\u201C). "
                            "Auf mehrere Datentr\u00E4ger verteilte Sicherungen werden nicht extern kopiert.",
                            this);
    note->setObjectName("lblZweitkopieHinweis");
    note->setWordWrap(true);
    layout->addWidget(note);

    connect(chkZweitkopie, &QCheckBox::clicked, this, [this](bool checked) {
        FOptions.FZweitkopie = checked;
        UpdateEnabled();
    });
    connect(cbRemote, &QComboBox::activated, this, [this] { StoreTarget(); });
    connect(edOrdner, &QLineEdit::textEdited, this, [this] { StoreTarget(); });
    connect(spTage, &QSpinBox::valueChanged, this, [this](int days) { FOptions.FZweitkopieTage = days; });
    connect(btnTesten, &QPushButton::clicked, this, &OffsiteCopyGroup::TestConnection);
}

void OffsiteCopyGroup::Load() {
    const QSignalBlocker blockDays(spTage);
    chkZweitkopie->setChecked(FOptions.FZweitkopie);
    spTage->setValue(FOptions.FZweitkopieTage);
    const std::string& target = FOptions.FZweitkopieZiel;
    const std::size_t colon = target.find(':');
    FillRemotes(colon == std::string::npos ? std::string() : target.substr(0, colon));
    edOrdner->setText(colon == std::string::npos ? QString() : Q(target.substr(colon + 1)));
    const std::string last = LastCopyText(FOptions.FDatenDir);
    lblLetzteKopie->setText(last.empty() ? QString("Noch keine erfolgreiche Zweitkopie.")
                                         : "Letzte erfolgreiche Zweitkopie: " + Q(last));
    UpdateEnabled();
}

// The remotes of this user's configuration; a stored remote that it does not hold
// (any more) stays selectable, so that loading the page never changes the setting.
void OffsiteCopyGroup::FillRemotes(const std::string& current) {
    cbRemote->clear();
    std::vector<std::string> remotes;
    try {
        remotes = RcloneRemote::ListRemotes();
    } catch (const Error& e) {
        cbRemote->setToolTip(Q(e.what()));
    }
    for (const std::string& remote : remotes) cbRemote->addItem(Q(remote));
    if (!current.empty() && cbRemote->findText(Q(current)) < 0) cbRemote->addItem(Q(current));
    cbRemote->setCurrentIndex(current.empty() ? (cbRemote->count() > 0 ? 0 : -1) : cbRemote->findText(Q(current)));
}

std::string OffsiteCopyGroup::Target() const {
    if (cbRemote->currentIndex() < 0) return {};
    return cbRemote->currentText().toStdString() + ":" + edOrdner->text().trimmed().toStdString();
}

void OffsiteCopyGroup::StoreTarget() { FOptions.FZweitkopieZiel = Target(); }

void OffsiteCopyGroup::UpdateEnabled() {
    const bool on = chkZweitkopie->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{cbRemote, edOrdner, spTage, btnTesten}) w->setEnabled(on);
}

void OffsiteCopyGroup::TestConnection() {
    const std::string target = Target();
    if (target.empty()) {
        FBoxes.ShowError("Es ist kein rclone-Ziel eingerichtet; bitte zuerst mit \u201Erclone config\u201C ein Ziel "
                         "anlegen (siehe Hilfe \u201EZweitkopie\u201C).");
        return;
    }
    setCursor(Qt::WaitCursor);
    try {
        const std::size_t files = RcloneRemote(target).List().size();
        unsetCursor();
        FBoxes.ShowMessage("Die Verbindung zu " + target + " steht; der Ordner enth\u00E4lt " +
                           std::to_string(files) + (files == 1 ? " Datei." : " Dateien."));
    } catch (const Error& e) {
        unsetCursor();
        FBoxes.ShowError("Die Verbindung zu " + target + " konnte nicht getestet werden: " + e.what());
    }
}

}  // namespace vb::gui

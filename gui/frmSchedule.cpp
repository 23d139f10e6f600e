#include "gui/frmSchedule.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>


namespace vb::gui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString KindText(ScheduleKind kind) {
    switch (kind) {
    case ScheduleKind::UserUnits:
        return QString::fromUtf8("systemd-Timer des Benutzers (vorlixbackup.timer)");
    case ScheduleKind::SystemUnits:
        return QString::fromUtf8("systemd-Timer des Systems (/etc/systemd/system/vorlixbackup.timer)");
    case ScheduleKind::Crontab:
        return QString::fromUtf8("Eintrag in der crontab des Benutzers");
    case ScheduleKind::None:
        break;
    }
    return QString::fromUtf8("nicht verfügbar (weder systemd noch crontab)");
}

}  // namespace

TSchedulefrm::TSchedulefrm(Scheduler& scheduler, const std::string& passwordFile, const QString& lastPass,
                           Boxes& boxes, QWidget* parent)
    : QDialog(parent), FScheduler(scheduler), FBoxes(boxes), FPasswordFile(passwordFile), FLastPass(lastPass) {
    setObjectName("frmSchedule");
    setWindowTitle("Zeitplan");
    auto* layout = new QVBoxLayout(this);

    chkAktiv = new QCheckBox("&Unbeaufsichtigte Sicherung nach Zeitplan", this);
    chkAktiv->setObjectName("chkAktiv");
    layout->addWidget(chkAktiv);

    auto* form = new QFormLayout;
    auto* days = new QHBoxLayout;
    const char* names[7] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
    for (int d = 0; d < 7; ++d) {
        chkTag[d] = new QCheckBox(names[d], this);
        chkTag[d]->setObjectName(QString("chkTag%1").arg(d));
        days->addWidget(chkTag[d]);
    }
    days->addStretch();
    form->addRow("Wochentage:", days);
    edZeit = new QTimeEdit(this);
    edZeit->setObjectName("edZeit");
    edZeit->setDisplayFormat("HH:mm");
    form->addRow("Uhrzeit:", edZeit);
    layout->addLayout(form);
    layout->addWidget(BuildProtectionGroup(passwordFile));
    layout->addWidget(BuildStateGroup());

    lblLinger = new QLabel(QString::fromUtf8(
        "Achtung: Ohne Anmeldung läuft die Sicherung nicht, da das Verweilen (Lingering) für Ihr "
        "Benutzerkonto ausgeschaltet ist. Abhilfe: loginctl enable-linger"), this);
    lblLinger->setObjectName("lblLinger");
    lblLinger->setWordWrap(true);
    QPalette red = lblLinger->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblLinger->setPalette(red);
    layout->addWidget(lblLinger);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText("Abbrechen");
    connect(buttons, &QDialogButtonBox::accepted, this, &TSchedulefrm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSchedulefrm::reject);
    layout->addWidget(buttons);

    LoadSchedule();
    connect(chkAktiv, &QCheckBox::toggled, this, &TSchedulefrm::UpdateEnabled);
    connect(chkPasswortdatei, &QCheckBox::toggled, this, &TSchedulefrm::UpdateEnabled);
    UpdateEnabled();
    ShowStatus();
}

// The password file switch, the password and where it is kept.
QGroupBox* TSchedulefrm::BuildProtectionGroup(const std::string& passwordFile) {
    auto* protection = new QGroupBox(QString::fromUtf8("Geschützte Sicherungen"), this);
    auto* protectionLayout = new QVBoxLayout(protection);
    chkPasswortdatei = new QCheckBox("&Passwortdatei verwenden", protection);
    chkPasswortdatei->setObjectName("chkPasswortdatei");
    protectionLayout->addWidget(chkPasswortdatei);
    edPasswort = new QLineEdit(protection);
    edPasswort->setObjectName("edPasswort");
    edPasswort->setEchoMode(QLineEdit::Password);
    edPasswort->setPlaceholderText(QString::fromUtf8("Passwort (leer lassen: gespeichertes Passwort bleibt)"));
    protectionLayout->addWidget(edPasswort);
    auto* fileNote = new QLabel(QString::fromUtf8("Nur für Sie lesbar gespeichert in ") + Q(passwordFile) +
                                    QString::fromUtf8(", nie in den Einstellungen."),
                                protection);
    fileNote->setWordWrap(true);
    protectionLayout->addWidget(fileNote);
    return protection;
}

// How the schedule runs: its kind, the next and the last run.
QGroupBox* TSchedulefrm::BuildStateGroup() {
    auto* state = new QGroupBox("Stand", this);
    auto* stateForm = new QFormLayout(state);
    lblArt = new QLabel(state);
    lblArt->setObjectName("lblArt");
    lblNaechsterLauf = new QLabel(state);
    lblNaechsterLauf->setObjectName("lblNaechsterLauf");
    lblLetzterLauf = new QLabel(state);
    lblLetzterLauf->setObjectName("lblLetzterLauf");
    lblLetzterLauf->setWordWrap(true);
    stateForm->addRow("Art:", lblArt);
    stateForm->addRow(QString::fromUtf8("Nächster Lauf:"), lblNaechsterLauf);
    stateForm->addRow("Letzter Lauf:", lblLetzterLauf);
    return state;
}

// The controls show the schedule as the scheduler has it; a schedule that cannot be
// read is said and the controls start empty.
void TSchedulefrm::LoadSchedule() {
    FKind = FScheduler.Kind();
    TSchedule schedule;
    try {
        schedule = FScheduler.Load(FKind);
    } catch (const std::exception& e) {
        FBoxes.ShowError(e.what());
    }
    chkAktiv->setChecked(schedule.Enabled);
    for (int d = 0; d < 7; ++d) chkTag[d]->setChecked(schedule.Weekdays & (1u << d));
    edZeit->setTime(QTime(schedule.Hour, schedule.Minute));
    chkPasswortdatei->setChecked(schedule.UsePasswordFile);
}

TSchedule TSchedulefrm::Schedule() const {
    TSchedule schedule;
    schedule.Enabled = chkAktiv->isChecked();
    schedule.Weekdays = 0;
    for (int d = 0; d < 7; ++d)
        if (chkTag[d]->isChecked()) schedule.Weekdays |= 1u << d;
    schedule.Hour = edZeit->time().hour();
    schedule.Minute = edZeit->time().minute();
    schedule.UsePasswordFile = chkPasswortdatei->isChecked();
    return schedule;
}

void TSchedulefrm::UpdateEnabled() {
    const bool on = chkAktiv->isChecked() && FKind != ScheduleKind::None;
    for (QCheckBox* day : chkTag) day->setEnabled(on);
    edZeit->setEnabled(on);
    chkPasswortdatei->setEnabled(on);
    edPasswort->setEnabled(on && chkPasswortdatei->isChecked());
}

void TSchedulefrm::ShowStatus() {
    lblArt->setText(KindText(FKind));
    const ScheduleStatus status = FScheduler.Status(FKind);
    lblNaechsterLauf->setText(status.NextRun.empty() ? QString::fromUtf8("–") : Q(status.NextRun));
    if (!status.LastRun.empty()) {
        lblLetzterLauf->setText(Q(status.LastRun + ": " + status.LastResult + ", Exit-Status " + status.LastExitStatus));
    } else {
        lblLetzterLauf->setText(FLastPass.isEmpty() ? QString::fromUtf8("–") : FLastPass);
    }
    lblLinger->setVisible(status.LingerOff);
}

void TSchedulefrm::accept() {
    try {
        const TSchedule schedule = Schedule();
        const std::string password = edPasswort->text().toStdString();
        if (schedule.Enabled && schedule.UsePasswordFile) {
            if (!password.empty()) {
                WritePasswordFile(FPasswordFile, password);
            } else if (!QFileInfo::exists(Q(FPasswordFile))) {
                FBoxes.ShowError("Bitte das Passwort der geschützten Sicherungen eingeben.");
                return;
            }
        } else if (!schedule.UsePasswordFile) {
            WritePasswordFile(FPasswordFile, "");  // no copy of the password lies around unused
        }
        FScheduler.Apply(FKind, schedule);
    } catch (const std::exception& e) {
        FBoxes.ShowError(e.what());
        return;
    }
    edPasswort->clear();
    QDialog::accept();
}

}  // namespace vb::gui

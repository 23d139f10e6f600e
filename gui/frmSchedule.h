#pragma once
// The dialog "Zeitplan": on/off, weekdays, time of day and an optional password file
// for the unattended backup; it shows what the system reports about the next and
// the last run, and warns when user units will not run without a login.
#include <QDialog>
#include <array>

#include "settings/Scheduler.h"
#include "util/RunHost.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTimeEdit;

namespace vb::gui {

class TSchedulefrm : public QDialog {
    Q_OBJECT
public:
    // `lastPass`: the text of the last unattended pass from the data folder, shown
    // where the system reports nothing (crontab). Its error boxes go to `boxes`.
    TSchedulefrm(Scheduler& scheduler, const std::string& passwordFile, const QString& lastPass, Boxes& boxes,
                 QWidget* parent = nullptr);

    // The schedule as the controls show it.
    TSchedule Schedule() const;

public slots:
    // Writes the password file and the schedule; on an error the box shows it and the
    // dialog stays open.
    void accept() override;

private:
    QGroupBox* BuildProtectionGroup(const std::string& passwordFile);
    QGroupBox* BuildStateGroup();
    void LoadSchedule();
    void ShowStatus();
    void UpdateEnabled();

    Scheduler& FScheduler;
    Boxes& FBoxes;
    std::string FPasswordFile;
    QString FLastPass;
    ScheduleKind FKind;
    QCheckBox* chkAktiv = nullptr;
    std::array<QCheckBox*, 7> chkTag{};
    QTimeEdit* edZeit = nullptr;
    QCheckBox* chkPasswortdatei = nullptr;
    QLineEdit* edPasswort = nullptr;
    QLabel* lblArt = nullptr;
    QLabel* lblNaechsterLauf = nullptr;
    QLabel* lblLetzterLauf = nullptr;
    QLabel* lblLinger = nullptr;
};

}  // namespace vb::gui

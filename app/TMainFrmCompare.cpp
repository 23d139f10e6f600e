// The restore page's points in time ("Stand:"), its comparison with the disk, the box
// before a restore of the selection, and the view of one file's versions.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <filesystem>

#include "app/TMainFrm.h"
#include "gui/AbZipView.h"
#include "gui/DiskCompareWorker.h"
#include "restore/RestorePreview.h"
#include "gui/TVersionsDlg.h"

namespace vb {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

void TMainFrm::ListStands() {
    cbStand->clear();
    FStands = JobStands(FJob.DestDir, FJob.Bezeichnung);
    for (const ArchiveStand& stand : FStands) cbStand->addItem(Q(StandText(stand)));
    cbStand->setCurrentIndex(-1);
}

void TMainFrm::cbStandChange() {
    const int index = cbStand->currentIndex();
    if (index < 0 || index >= static_cast<int>(FStands.size())) return;
    const int archive = ComboBox1->findText(Q(FStands[static_cast<std::size_t>(index)].Name));
    if (archive < 0) return;
    ComboBox1->setCurrentIndex(archive);
    ComboBox1Change();
}

void TMainFrm::cbVergleichenClick(bool on) {
    AbZipView1->SetComparing(on);
    if (!on) {
        const QSignalBlocker block(cbNurAenderungen);
        cbNurAenderungen->setChecked(false);
    }
    StartComparison();
}

void TMainFrm::StartComparison() {
    if (!FCompare) return;  // the page is still being built
    FCompare->Stop();
    const bool on = cbVergleichen->isChecked();
    cbNurAenderungen->setEnabled(on);
    btnGeaenderte->setEnabled(on);
    gui::ArchiveEntryModel& model = AbZipView1->Entries();
    model.ClearDiskStates();
    if (!on || !FArchiveReader.IsOpen() || FRestoring) return;
    if (cbNurAenderungen->isChecked() && !model.Rows().ChangedOnly()) model.SetChangedOnly(true);
    FCompare->Start(FArchiveReader.Entries(), GetRestoreRoot());
}

bool TMainFrm::ComparisonRunning() const { return FCompare && FCompare->Running(); }

void TMainFrm::cbNurAenderungenClick(bool on) { AbZipView1->Entries().SetChangedOnly(on); }

void TMainFrm::btnGeaenderteClick() { AbZipView1->Entries().SelectChanged(); }

bool TMainFrm::ConfirmRestore() {
    if (!cbVergleichen->isChecked() || !FArchiveReader.IsOpen()) return true;
    gui::ArchiveEntryModel& model = AbZipView1->Entries();
    const std::vector<std::size_t> selected = model.Rows().SelectedEntries();
    if (selected.empty()) return true;
    const std::vector<ArchiveEntry>& entries = FArchiveReader.Entries();
    std::vector<DiskState> states(entries.size(), DiskState::Unknown);
    for (std::size_t i = 0; i < entries.size(); ++i) states[i] = model.Rows().DiskStateOfEntry(i);
    // What the comparison has not reached yet is compared now, so that the box counts
    // every selected entry.
    const std::string root = GetRestoreRoot();
    for (const std::size_t index : selected) {
        if (states[index] == DiskState::Unknown)
            states[index] = DiskComparison::CompareWithFile(entries[index], root + entries[index].Name);
    }
    const RestorePreview preview = RestorePreview::Of(entries, states, selected);
    const std::string text = preview.Text(entries);
    if (preview.Newer.empty()) return Choose(text, {kStartRestore, kCancelRestore}) == 0;
    switch (Choose(text, {kKeepNewer, kReplaceAll, kCancelRestore})) {
    case 0: model.Deselect(preview.Newer); return true;
    case 1: return true;
    default: return false;
    }
}

void TMainFrm::btnVersionenClick() {
    const gui::ArchiveEntryModel& model = AbZipView1->Entries();
    std::size_t entry = SIZE_MAX;
    const QModelIndex current = AbZipView1->currentIndex();
    if (current.isValid() && current.row() < model.rowCount())
        entry = model.Rows().EntryAt(static_cast<std::size_t>(current.row()));
    else if (const auto selected = model.Rows().SelectedEntries(); !selected.empty())
        entry = selected.front();
    if (entry == SIZE_MAX || entry >= FArchiveReader.Count()) {
        ShowMessage("Bitte w\xC3\xA4hlen Sie zuerst eine Datei in der Liste.");
        return;
    }
    OpenVersions(FArchiveReader.Entry(entry).Name);
}

void TMainFrm::OpenVersions(const std::string& storedName) {
    if (gui::TVersionsDlg* open = VersionsDialog()) open->close();
    auto* dialog =
        new gui::TVersionsDlg({FJob.DestDir, FJob.Bezeichnung, storedName, GetRestoreRoot(),
                               FOptions.FLogging ? FOptions.FDatenDir + "/VB-Restore.log" : std::string()},
                              *this, FDatabases, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

gui::TVersionsDlg* TMainFrm::VersionsDialog() const {
    for (gui::TVersionsDlg* dialog : findChildren<gui::TVersionsDlg*>()) {
        if (dialog->isVisible()) return dialog;
    }
    return nullptr;
}

bool TMainFrm::ShowVersionsOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error).lexically_normal();
    const std::string root = GetRestoreRoot();
    const std::string full = absolute.string();
    if (error || full.compare(0, root.size(), root) != 0 || full.size() <= root.size()) {
        ShowError("Der Pfad " + path + " liegt nicht unter " + root + ".");
        return false;
    }
    const std::string storedName = full.substr(root.size());
    // The current job first, then the others in table order: the first whose archives
    // hold the file becomes current.
    std::vector<std::string> jobs = FJobList.Names();
    const std::string current = FJobList.CurrentName();
    std::stable_partition(jobs.begin(), jobs.end(), [&](const std::string& name) { return name == current; });
    ArchiveReader reader;
    for (const std::string& name : jobs) {
        if (name != FJobList.CurrentName()) FJobList.ChooseByName(name);
        if (VersionsOf(reader, FJob.DestDir, JobStands(FJob.DestDir, FJob.Bezeichnung), storedName).Versions.empty())
            continue;
        ShowPage(pgRestore);
        OpenVersions(storedName);
        return true;
    }
    if (!current.empty() && current != FJobList.CurrentName()) FJobList.ChooseByName(current);
    ShowError("Keine Sicherung eines Jobs enth\xC3\xA4lt " + full + ".");
    return false;
}

}  // namespace vb

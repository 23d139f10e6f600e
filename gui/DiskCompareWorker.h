#pragma once
// The restore page's comparison with the disk on a thread of its own, so that the
// window never waits for the disk: the entries are compared slice by slice, and each
// slice's states reach the window's thread as they are done, so the column fills in.
// A new start, Stop or the destruction ends a comparison still running; its
// remaining slices are never delivered.
#include <QObject>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "zip/ArchiveEntry.h"
#include "restore/DiskComparison.h"

namespace vb::gui {

class DiskCompareWorker : public QObject {
    Q_OBJECT
public:
    explicit DiskCompareWorker(QObject* parent = nullptr);
    ~DiskCompareWorker() override;

    // Compares `entries` with the disk below `root` (DiskComparison::Run).
    void Start(std::vector<ArchiveEntry> entries, std::string root);
    void Stop();
    bool Running() const { return FRunning; }

signals:
    // The states of the entries first .. first + states.size() - 1 (archive indices).
    void StatesReady(qulonglong first, const std::vector<vb::DiskState>& states);
    // The last slice was delivered.
    void Finished();

private:
    std::jthread FThread;
    std::uint64_t FGeneration = 0;  // of the comparison whose slices are wanted
    bool FRunning = false;
};

}  // namespace vb::gui

#include "gui/DiskCompareWorker.h"

#include <QMetaObject>
#include <algorithm>

namespace vb::gui {

DiskCompareWorker::DiskCompareWorker(QObject* parent) : QObject(parent) {}

DiskCompareWorker::~DiskCompareWorker() { Stop(); }

void DiskCompareWorker::Stop() {
    ++FGeneration;
    FRunning = false;
    if (FThread.joinable()) {
        FThread.request_stop();
        FThread.join();
    }
}

void DiskCompareWorker::Start(std::vector<ArchiveEntry> entries, std::string root) {
    Stop();
    FRunning = true;
    const std::uint64_t generation = FGeneration;
    FThread =
        std::jthread([this, generation, entries = std::move(entries), root = std::move(root)](std::stop_token stop) {
            // Slices small enough for the column to fill in visibly, large enough that
            // the window's thread is not flooded with deliveries.
            constexpr std::size_t kSlice = 256;
            for (std::size_t first = 0; first < entries.size() && !stop.stop_requested(); first += kSlice) {
                const std::size_t end = std::min(entries.size(), first + kSlice);
                const std::vector<ArchiveEntry> slice(entries.begin() + static_cast<std::ptrdiff_t>(first),
                                                      entries.begin() + static_cast<std::ptrdiff_t>(end));
                auto result = DiskComparison::Run(slice, root, [&] { return stop.stop_requested(); });
                if (stop.stop_requested()) return;
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, first, states = std::move(result.States)] {
                        if (generation == FGeneration) emit StatesReady(first, states);
                    },
                    Qt::QueuedConnection);
            }
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    if (generation != FGeneration) return;
                    FRunning = false;
                    emit Finished();
                },
                Qt::QueuedConnection);
        });
}

}  // namespace vb::gui

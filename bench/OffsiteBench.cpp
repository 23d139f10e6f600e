// Drives the copy to an rclone remote for the benchmark script: the copy of one job's
// archives as a backup pass makes it after writing the archive, with the status and
// progress a window would show counted but not drawn.
//
//   offsite_bench TARGET_FOLDER JOB REMOTE   e.g. /tmp/ziel Schule bench:ours
// Exit status 0 when the copy succeeded, else 1 with the message on standard error.
#include <cstdio>
#include <ctime>
#include <string>

#include "catalogue/TJob.h"
#include "pass/OffsiteCopy.h"
#include "settings/Settings.h"
#include "util/GermanFormat.h"

namespace {

class CountingHost : public vb::RunHost {
public:
    void ShowError(const std::string& text) override { std::fprintf(stderr, "Fehler: %s\n", text.c_str()); }
    bool ConfirmYesNo(const std::string&) override { return false; }
    bool ConfirmOkCancel(const std::string&) override { return false; }
    void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    std::optional<std::string> AskPassword(const std::string&, const std::string&) override { return std::nullopt; }
    bool CanPrompt() const override { return false; }
    void SetStatus(const std::string&) override { ++Updates; }
    void SetProgress(int, int) override {}
    void SetBusy(bool) override {}
    void Breathe() override {}
    long Updates = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: offsite_bench TARGET_FOLDER JOB REMOTE\n");
        return 2;
    }
    vb::TOptions options;
    options.FStrategie = vb::bsGleicheDatei;
    options.FDatenDir = argv[1];
    options.FZweitkopie = true;
    options.FZweitkopieZiel = argv[3];
    vb::TJob job;
    job.DestDir = argv[1];
    job.Bezeichnung = argv[2];
    CountingHost host;
    const bool ok = vb::OffsiteCopy(options, host).CopyJob(job, vb::LocalTime(std::time(nullptr)));
    std::fprintf(stderr, "status updates %ld\n", host.Updates);
    return ok ? 0 : 1;
}

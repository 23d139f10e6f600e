// The archive browser on a large archive: how long the restore page takes to list an
// archive's entries (the reader opens it, the entry view fills and paints) and to sort
// each column, as a user sees it on the offscreen platform.
//
//   restore_bench ARCHIVE
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <algorithm>
#include <cstdio>

#include "zip/ArchiveReader.h"
#include "gui/AbZipView.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: restore_bench ARCHIVE\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vb::gui::AbZipView view;
    view.resize(600, 400);
    view.show();
    QApplication::processEvents();

    vb::ArchiveReader reader;
    QElapsedTimer timer;
    timer.start();
    reader.Open(argv[1]);
    view.Entries().Load(reader.Entries());
    view.repaint();
    QApplication::processEvents();
    std::printf("list %zu entries: %.3f s\n", reader.Count(), timer.nsecsElapsed() / 1e9);

    const char* names[] = {"Name", "Gepackt", "Ratio (%)", "Letzte Aenderung", "Original"};
    double worst = 0;
    for (int column = 0; column < vb::bcColumnCount; ++column) {
        for (int click = 0; click < 2; ++click) {
            timer.restart();
            view.horizontalHeader()->sectionClicked(column);
            view.repaint();
            QApplication::processEvents();
            const double seconds = timer.nsecsElapsed() / 1e9;
            worst = std::max(worst, seconds);
            std::printf("sort %-17s %s: %.3f s\n", names[column], click == 0 ? "first " : "second", seconds);
        }
    }
    std::printf("slowest sort: %.3f s\n", worst);
    return 0;
}

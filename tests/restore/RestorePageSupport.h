#pragma once
// What the restore page's window tests share: files and archives written for them,
// and the entry view as a user sees it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include "app/TMainFrm.h"
#include "gui/AbZipView.h"

namespace vb::test {

inline void WriteTestFile(const QString& file, const QByteArray& content) {
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// An archive with exactly the entries `specs` (tests/restore/make_zip.py).
inline void MakeTestZip(const QString& archive, const QStringList& specs) {
    QDir().mkpath(QFileInfo(archive).path());
    QProcess python;
    python.start("python3", QStringList{VB_SOURCE_DIR "/tests/restore/make_zip.py", archive} + specs);
    QVERIFY(python.waitForFinished());
    QCOMPARE(python.exitCode(), 0);
}

inline gui::AbZipView* EntryView(TMainFrm& window) { return window.findChild<gui::AbZipView*>("AbZipView1"); }

// The names of the selected rows, in row order.
inline QStringList SelectedRowNames(gui::AbZipView* view) {
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (view->model()->index(row, 0).data(gui::ArchiveEntryModel::SelectedRole).toBool())
            names << view->model()->index(row, 0).data().toString();
    }
    return names;
}

}  // namespace vb::test

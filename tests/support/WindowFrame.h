#pragma once
// Waiting for the window manager of a real X display (tests/support/run-under-x.sh).
#include <QWidget>
#include <QtTest>

namespace vb::test {

// Waits until the window manager has framed the window and stopped moving it.
inline bool WaitForFrame(QWidget* window) {
    if (!QTest::qWaitFor([&] { return window->frameGeometry() != window->geometry(); }, 5000)) {
        qWarning() << "not framed:" << window->geometry() << window->frameGeometry() << window->isVisible();
        return false;
    }
    QRect last;
    for (int i = 0; i < 20 && window->frameGeometry() != last; ++i) {
        last = window->frameGeometry();
        QTest::qWait(100);
    }
    return true;
}

}  // namespace vb::test

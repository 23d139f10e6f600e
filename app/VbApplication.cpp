#include "app/VbApplication.h"

#include <cstdio>

namespace vb {

VbApplication::VbApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VbApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (FHandler) {
            FHandler(e.what());
        } else {
            std::fprintf(stderr, "Fehler: %s\n", e.what());
        }
    }
    return false;
}

}  // namespace vb

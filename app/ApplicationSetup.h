#pragma once
// What the program sets up in its application before the main window exists.
#include <QString>

class QApplication;
class QCoreApplication;

namespace vb {

class TMainFrm;

// The application's name "Vorlix-Backup" (the title of the plain message box; no
// window title is extended by it), Qt's own dialogs and menus in German, and the
// window font for every window, Qt's dialogs included.
void SetUpApplication(QApplication& app);

// Loads Qt's German texts (qtbase_de.qm from Qt's translations folder) into the
// application. False when they are not installed.
bool InstallQtTranslations(QCoreApplication& app);

// Ends the program like a close when the desktop session ends (the session manager
// asks to save; refused while a run works on an archive) or when SIGTERM or SIGHUP
// arrives (the close then waits for the end of such a run).
void CloseWithTheSession(QApplication& app, TMainFrm& window);

}  // namespace vb

#pragma once
// Help requests of the application. The program's help is a compiled HTML help file
// (.chm) beside the executable, shown in the in-program help window. Every request
// (the "Hilfe" button, F1) goes through one hook that the main window installs.
#include <QtGlobal>
#include <functional>
#include <string>

#include "util/RunHost.h"

class QWidget;

namespace vb::gui {

// The HTML help commands this program uses, by their published numbers.
inline constexpr int HH_DISPLAY_TOC = 1;    // show the contents
inline constexpr int HH_HELP_CONTEXT = 15;  // show the topic mapped to a context number
// The application's command code for a context-help request.
inline constexpr int HELP_CONTEXT = 1;

// Whether the help window can show compiled help: true, as the reader of .chm files
// is built into the program.
bool HtmlHelpAvailable();

// Shows help from the compiled help file `file`; returns the help window, or nullptr
// when none came up: help not available, no file at `file`, a context number the
// file does not map (HH_HELP_CONTEXT, data = the number), a file without contents
// (HH_DISPLAY_TOC), or another command. Throws vb::Error when `file` exists but
// cannot be read as compiled help.
QWidget* CallHtmlHelp(QWidget* window, const std::string& file, int command, quintptr data);

// The application's help file for the platform's standard help: empty while the
// compiled help is in use.
void SetApplicationHelpFile(const std::string& file);
const std::string& ApplicationHelpFile();

// The application's help hook: (command, data, callHelp) -> handled. When it leaves
// callHelp true, the standard help mechanism runs afterwards.
using HelpHook = std::function<bool(int command, quintptr data, bool& callHelp)>;
void SetHelpHook(HelpHook hook);

// A context-help request with `number`, as the "Hilfe" button and F1 make it: the
// hook, then, when it asks for it, the standard help, which opens the application
// help file with the desktop's handler; a file it cannot open is said in the plain
// box of `boxes`. Returns the hook's answer.
bool HelpContext(int number, Boxes& boxes);

// The help context number of `widget`: its own, or that of the nearest enclosing
// widget that has one; 0 when none has. A widget's number is its property
// kHelpContextProperty.
inline constexpr const char* kHelpContextProperty = "HelpContext";
int HelpContextOf(const QWidget* widget);

}  // namespace vb::gui

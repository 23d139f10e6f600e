#include "gui/HtmlHelp.h"

#include <QDesktopServices>
#include <QUrl>
#include <QVariant>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "help/ChmFile.h"
#include "gui/HelpViewer.h"

namespace vb::gui {
namespace {

std::string gApplicationHelpFile;
HelpHook gHook;

}  // namespace

bool HtmlHelpAvailable() { return true; }

QWidget* CallHtmlHelp(QWidget* /*window*/, const std::string& file, int command, quintptr data) {
    if (!HtmlHelpAvailable()) return nullptr;
    if (command != HH_HELP_CONTEXT && command != HH_DISPLAY_TOC) return nullptr;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return nullptr;
    auto chm = std::make_shared<const ChmFile>(file);
    std::string topic;
    if (command == HH_HELP_CONTEXT) {
        if (data > 0xFFFFFFFFu) return nullptr;
        const auto mapped = chm->TopicOfContext(static_cast<std::uint32_t>(data));
        if (!mapped) return nullptr;
        topic = *mapped;
    } else {
        topic = chm->DefaultTopic();
        if (topic.empty()) return nullptr;
    }
    THelpViewer* viewer = THelpViewer::Instance();
    viewer->ShowTopic(QString::fromStdString(file), std::move(chm), topic);
    return viewer;
}

void SetApplicationHelpFile(const std::string& file) { gApplicationHelpFile = file; }
const std::string& ApplicationHelpFile() { return gApplicationHelpFile; }

void SetHelpHook(HelpHook hook) { gHook = std::move(hook); }

bool HelpContext(int number, Boxes& boxes) {
    bool callHelp = true;
    bool result = false;
    if (gHook) result = gHook(HELP_CONTEXT, static_cast<quintptr>(number), callHelp);
    if (callHelp && !gApplicationHelpFile.empty()) {
        const QString file = QString::fromStdString(gApplicationHelpFile);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(gApplicationHelpFile, ec) ||
            !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
            boxes.ShowMessage("Die Hilfedatei " + gApplicationHelpFile + " kann nicht geöffnet werden.");
    }
    return result;
}

int HelpContextOf(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget()) {
        const int number = widget->property(kHelpContextProperty).toInt();
        if (number != 0) return number;
    }
    return 0;
}

}  // namespace vb::gui

#include "util/WindowFont.h"

#include <QFileInfo>
#include <QFontDatabase>

namespace vb::gui {
namespace {

// Where Debian's fonts-wine puts its Tahoma (regular and bold). They are not in the
// fontconfig search path, so the program adds them itself.
constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"};

QString FindFamily() {
    const QString tahoma = QStringLiteral("Tahoma");
    if (QFontDatabase::families().contains(tahoma, Qt::CaseInsensitive)) return tahoma;
    bool loaded = false;
    for (const char* file : kTahomaFiles) {
        if (!QFileInfo::exists(QString::fromLatin1(file))) continue;
        const int id = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        loaded = loaded || (id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(tahoma, Qt::CaseInsensitive));
    }
    if (loaded) return tahoma;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

QString WindowFontFamily() {
    static const QString family = FindFamily();
    return family;
}

QFont WindowFont(int pixelSize, bool bold) {
    QFont font(WindowFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace vb::gui

#include "gui/WindowFont.h"

#include <QFileInfo>
#include <QFontDatabase>

namespace vb::gui {
namespace {

// Where Debian's fonts-wine puts its Tahoma. It is not in the fontconfig search path,
// so the program adds it itself. Only the regular face: the package's bold file
// (tahomabd.ttf) draws strokes of regular weight with loose spacing, so bold text
// would not stand out; without a bold face Qt emboldens the regular one.
constexpr const char* kTahomaFiles[] = {"/usr/share/wine/fonts/tahoma.ttf"};

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

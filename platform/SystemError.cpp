#include "platform/SystemError.h"

#include <cerrno>
#include <cstring>

namespace vb {

std::string SystemErrorText(int error) {
    switch (error) {
    case ENOSPC: return "kein Speicherplatz mehr auf dem Datenträger";
    case EDQUOT: return "das Speicherkontingent ist erschöpft";
    case EFBIG: return "die Datei wird zu groß";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case EROFS: return "der Datenträger ist schreibgeschützt";
    case ENOENT: return "die Datei oder der Ordner existiert nicht";
    case ENOTDIR: return "ein Teil des Pfades ist kein Ordner";
    case EISDIR: return "das Ziel ist ein Ordner";
    case EEXIST: return "die Datei existiert bereits";
    case ENOTEMPTY: return "der Ordner ist nicht leer";
    case EBUSY:
    case ETXTBSY: return "die Datei wird gerade benutzt";
    case EIO: return "Ein-/Ausgabefehler des Datenträgers";
    case ENAMETOOLONG: return "der Name ist zu lang";
    case ELOOP: return "zu viele symbolische Verknüpfungen";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case ENOMEM: return "nicht genügend Arbeitsspeicher";
    case EXDEV: return "Quelle und Ziel liegen auf verschiedenen Datenträgern";
    case EINTR: return "der Vorgang wurde unterbrochen";
    default: break;
    }
    const char* name = ::strerrorname_np(error);
    return "Systemfehler " + (name ? std::string(name) : std::to_string(error));
}

}  // namespace vb

#include "app/entr.h"

namespace velorixa {

QString BassVersionText(uint32_t version) {
    return QString::number(version & 0xFFFFu) + "." + QString::number(version >> 16);
}

QString AppPathFrom(const QString& folder) {
    QString p = folder;
    if (!p.endsWith('/')) p += '/';
    return p;
}

}  // namespace velorixa

#include "worlds/GUIDStuff.h"

#include <QUuid>

namespace GUIDStuff {

QString NewGuidString() {
    const QUuid guid = QUuid::createUuid();
    if (guid.isNull())
        return QString();
    return guid.toString(QUuid::WithBraces).toUpper();
}

} // namespace GUIDStuff

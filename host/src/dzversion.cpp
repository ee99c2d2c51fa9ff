#include "dzversion.h"

QString DzVersion::toString() const
{
    return QStringLiteral("%1.%2.%3.%4").arg(major).arg(minor).arg(rev).arg(build);
}

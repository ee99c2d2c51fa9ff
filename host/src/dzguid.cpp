#include "dzguid.h"
#include <QRegularExpression>

DzGuid DzGuid::fromString(const QString &text)
{
    // Five hex groups 8-4-4-4-12, optionally inside one pair of braces; nothing else.
    static const QRegularExpression pattern(QStringLiteral(
        "^(\\{)?[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}(\\})?$"));
    const QRegularExpressionMatch m = pattern.match(text);
    DzGuid guid;
    if (!m.hasMatch() || m.hasCaptured(1) != m.hasCaptured(2))
        return guid;
    QString bare = text;
    if (m.hasCaptured(1))
        bare = text.mid(1, text.size() - 2);
    guid.m_uuid = QUuid::fromString(QString(QLatin1Char('{') + bare + QLatin1Char('}')));
    return guid;
}

QString DzGuid::toString() const
{
    return m_uuid.toString(QUuid::WithoutBraces).toUpper();
}

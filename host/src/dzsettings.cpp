#include "dzsettings.h"

DzSettings::~DzSettings() = default;

QString DzSettings::getStringValue(const QString &key, const QString &def) const
{
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? def : it->toString();
}

double DzSettings::getFloatValue(const QString &key, double def) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return def;
    bool ok = false;
    const double v = it->toDouble(&ok);
    return ok ? v : def;
}

int DzSettings::getIntValue(const QString &key, int def) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return def;
    bool ok = false;
    const int v = it->toInt(&ok);
    return ok ? v : def;
}

bool DzSettings::getBoolValue(const QString &key, bool def) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.cend())
        return def;
    if (it->typeId() == QMetaType::Bool)
        return it->toBool();
    if (it->typeId() == QMetaType::QString) {
        const QString s = it->toString().trimmed().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("1") || s == QLatin1String("yes"))
            return true;
        if (s == QLatin1String("false") || s == QLatin1String("0") || s == QLatin1String("no"))
            return false;
        return def;
    }
    bool ok = false;
    const double v = it->toDouble(&ok);
    return ok ? v != 0.0 : def;
}

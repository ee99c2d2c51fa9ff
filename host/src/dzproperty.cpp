#include "dzproperty.h"
#include "dzimagemgr.h"
#include <algorithm>
#include <cmath>

DzProperty::DzProperty(const QString &name, const QString &label)
    : m_label(label.isEmpty() ? name : label)
{
    setObjectName(name);
}

DzProperty::~DzProperty() = default;

void DzProperty::setLabel(const QString &label)
{
    if (label == m_label)
        return;
    m_label = label;
    emit labelChanged(label);
}

DzFloatProperty::DzFloatProperty(const QString &name, const QString &label, float defaultValue)
    : DzProperty(name, label), m_value(defaultValue), m_default(defaultValue)
{
}

void DzFloatProperty::setValue(float value)
{
    if (!std::isfinite(value))
        return;
    if (m_clamped)
        value = std::clamp(value, m_min, m_max);
    if (value == m_value)
        return;
    m_value = value;
    emit currentValueChanged();
}

void DzFloatProperty::setMinMax(float min, float max)
{
    if (!std::isfinite(min) || !std::isfinite(max))
        return;
    if (min > max)
        std::swap(min, max);
    m_min = min;
    m_max = max;
    if (m_clamped)
        setValue(m_value);
}

void DzFloatProperty::setIsClamped(bool onOff)
{
    m_clamped = onOff;
    if (onOff)
        setValue(m_value);
}

QString DzFloatProperty::getValueString() const { return QString::number(m_value); }

DzBoolProperty::DzBoolProperty(const QString &name, const QString &label, bool defaultValue)
    : DzProperty(name, label), m_value(defaultValue)
{
}

void DzBoolProperty::setBoolValue(bool value)
{
    if (value == m_value)
        return;
    m_value = value;
    emit currentValueChanged();
}

QString DzBoolProperty::getValueString() const { return m_value ? QStringLiteral("On") : QStringLiteral("Off"); }

DzIntProperty::DzIntProperty(const QString &name, const QString &label, int defaultValue)
    : DzProperty(name, label), m_value(defaultValue)
{
}

void DzIntProperty::setValue(int value)
{
    value = std::clamp(value, m_min, m_max);
    if (value == m_value)
        return;
    m_value = value;
    emit currentValueChanged();
}

void DzIntProperty::setMinMax(int min, int max)
{
    if (min > max)
        std::swap(min, max);
    m_min = min;
    m_max = max;
    setValue(m_value);
}

QString DzIntProperty::getValueString() const { return QString::number(m_value); }

DzEnumProperty::DzEnumProperty(const QString &name, const QString &label, const QStringList &items, int defaultValue)
    : DzIntProperty(name, label, 0), m_items(items)
{
    if (defaultValue >= 0 && defaultValue < m_items.size())
        m_value = defaultValue;
}

void DzEnumProperty::addItem(const QString &item) { m_items.append(item); }

int DzEnumProperty::findItemString(const QString &item) const { return int(m_items.indexOf(item)); }

void DzEnumProperty::setValue(int value)
{
    if (value < 0 || value >= m_items.size() || value == m_value)
        return;
    m_value = value;
    emit currentValueChanged();
}

bool DzEnumProperty::setStringValue(const QString &item)
{
    const int i = findItemString(item);
    if (i < 0)
        return false;
    setValue(i);
    return true;
}

DzStringProperty::DzStringProperty(const QString &name, const QString &label, const QString &defaultValue)
    : DzProperty(name, label), m_value(defaultValue)
{
}

void DzStringProperty::setValue(const QString &value)
{
    if (value == m_value)
        return;
    m_value = value;
    emit currentValueChanged();
}

DzImageProperty::DzImageProperty(const QString &name, const QString &label) : DzProperty(name, label) {}

void DzImageProperty::setValue(DzTexture *texture)
{
    if (texture == m_texture)
        return;
    m_texture = texture;
    emit currentValueChanged();
}

QString DzImageProperty::getValueString() const { return m_texture ? m_texture->getFilename() : QString(); }

DzColorProperty::DzColorProperty(const QString &name, const QString &label, const QColor &defaultValue)
    : DzProperty(name, label), m_color(defaultValue)
{
}

void DzColorProperty::setColorValue(const QColor &color)
{
    if (!color.isValid() || color == m_color)
        return;
    m_color = color;
    emit currentValueChanged();
}

void DzColorProperty::setMap(DzTexture *texture)
{
    if (texture == m_map)
        return;
    m_map = texture;
    emit currentValueChanged();
}

QString DzColorProperty::getValueString() const
{
    QString s = QStringLiteral("%1,%2,%3,%4").arg(m_color.red()).arg(m_color.green()).arg(m_color.blue()).arg(m_color.alpha());
    if (m_map)
        s += QStringLiteral(" map ") + m_map->getFilename();
    return s;
}

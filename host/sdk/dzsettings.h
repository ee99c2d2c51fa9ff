#pragma once
#include "dzglobal.h"
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

/// A set of typed key/value settings.
class DZCORE_API DzSettings {
public:
    DzSettings() = default;
    virtual ~DzSettings();

    void setStringValue(const QString &key, const QString &value) { m_values[key] = value; }
    void setFloatValue(const QString &key, double value) { m_values[key] = value; }
    void setIntValue(const QString &key, int value) { m_values[key] = value; }
    void setBoolValue(const QString &key, bool value) { m_values[key] = value; }

    bool hasKey(const QString &key) const { return m_values.contains(key); }
    void removeValue(const QString &key) { m_values.remove(key); }
    void clear() { m_values.clear(); }
    QStringList getKeys() const { return m_values.keys(); }
    int getNumValues() const { return int(m_values.size()); }

    /// Each getter converts what is stored (an int 1 reads as true, "0.5" as 0.5) and returns
    /// the default when the key is missing or its value does not convert.
    QString getStringValue(const QString &key, const QString &def = QString()) const;
    double getFloatValue(const QString &key, double def = 0.0) const;
    int getIntValue(const QString &key, int def = 0) const;
    bool getBoolValue(const QString &key, bool def = false) const;

private:
    QMap<QString, QVariant> m_values;
};

/// The options of one file import or export.
class DZCORE_API DzFileIOSettings : public DzSettings {};

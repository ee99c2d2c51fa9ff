#pragma once
#include "dzbase.h"
#include "dzimagemgr.h"
#include <QColor>
#include <QPointer>
#include <QStringList>

/// A property of an element. Subclasses hold a value of one kind; every change of the value
/// emits currentValueChanged().
class DZCORE_API DzProperty : public DzBase {
    Q_OBJECT
public:
    explicit DzProperty(const QString &name, const QString &label = QString());
    ~DzProperty() override;

    QString getLabel() const { return m_label; }
    void setLabel(const QString &label);
    /// The value as text (for property views and debugging).
    virtual QString getValueString() const = 0;

signals:
    void currentValueChanged();
    void labelChanged(const QString &label);

private:
    QString m_label;
};

/// A float value in an optional range. A clamped property keeps its value within [min, max];
/// non-finite values are ignored.
class DZCORE_API DzFloatProperty : public DzProperty {
    Q_OBJECT
public:
    DzFloatProperty(const QString &name, const QString &label = QString(), float defaultValue = 0.0f);

    float getValue() const { return m_value; }
    void setValue(float value);
    float getDefaultValue() const { return m_default; }
    void setDefaultValue(float value) { m_default = value; }
    float getMin() const { return m_min; }
    float getMax() const { return m_max; }
    void setMinMax(float min, float max);   ///< swaps reversed bounds
    bool isClamped() const { return m_clamped; }
    void setIsClamped(bool onOff);
    QString getValueString() const override;

private:
    float m_value, m_default;
    float m_min = -1.0e7f, m_max = 1.0e7f;
    bool m_clamped = false;
};

class DZCORE_API DzBoolProperty : public DzProperty {
    Q_OBJECT
public:
    DzBoolProperty(const QString &name, const QString &label = QString(), bool defaultValue = false);
    bool getBoolValue() const { return m_value; }
    void setBoolValue(bool value);
    QString getValueString() const override;

private:
    bool m_value;
};

class DZCORE_API DzIntProperty : public DzProperty {
    Q_OBJECT
public:
    DzIntProperty(const QString &name, const QString &label = QString(), int defaultValue = 0);
    int getValue() const { return m_value; }
    virtual void setValue(int value);   ///< clamped to [min, max]
    int getMin() const { return m_min; }
    int getMax() const { return m_max; }
    void setMinMax(int min, int max);
    QString getValueString() const override;

protected:
    int m_value;
    int m_min = -2147483647, m_max = 2147483647;
};

/// A choice among named items; the value is the item index.
class DZCORE_API DzEnumProperty : public DzIntProperty {
    Q_OBJECT
public:
    DzEnumProperty(const QString &name, const QString &label = QString(),
                   const QStringList &items = QStringList(), int defaultValue = 0);
    void addItem(const QString &item);
    int getNumItems() const { return int(m_items.size()); }
    QString getItem(int i) const { return m_items.value(i); }
    int findItemString(const QString &item) const;   ///< -1 when absent
    /// Ignores an index outside the items.
    void setValue(int value) override;
    /// Selects the item with that text; false (and no change) when there is none.
    bool setStringValue(const QString &item);
    QString getStringValue() const { return m_items.value(m_value); }
    QString getValueString() const override { return getStringValue(); }

private:
    QStringList m_items;
};

class DZCORE_API DzStringProperty : public DzProperty {
    Q_OBJECT
public:
    DzStringProperty(const QString &name, const QString &label = QString(), const QString &defaultValue = QString());
    QString getValue() const { return m_value; }
    void setValue(const QString &value);
    QString getValueString() const override { return m_value; }

private:
    QString m_value;
};

/// An image file reference (a texture of the image manager, or none).
class DZCORE_API DzImageProperty : public DzProperty {
    Q_OBJECT
public:
    explicit DzImageProperty(const QString &name, const QString &label = QString());
    DzTexture *getValue() const { return m_texture; }
    void setValue(DzTexture *texture);
    QString getValueString() const override;

private:
    QPointer<DzTexture> m_texture;
};

/// A colour that may be modulated by an image map.
class DZCORE_API DzColorProperty : public DzProperty {
    Q_OBJECT
public:
    DzColorProperty(const QString &name, const QString &label = QString(), const QColor &defaultValue = Qt::white);
    QColor getColorValue() const { return m_color; }
    void setColorValue(const QColor &color);   ///< ignores an invalid colour
    DzTexture *getMapValue() const { return m_map; }
    void setMap(DzTexture *texture);
    bool isMapped() const { return m_map != nullptr; }
    QString getValueString() const override;

private:
    QColor m_color;
    QPointer<DzTexture> m_map;
};

#pragma once
#include "dznode.h"

#include <QColor>

/// A light as far away as the sun: parallel rays along the node's local −Z axis, of one colour
/// and intensity wherever they fall. Intensity 1 is the host's 100 %.
class DZCORE_API DzDistantLight : public DzNode {
    Q_OBJECT
public:
    explicit DzDistantLight(QObject *parent = nullptr);

    QColor getDiffuseColor() const { return m_colour; }
    void setDiffuseColor(const QColor &colour) { m_colour = colour; }
    float getIntensity() const;
    void setIntensity(float intensity);   ///< clamped to 0 … 100
    /// The direction the light travels, in world space (unit length).
    QVector3D getWSDirection() const;

private:
    QColor m_colour = Qt::white;
    DzFloatProperty *m_intensity = nullptr;
};

#include "dzlight.h"
#include "dzproperty.h"

#include <QMatrix4x4>

DzDistantLight::DzDistantLight(QObject *parent) : DzNode(parent)
{
    m_intensity = new DzFloatProperty(QStringLiteral("Flux"), QStringLiteral("Intensity"), 1.0f);
    m_intensity->setMinMax(0.0f, 100.0f);
    m_intensity->setIsClamped(true);
    addProperty(m_intensity);
}

float DzDistantLight::getIntensity() const { return m_intensity->getValue(); }
void DzDistantLight::setIntensity(float intensity) { m_intensity->setValue(intensity); }

QVector3D DzDistantLight::getWSDirection() const
{
    return getWSTransform().mapVector(QVector3D(0.0f, 0.0f, -1.0f)).normalized();
}

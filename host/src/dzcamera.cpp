#include "dzcamera.h"
#include "dzproperty.h"

DzCamera::DzCamera(QObject *parent) : DzNode(parent)
{
    m_fov = new DzFloatProperty(QStringLiteral("FieldOfView"), QStringLiteral("Field of View"), 45.0f);
    m_fov->setMinMax(1.0f, 179.0f);
    m_fov->setIsClamped(true);
    addProperty(m_fov);
    m_frameWidth = new DzFloatProperty(QStringLiteral("FrameWidth"), QStringLiteral("Frame Width"), 640.0f);
    m_frameWidth->setMinMax(1.0f, 1.0e6f);
    m_frameWidth->setIsClamped(true);
    addProperty(m_frameWidth);
}

float DzCamera::getFieldOfView() const { return m_fov->getValue(); }
void DzCamera::setFieldOfView(float degrees) { m_fov->setValue(degrees); }
float DzCamera::getFrameWidth() const { return m_frameWidth->getValue(); }
void DzCamera::setFrameWidth(float pixels) { m_frameWidth->setValue(pixels); }

DzBasicCamera::DzBasicCamera(int type, bool isDefaultCamera) : m_type(type), m_isDefault(isDefaultCamera) {}

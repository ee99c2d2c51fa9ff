#pragma once
#include "dznode.h"

/// A camera node. It looks down its local -Z axis; the field of view is vertical, in degrees.
class DZCORE_API DzCamera : public DzNode {
    Q_OBJECT
public:
    explicit DzCamera(QObject *parent = nullptr);

    float getFieldOfView() const;
    void setFieldOfView(float degrees);   ///< clamped to 1 … 179
    /// The width in pixels of the frame the camera renders (the view's width).
    float getFrameWidth() const;
    void setFrameWidth(float pixels);
    DzFloatProperty *getFieldOfViewControl() const { return m_fov; }
    DzFloatProperty *getFrameWidthControl() const { return m_frameWidth; }

private:
    DzFloatProperty *m_fov = nullptr;
    DzFloatProperty *m_frameWidth = nullptr;
};

/// The camera users add to a scene. The type is a free value kept for the caller; a default
/// camera is one the interface made for itself.
class DZCORE_API DzBasicCamera : public DzCamera {
    Q_OBJECT
public:
    explicit DzBasicCamera(int type = 0, bool isDefaultCamera = false);
    int getCameraType() const { return m_type; }
    bool isDefaultCamera() const { return m_isDefault; }

private:
    int m_type;
    bool m_isDefault;
};

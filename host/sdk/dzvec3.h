#pragma once
#include "dzglobal.h"
#include <QVector3D>
#include <cmath>

/// A three-component float vector (host positions are in centimetres).
class DZCORE_API DzVec3 {
public:
    float m_x = 0.0f, m_y = 0.0f, m_z = 0.0f;

    constexpr DzVec3() = default;
    constexpr DzVec3(float x, float y, float z) : m_x(x), m_y(y), m_z(z) {}

    float x() const { return m_x; }
    float y() const { return m_y; }
    float z() const { return m_z; }
    void setValue(float x, float y, float z) { m_x = x; m_y = y; m_z = z; }

    float length() const { return std::sqrt(m_x * m_x + m_y * m_y + m_z * m_z); }
    bool isFinite() const { return std::isfinite(m_x) && std::isfinite(m_y) && std::isfinite(m_z); }

    DzVec3 operator+(const DzVec3 &o) const { return {m_x + o.m_x, m_y + o.m_y, m_z + o.m_z}; }
    DzVec3 operator-(const DzVec3 &o) const { return {m_x - o.m_x, m_y - o.m_y, m_z - o.m_z}; }
    DzVec3 operator*(float s) const { return {m_x * s, m_y * s, m_z * s}; }
    DzVec3 &operator+=(const DzVec3 &o) { m_x += o.m_x; m_y += o.m_y; m_z += o.m_z; return *this; }
    friend bool operator==(const DzVec3 &a, const DzVec3 &b) = default;

    QVector3D toQVector3D() const { return {m_x, m_y, m_z}; }
    static DzVec3 fromQVector3D(const QVector3D &v) { return {v.x(), v.y(), v.z()}; }
};

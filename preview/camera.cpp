#include "preview/camera.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace preview {

namespace {
// Zooming stops this close to and this far from the target, in scene radii.
constexpr float kClosest = 1e-3f;
constexpr float kFarthest = 1e3f;
// The part of the field the fitted scene takes.
constexpr float kFitMargin = 1.08f;
} // namespace

QPointF toNdc(QPointF pixel, QSize size)
{
    const qreal w = std::max(1, size.width());
    const qreal h = std::max(1, size.height());
    return {2.0 * (pixel.x() + 0.5) / w - 1.0, 1.0 - 2.0 * (pixel.y() + 0.5) / h};
}

void Camera::setSceneBounds(QVector3D boundsMin, QVector3D boundsMax)
{
    m_centre = (boundsMin + boundsMax) / 2.0f;
    const float radius = (boundsMax - boundsMin).length() / 2.0f;
    // A point or an empty scene still gets a unit of room around it.
    m_radius = radius > 1e-6f && std::isfinite(radius) ? radius : 1.0f;
}

void Camera::resetAngles()
{
    yaw = DefaultYaw;
    pitch = DefaultPitch;
}

void Camera::fit(QVector3D boundsMin, QVector3D boundsMax, float aspect)
{
    setSceneBounds(boundsMin, boundsMax);
    const float halfVertical = qDegreesToRadians(FieldOfView) / 2.0f;
    const float halfHorizontal = std::atan(std::tan(halfVertical) * std::max(aspect, 1e-3f));
    // The bounding sphere touches the narrower side of the view.
    distance = kFitMargin * m_radius / std::sin(std::min(halfVertical, halfHorizontal));
    target = m_centre;
}

void Camera::orbit(float yawDegrees, float pitchDegrees)
{
    yaw = std::fmod(yaw + yawDegrees, 360.0f);
    pitch = std::clamp(pitch + pitchDegrees, -MaxPitch, MaxPitch);
}

void Camera::zoomToward(QPointF ndc, float factor, float aspect)
{
    if (!(factor > 0.0f) || !std::isfinite(factor))
        return;
    const float wanted = std::clamp(distance * factor, kClosest * m_radius, kFarthest * m_radius);
    factor = wanted / distance;
    // The point under the pointer on the plane through the target facing the
    // camera. Scaling eye and target about it keeps it where it is on screen.
    const Ray ray = rayThrough(ndc, aspect);
    const float along = QVector3D::dotProduct(target - ray.origin, forward())
                        / QVector3D::dotProduct(ray.direction, forward());
    const QVector3D fixed = ray.origin + ray.direction * along;
    target = fixed + (target - fixed) * factor;
    distance = wanted;
}

void Camera::pan(QPointF pixels, QSize viewport)
{
    const float height = float(std::max(1, viewport.height()));
    const float unitsPerPixel = 2.0f * distance * std::tan(qDegreesToRadians(FieldOfView) / 2.0f) / height;
    const QVector3D right = QVector3D::crossProduct(forward(), QVector3D(0, 1, 0)).normalized();
    const QVector3D up = QVector3D::crossProduct(right, forward());
    target += (-right * float(pixels.x()) + up * float(pixels.y())) * unitsPerPixel;
}

QVector3D Camera::forward() const
{
    const float y = qDegreesToRadians(yaw);
    const float p = qDegreesToRadians(pitch);
    return -QVector3D(std::cos(p) * std::sin(y), std::sin(p), std::cos(p) * std::cos(y));
}

QVector3D Camera::eye() const
{
    return target - forward() * distance;
}

QMatrix4x4 Camera::view() const
{
    QMatrix4x4 m;
    m.lookAt(eye(), target, QVector3D(0, 1, 0));
    return m;
}

float Camera::farPlane() const
{
    // The ground grid reaches a few radii beyond the scene.
    return (eye() - m_centre).length() + 4.0f * m_radius;
}

float Camera::nearPlane() const
{
    const float far = farPlane();
    return std::max(far / 4000.0f, (eye() - m_centre).length() - 4.0f * m_radius);
}

QMatrix4x4 Camera::projection(float aspect) const
{
    QMatrix4x4 m;
    m.perspective(FieldOfView, std::max(aspect, 1e-3f), nearPlane(), farPlane());
    return m;
}

Ray Camera::rayThrough(QPointF ndc, float aspect) const
{
    const float t = std::tan(qDegreesToRadians(FieldOfView) / 2.0f);
    const QVector3D f = forward();
    const QVector3D right = QVector3D::crossProduct(f, QVector3D(0, 1, 0)).normalized();
    const QVector3D up = QVector3D::crossProduct(right, f);
    const QVector3D direction = f + right * (float(ndc.x()) * t * std::max(aspect, 1e-3f)) + up * (float(ndc.y()) * t);
    return {eye(), direction.normalized()};
}

} // namespace preview

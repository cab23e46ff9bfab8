#pragma once
// The preview's camera: it orbits a target point, looking at it from a
// distance, turned by a yaw about the vertical axis and tilted by a pitch
// above the horizon. Pure arithmetic, no OpenGL: the view draws with its
// matrices and picks with its rays.
//
// Screen positions are given in normalized device coordinates (x and y from
// -1 to 1, y up); toNdc() converts a widget's pixel position.
#include <QMatrix4x4>
#include <QPointF>
#include <QSize>
#include <QVector3D>

namespace preview {

struct Ray {
    QVector3D origin;
    QVector3D direction; // unit length
};

// A pixel position inside a widget of the given size, in normalized device
// coordinates (the pixel's centre).
QPointF toNdc(QPointF pixel, QSize size);

class Camera {
public:
    static constexpr float FieldOfView = 40.0f;  // vertical, degrees
    static constexpr float DefaultYaw = 35.0f;   // degrees, from +z towards +x
    static constexpr float DefaultPitch = 25.0f; // degrees above the horizon
    static constexpr float MaxPitch = 89.0f;

    QVector3D target;
    float distance = 4.0f;
    float yaw = DefaultYaw;
    float pitch = DefaultPitch;

    // The box the scene fills. It sets the near and far planes and the
    // limits of zooming; the camera itself does not move.
    void setSceneBounds(QVector3D boundsMin, QVector3D boundsMax);
    QVector3D sceneCentre() const { return m_centre; }
    float sceneRadius() const { return m_radius; }

    // Sets the scene bounds and frames the whole box for a viewport of this
    // aspect (width / height), looking at its centre from the current yaw
    // and pitch. resetAngles() first gives the default three-quarter view.
    void fit(QVector3D boundsMin, QVector3D boundsMax, float aspect);
    void resetAngles();

    // Turns around the target; the pitch stays within +-MaxPitch.
    void orbit(float yawDegrees, float pitchDegrees);
    // Moves the camera towards (factor < 1) or away from (factor > 1) the
    // point under the given screen position; that point stays under it.
    // The distance stays within a range set by the scene's size.
    void zoomToward(QPointF ndc, float factor, float aspect);
    // Slides the camera and its target sideways so the scene follows the
    // pointer: a point at the target's depth moves by `pixels` on screen.
    void pan(QPointF pixels, QSize viewport);

    QVector3D eye() const;
    QVector3D forward() const; // from the eye towards the target, unit length
    QMatrix4x4 view() const;
    QMatrix4x4 projection(float aspect) const;
    // The ray from the eye through a screen position.
    Ray rayThrough(QPointF ndc, float aspect) const;

    // The near and far clip distances for the current position.
    float nearPlane() const;
    float farPlane() const;

private:
    QVector3D m_centre;
    float m_radius = 1.0f;
};

} // namespace preview

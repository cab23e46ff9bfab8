#include "preview/facing.h"

#include <QVector2D>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace preview {

namespace {
constexpr float kTiny = 1e-6f;
}

QMatrix4x4 facingTurn(rwx::AxisAlignment alignment, QVector3D eye, QVector3D viewForward)
{
    QMatrix4x4 turn;
    QVector3D towardEye = eye.lengthSquared() > kTiny ? eye.normalized() : -viewForward;
    switch (alignment) {
    case rwx::AxisAlignment::None:
        break;
    case rwx::AxisAlignment::ZOrientY: {
        QVector2D level(towardEye.x(), towardEye.z());
        if (level.lengthSquared() < kTiny)
            level = QVector2D(-viewForward.x(), -viewForward.z());
        if (level.lengthSquared() >= kTiny)
            turn.rotate(qRadiansToDegrees(std::atan2(level.x(), level.y())), 0, 1, 0);
        break;
    }
    case rwx::AxisAlignment::ZOrientX: {
        QVector2D upright(towardEye.y(), towardEye.z());
        if (upright.lengthSquared() < kTiny)
            upright = QVector2D(-viewForward.y(), -viewForward.z());
        if (upright.lengthSquared() >= kTiny)
            turn.rotate(qRadiansToDegrees(std::atan2(-upright.x(), upright.y())), 1, 0, 0);
        break;
    }
    case rwx::AxisAlignment::Xyz: {
        const QVector3D z = towardEye;
        QVector3D x = QVector3D::crossProduct(QVector3D(0, 1, 0), z);
        if (x.lengthSquared() < kTiny) // straight above or below: keep the view's right
            x = QVector3D::crossProduct(viewForward, QVector3D(0, 1, 0)).lengthSquared() >= kTiny
                    ? QVector3D::crossProduct(viewForward, QVector3D(0, 1, 0))
                    : QVector3D(1, 0, 0);
        x.normalize();
        const QVector3D y = QVector3D::crossProduct(z, x);
        turn = QMatrix4x4(x.x(), y.x(), z.x(), 0, x.y(), y.y(), z.y(), 0, x.z(), y.z(), z.z(), 0, 0, 0, 0, 1);
        break;
    }
    }
    return turn;
}

void turnedBounds(const rwx::Scene &scene, QVector3D *low, QVector3D *high)
{
    *low = scene.boundsMin();
    *high = scene.boundsMax();
    if (scene.axisAlignment == rwx::AxisAlignment::None)
        return;
    // The farthest any corner reaches from the axis (or the origin) it turns about.
    float reach = 0.0f;
    for (const rwx::Mesh &mesh : scene.meshes) {
        for (const QVector3D &p : mesh.positions) {
            switch (scene.axisAlignment) {
            case rwx::AxisAlignment::ZOrientY:
                reach = std::max(reach, QVector2D(p.x(), p.z()).length());
                break;
            case rwx::AxisAlignment::ZOrientX:
                reach = std::max(reach, QVector2D(p.y(), p.z()).length());
                break;
            default:
                reach = std::max(reach, p.length());
                break;
            }
        }
    }
    switch (scene.axisAlignment) {
    case rwx::AxisAlignment::ZOrientY:
        *low = QVector3D(-reach, low->y(), -reach);
        *high = QVector3D(reach, high->y(), reach);
        break;
    case rwx::AxisAlignment::ZOrientX:
        *low = QVector3D(low->x(), -reach, -reach);
        *high = QVector3D(high->x(), reach, reach);
        break;
    default:
        *low = QVector3D(-reach, -reach, -reach);
        *high = QVector3D(reach, reach, reach);
        break;
    }
}

} // namespace preview

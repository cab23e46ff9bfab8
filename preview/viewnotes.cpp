#include "preview/viewnotes.h"

#include "preview/groundgrid.h"
#include "preview/picking.h"

#include <QStringList>
#include <QVector4D>

#include <algorithm>
#include <cmath>

namespace preview {

QString sizeInMetres(QVector3D low, QVector3D high)
{
    const QVector3D size = (high - low) * MetresPerUnit;
    const float largest = std::max({size.x(), size.y(), size.z()});
    const int decimals = largest >= 1.0f ? 1 : largest >= 0.1f ? 2 : 3;
    return QStringLiteral("%1 \u00d7 %2 \u00d7 %3 m")
        .arg(double(size.x()), 0, 'f', decimals)
        .arg(double(size.y()), 0, 'f', decimals)
        .arg(double(size.z()), 0, 'f', decimals);
}

QString signAspects(const PreparedScene &prepared)
{
    QStringList aspects;
    QString only;
    for (const TaggedFace &face : prepared.taggedFaces) {
        if (face.tag != TaggedFace::Sign)
            continue;
        const QString aspect = face.height > 0.0f
                                   ? QStringLiteral("%1 : 1").arg(double(face.width / face.height), 0, 'f', 2)
                                   : QStringLiteral("no height");
        aspects << aspect;
        only = QStringLiteral("sign %1 (%2 \u00d7 %3 m)")
                   .arg(aspect)
                   .arg(double(face.width * MetresPerUnit), 0, 'f', 1)
                   .arg(double(face.height * MetresPerUnit), 0, 'f', 1);
    }
    if (aspects.size() == 1)
        return only;
    return aspects.isEmpty() ? QString() : QStringLiteral("signs ") + aspects.join(QStringLiteral(", "));
}

namespace {

bool outsideView(const rwx::Scene &scene, const QMatrix4x4 &clip)
{
    const QVector3D low = scene.boundsMin(), high = scene.boundsMax();
    // Outside when all eight corners lie beyond one of the six planes.
    int beyond[6] = {};
    for (int c = 0; c < 8; ++c) {
        const QVector4D p = clip * QVector4D(c & 1 ? high.x() : low.x(), c & 2 ? high.y() : low.y(),
                                             c & 4 ? high.z() : low.z(), 1.0f);
        beyond[0] += p.x() < -p.w();
        beyond[1] += p.x() > p.w();
        beyond[2] += p.y() < -p.w();
        beyond[3] += p.y() > p.w();
        beyond[4] += p.z() < -p.w();
        beyond[5] += p.z() > p.w();
    }
    return std::any_of(std::begin(beyond), std::end(beyond), [](int n) { return n == 8; });
}

bool everyFaceAway(const rwx::Scene &scene, QVector3D eye)
{
    for (const rwx::Mesh &mesh : scene.meshes) {
        if (mesh.triangleCount() == 0)
            continue;
        if (!culledFromBehind(mesh.material))
            return false;
        const QVector3D *p = mesh.positions.constData();
        const quint32 *index = mesh.indices.constData();
        for (qsizetype t = 0; t < mesh.triangleCount(); ++t) {
            const QVector3D &a = p[index[3 * t]];
            const QVector3D normal = QVector3D::crossProduct(p[index[3 * t + 1]] - a, p[index[3 * t + 2]] - a);
            if (QVector3D::dotProduct(normal, eye - a) > 0.0f)
                return false;
        }
    }
    return true;
}

} // namespace

EmptyView emptyView(const PreparedScene &prepared, const QMatrix4x4 &turn, const Camera &camera, float aspect)
{
    const rwx::Scene &scene = prepared.scene;
    if (scene.triangleCount() == 0)
        return EmptyView::No;
    if (outsideView(scene, camera.projection(aspect) * camera.view() * turn))
        return EmptyView::Outside;
    if (everyFaceAway(scene, turn.inverted().map(camera.eye())))
        return EmptyView::FacesAway;
    return EmptyView::No;
}

QString emptyViewHint(EmptyView empty, qsizetype triangles)
{
    switch (empty) {
    case EmptyView::FacesAway:
        return (triangles == 1 ? QStringLiteral("the one face points away")
                               : QStringLiteral("all %1 faces point away").arg(triangles))
               + QStringLiteral(": orbit, or MaterialMode double shows both sides");
    case EmptyView::Outside:
        return QStringLiteral("the object is outside the view: Home brings it back");
    case EmptyView::No:
        break;
    }
    return {};
}

} // namespace preview

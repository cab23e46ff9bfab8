#include "preview/picking.h"

#include <cmath>

namespace preview {

bool culledFromBehind(const rwx::Material &material)
{
    return material.geometrySampling == rwx::GeometrySampling::Solid && !material.twoSided;
}

std::optional<Pick> pickTriangle(const rwx::Scene &scene, const Ray &ray, const CutAway &cutAway)
{
    std::optional<Pick> nearest;
    for (int m = 0; m < scene.meshes.size(); ++m) {
        const rwx::Mesh &mesh = scene.meshes[m];
        const bool culled = culledFromBehind(mesh.material);
        const QVector3D *positions = mesh.positions.constData();
        const quint32 *indices = mesh.indices.constData();
        for (qsizetype t = 0; t < mesh.triangleCount(); ++t) {
            const QVector3D &a = positions[indices[3 * t]];
            const QVector3D edge1 = positions[indices[3 * t + 1]] - a;
            const QVector3D edge2 = positions[indices[3 * t + 2]] - a;
            // Moeller and Trumbore's test.
            const QVector3D p = QVector3D::crossProduct(ray.direction, edge2);
            const float determinant = QVector3D::dotProduct(edge1, p);
            // A front face (counter-clockwise seen from the eye) has a
            // positive determinant.
            if (culled ? determinant <= 1e-12f : std::abs(determinant) <= 1e-12f)
                continue;
            const float inverse = 1.0f / determinant;
            const QVector3D s = ray.origin - a;
            const float u = QVector3D::dotProduct(s, p) * inverse;
            if (u < 0.0f || u > 1.0f)
                continue;
            const QVector3D q = QVector3D::crossProduct(s, edge1);
            const float v = QVector3D::dotProduct(ray.direction, q) * inverse;
            if (v < 0.0f || u + v > 1.0f)
                continue;
            const float distance = QVector3D::dotProduct(edge2, q) * inverse;
            if (distance <= 0.0f || (nearest && distance >= nearest->distance))
                continue;
            if (cutAway) {
                const QVector2D *uvs = mesh.uvs.constData();
                const QVector2D uv = uvs[indices[3 * t]] * (1.0f - u - v) + uvs[indices[3 * t + 1]] * u
                                     + uvs[indices[3 * t + 2]] * v;
                if (cutAway(m, uv))
                    continue;
            }
            nearest = Pick{m, t, mesh.lines[t], distance};
        }
    }
    return nearest;
}

QList<QVector3D> outlineOfLine(const rwx::Scene &scene, int line)
{
    QList<QVector3D> points;
    if (line <= 0)
        return points;
    for (const rwx::Mesh &mesh : scene.meshes) {
        for (qsizetype t = 0; t < mesh.triangleCount(); ++t) {
            if (mesh.lines[t] != line)
                continue;
            const QVector3D &a = mesh.positions[mesh.indices[3 * t]];
            const QVector3D &b = mesh.positions[mesh.indices[3 * t + 1]];
            const QVector3D &c = mesh.positions[mesh.indices[3 * t + 2]];
            points << a << b << b << c << c << a;
        }
    }
    return points;
}

} // namespace preview

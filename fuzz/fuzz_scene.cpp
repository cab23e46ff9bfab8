// Fuzz target: what a script draws. Whatever the text, the scene is made in
// bounded time (libFuzzer's -timeout catches a hang), every coordinate is
// finite, every index names a corner of its mesh, every triangle has the
// line of a statement inside the text and a tag in range, prelight colours
// are colours of every corner or of none, and the bounds hold every corner.
#include "check.h"

#include <QString>

#include <cmath>

// ---- The project code this target calls: the one place to rename. ----
#include "scene/scene.h"

namespace {
rwx::Scene build(const QString &text)
{
    return rwx::buildScene(text);
}
} // namespace
// ---- end of project calls ----

namespace {
bool finite(const QVector3D &v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}
} // namespace

ORVANE_FUZZ_TARGET
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const rwx::Scene scene = build(text);
    const qsizetype lineCount = text.count(u'\n') + text.count(u'\r') + 1;
    const QVector3D low = scene.boundsMin(), high = scene.boundsMax();
    FUZZ_CHECK(finite(low) && finite(high), "the bounds are finite");
    qsizetype triangles = 0;
    for (const rwx::Mesh &mesh : scene.meshes) {
        FUZZ_CHECK(mesh.indices.size() == 3 * mesh.lines.size(), "three corners a triangle");
        FUZZ_CHECK(mesh.normals.size() == mesh.positions.size() && mesh.uvs.size() == mesh.positions.size(),
                   "every corner has a normal and a texture coordinate");
        for (const QVector3D &p : mesh.positions) {
            FUZZ_CHECK(finite(p), "positions are finite");
            FUZZ_CHECK(p.x() >= low.x() && p.y() >= low.y() && p.z() >= low.z() && p.x() <= high.x()
                           && p.y() <= high.y() && p.z() <= high.z(),
                       "the bounds hold every corner");
        }
        for (const QVector3D &n : mesh.normals)
            FUZZ_CHECK(finite(n), "normals are finite");
        FUZZ_CHECK(mesh.prelight.isEmpty() || mesh.prelight.size() == mesh.positions.size(),
                   "prelight is given for every corner of a mesh or for none");
        for (const QVector3D &c : mesh.prelight)
            FUZZ_CHECK(c.x() >= 0 && c.y() >= 0 && c.z() >= 0 && c.x() <= 1 && c.y() <= 1 && c.z() <= 1,
                       "prelight colours are colours");
        FUZZ_CHECK(mesh.tags.size() == mesh.lines.size(), "every triangle has a tag");
        for (int tag : mesh.tags)
            FUZZ_CHECK(tag >= 0 && tag <= rwx::Scene::MaxTag, "tags are in range");
        for (const QVector2D &uv : mesh.uvs)
            FUZZ_CHECK(std::isfinite(uv.x()) && std::isfinite(uv.y()), "texture coordinates are finite");
        for (quint32 index : mesh.indices)
            FUZZ_CHECK(index < quint32(mesh.positions.size()), "indices name corners of their mesh");
        for (int line : mesh.lines)
            FUZZ_CHECK(line >= 1 && line <= lineCount, "a triangle's line is in the text");
        triangles += mesh.lines.size();
    }
    FUZZ_CHECK(triangles == scene.triangleCount(), "the count is the meshes' triangles");
    return 0;
}

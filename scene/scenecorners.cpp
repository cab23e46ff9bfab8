// Vertices, and what their corners carry into a mesh: place, texture
// coordinates, normal and prelight; and a proto's corners placed anew for
// an instance.
#include "scene/scenebuilder.h"

namespace rwx::scenebuild {

namespace geo = scenegeometry;

void Builder::vertex(const Words &words)
{
    float xyz[3];
    if (!numbers(words, 1, 3, xyz)) {
        Corner unusable; // still counts: the faces after it keep their numbers
        unusable.usable = false;
        m_corners.push_back(unusable);
        m_lastVertex = qsizetype(m_corners.size() - 1);
        return;
    }
    QVector2D uv;
    QVector3D normal;
    bool prelit = false;
    float color[3];
    for (qsizetype i = 4; i < words.size(); ++i) {
        float v[3];
        if (equalsLower(words[i], "uv") && numbers(words, i + 1, 2, v)) {
            uv = QVector2D(v[0], v[1]);
            i += 2;
        } else if (equalsLower(words[i], "normal") && numbers(words, i + 1, 3, v)) {
            normal = QVector3D(v[0], v[1], v[2]);
            i += 3;
        } else if (equalsLower(words[i], "prelight") && numbers(words, i + 1, 3, color)) {
            prelit = true;
            i += 3;
        }
    }
    m_lastVertex = addCorner(QVector3D(xyz[0], xyz[1], xyz[2]), uv, normal);
    if (prelit)
        givePrelight(m_lastVertex, unitColor(color));
}

// "Prelight r g b" as a statement of its own: it gives its colour to the
// vertex read just before it (corner), and is ignored anywhere else.
void Builder::prelight(const Words &words, qsizetype corner)
{
    float color[3];
    if (corner >= 0 && numbers(words, 1, 3, color))
        givePrelight(corner, unitColor(color));
}

void Builder::givePrelight(qsizetype corner, const QVector3D &color)
{
    m_corners[corner].prelight = color;
    m_corners[corner].prelit = true;
    Scope &scope = m_scopes.back();
    scope.prelight = color;
    scope.prelit = true;
}

qsizetype Builder::addCorner(const QVector3D &local, const QVector2D &uv, const QVector3D &localNormal)
{
    Corner corner;
    corner.position = m_ctm.map(local);
    ++m_scene.scene.placedCorners;
    corner.usable = isFinite(corner.position);
    corner.uv = uv;
    if (!localNormal.isNull())
        corner.normal = normalTransform().map(localNormal);
    const Scope &scope = m_scopes.back(); // the last prelight given before it, if any
    corner.prelight = scope.prelight;
    corner.prelit = scope.prelit;
    m_corners.push_back(corner);
    return qsizetype(m_corners.size() - 1);
}

// After corner's position was appended to mesh, when the corner is prelit
// or the mesh has prelight.
void Builder::appendPrelight(Mesh &mesh, const Corner &corner)
{
    if (mesh.prelight.size() + 1 < mesh.positions.size())
        mesh.prelight.resize(mesh.positions.size() - 1); // the first prelit corner: 0 0 0 for those before
    mesh.prelight.append(corner.prelit ? corner.prelight : QVector3D());
}

// After the corners of `instanced` were appended to mesh, from index at on.
void Builder::appendPrelight(Mesh &mesh, const Mesh &instanced, qsizetype at)
{
    if (instanced.prelight.isEmpty() && mesh.prelight.isEmpty())
        return;
    mesh.prelight.resize(at);
    if (instanced.prelight.isEmpty())
        mesh.prelight.resize(mesh.positions.size());
    else
        mesh.prelight.append(instanced.prelight);
}

void Builder::instance(const Words &words, bool geometryOnly, int line)
{
    if (words.size() < 2)
        return;
    const Target *proto = m_protoByName.value(words[1].toString().toLower());
    if (!proto)
        return;
    const qsizetype triangles = proto->scene.triangleCount();
    if (triangles == 0 || !fits(triangles))
        return; // nothing is placed for an instance that would not fit
    // Place every corner first: an instance is drawn whole or not at all.
    m_mapped.clear();
    for (const Mesh &src : proto->scene.meshes) {
        if (stopped())
            return;
        for (qsizetype i = 0; i < src.positions.size(); ++i) {
            if (i % CornersPerStopQuestion == CornersPerStopQuestion - 1 && stopped())
                return;
            m_mapped.push_back(m_ctm.map(src.positions[i]));
            ++m_scene.scene.placedCorners;
            if (!isFinite(m_mapped.back()))
                return;
        }
    }
    takeTriangles(triangles);
    const geo::NormalTransform &turn = normalTransform();
    const QVector3D *mapped = m_mapped.data();
    for (const Mesh &src : proto->scene.meshes) {
        if (stopped())
            return; // the meshes copied so far are whole
        const int meshIndex = geometryOnly ? currentMesh() : m_target->meshFor(src.material);
        Mesh &dst = m_target->scene.meshes[meshIndex];
        const quint32 offset = quint32(dst.positions.size());
        dst.positions.append(QList<QVector3D>(mapped, mapped + src.positions.size()));
        mapped += src.positions.size();
        dst.normals.reserve(dst.normals.size() + src.normals.size());
        for (const QVector3D &n : src.normals) {
            const QVector3D turned = turn.map(n);
            dst.normals.append(turned.isNull() ? UpNormal : turned);
        }
        dst.uvs.append(src.uvs);
        appendPrelight(dst, src, offset);
        dst.indices.reserve(dst.indices.size() + src.indices.size());
        for (const quint32 i : src.indices)
            dst.indices.append(i + offset);
        dst.lines.insert(dst.lines.size(), src.lines.size(), line);
        dst.tags.append(src.tags);
    }
}

} // namespace rwx::scenebuild

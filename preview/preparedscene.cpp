#include "preview/preparedscene.h"

#include "preview/picking.h"
#include "scene/textures.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace preview {

Shading shadingOf(const rwx::Material &material, TextureShown textureShown, Prelit prelit)
{
    Shading shading;
    shading.color = material.color;
    shading.opacity = material.opacity;
    shading.ambient = material.ambient;
    shading.diffuse = material.diffuse;
    shading.specular = material.specular;
    if (rwx::setsNoLight(material)) {
        shading.ambient = Shading::DefaultAmbient;
        shading.diffuse = Shading::DefaultDiffuse;
    }
    const bool textureMissing = !material.texture.isEmpty() && textureShown == TextureShown::No;
    if (rwx::shownGrey(material, textureMissing, prelit == Prelit::Yes))
        shading.color = Shading::DefaultColor;
    return shading;
}

namespace {

// Each edge of each triangle once per triangle; shared edges are drawn twice,
// which looks the same and costs less than finding them.
QList<quint32> wireframeEdges(const rwx::Mesh &mesh)
{
    QList<quint32> edges;
    edges.reserve(mesh.indices.size() * 2);
    for (qsizetype i = 0; i + 2 < mesh.indices.size(); i += 3) {
        const quint32 a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        edges << a << b << b << c << c << a;
    }
    return edges;
}

QVector3D corner(const rwx::Mesh &mesh, qsizetype triangle, int which)
{
    return mesh.positions[mesh.indices[3 * triangle + which]];
}

void addSeeThrough(SeeThroughFaces &faces, const rwx::Mesh &mesh, const PreparedMesh &prepared)
{
    const Shading &s = prepared.shading;
    const bool lit = prepared.texture < 0 || mesh.material.textureModes.testFlag(rwx::TextureMode::Lit);
    const SeeThroughGroup group{prepared.texture, prepared.masked, mesh.material.addressMode};
    qsizetype groupIndex = faces.groups.indexOf(group);
    if (groupIndex < 0) {
        groupIndex = faces.groups.size();
        faces.groups << group;
    }
    const quint32 base = quint32(faces.vertices.size());
    for (qsizetype i = 0; i < mesh.positions.size(); ++i) {
        faces.vertices.append({mesh.positions[i], mesh.normals[i], mesh.uvs[i], mesh.prelight.value(i),
                               QVector4D(s.color, s.opacity), QVector4D(s.ambient, s.diffuse, s.specular, lit ? 1 : 0),
                               culledFromBehind(mesh.material) ? 1.0f : 0.0f});
    }
    for (qsizetype t = 0; t < mesh.triangleCount(); ++t) {
        for (int k = 0; k < 3; ++k)
            faces.indices << base + mesh.indices[3 * t + k];
        faces.centres << (corner(mesh, t, 0) + corner(mesh, t, 1) + corner(mesh, t, 2)) / 3.0f;
        faces.groupOf << int(groupIndex);
    }
}

// The size of a face in its own plane: across, level with the ground where
// the face stands upright, and up along it.
void measure(TaggedFace &face, const QList<QVector3D> &corners)
{
    QVector3D normal;
    for (qsizetype i = 0; i + 2 < corners.size(); i += 3)
        normal += QVector3D::crossProduct(corners[i + 1] - corners[i], corners[i + 2] - corners[i]);
    normal.normalize();
    QVector3D across = QVector3D::crossProduct(QVector3D(0, 1, 0), normal);
    if (across.lengthSquared() < 1e-6f) // lying flat: across is along x
        across = QVector3D(1, 0, 0);
    across.normalize();
    const QVector3D up = QVector3D::crossProduct(normal, across).normalized();
    float low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    QVector3D sum;
    for (const QVector3D &p : corners) {
        const float along[2] = {QVector3D::dotProduct(p, across), QVector3D::dotProduct(p, up)};
        for (int k = 0; k < 2; ++k) {
            low[k] = std::min(low[k], along[k]);
            high[k] = std::max(high[k], along[k]);
        }
        sum += p;
    }
    face.width = high[0] - low[0];
    face.height = high[1] - low[1];
    face.centre = sum / float(std::max<qsizetype>(1, corners.size()));
}

// The tagged faces, one a tag and line, and their triangles for tinting.
void gatherTags(PreparedScene &prepared)
{
    QHash<QPair<int, int>, qsizetype> faceOf; // tag and line -> index
    QList<QList<QVector3D>> cornersOf;
    QList<QVector3D> signs, pictures, others;
    for (const rwx::Mesh &mesh : std::as_const(prepared.scene.meshes)) {
        for (qsizetype t = 0; t < mesh.tags.size() && t < mesh.triangleCount(); ++t) {
            const int tag = mesh.tags[t];
            if (tag == 0)
                continue;
            const QVector3D a = corner(mesh, t, 0), b = corner(mesh, t, 1), c = corner(mesh, t, 2);
            QList<QVector3D> &tinted = tag == TaggedFace::Sign ? signs : tag == TaggedFace::Picture ? pictures : others;
            tinted << a << b << c;
            const QPair<int, int> key(tag, mesh.lines[t]);
            auto it = faceOf.find(key);
            if (it == faceOf.end()) {
                it = faceOf.insert(key, prepared.taggedFaces.size());
                prepared.taggedFaces.append({tag, mesh.lines[t], {}, 0.0f, 0.0f});
                cornersOf.append(QList<QVector3D>());
            }
            cornersOf[*it] << a << b << c;
        }
    }
    for (qsizetype i = 0; i < prepared.taggedFaces.size(); ++i)
        measure(prepared.taggedFaces[i], cornersOf[i]);
    std::stable_sort(prepared.taggedFaces.begin(), prepared.taggedFaces.end(),
                     [](const TaggedFace &a, const TaggedFace &b) { return a.line < b.line; });
    prepared.signCorners = signs.size();
    prepared.pictureCorners = pictures.size();
    prepared.taggedTriangles = signs + pictures + others;
}

// A texture coordinate in 0..1 as the address mode reads it.
float addressed(float t, rwx::TextureAddressMode mode)
{
    if (!std::isfinite(t))
        return 0.0f;
    switch (mode) {
    case rwx::TextureAddressMode::Clamp:
        return std::clamp(t, 0.0f, 1.0f);
    case rwx::TextureAddressMode::Mirror: {
        const float period = t - 2.0f * std::floor(t / 2.0f);
        return period > 1.0f ? 2.0f - period : period;
    }
    case rwx::TextureAddressMode::Wrap:
        break;
    }
    return t - std::floor(t);
}

} // namespace

bool PreparedScene::animates() const
{
    return std::any_of(frames.begin(), frames.end(), [](int n) { return n > 1; });
}

int PreparedScene::frameAt(int image, qint64 tick) const
{
    const int n = frames.value(image, 1);
    return n > 1 ? int(tick % n) : 0;
}

bool PreparedScene::cutAway(int mesh, QVector2D uv, qint64 tick) const
{
    const PreparedMesh *prepared = mesh >= 0 && mesh < meshes.size() ? &meshes[mesh] : nullptr;
    if (!prepared || !prepared->masked || prepared->texture < 0 || prepared->texture >= textures.size())
        return false;
    const QImage &image = textures[prepared->texture];
    const int n = std::max(1, frames.value(prepared->texture, 1));
    const int width = image.width(), frameHeight = image.height() / n;
    if (width <= 0 || frameHeight <= 0)
        return false;
    const rwx::TextureAddressMode mode = scene.meshes[mesh].material.addressMode;
    const int x = std::min(width - 1, int(addressed(uv.x(), mode) * float(width)));
    const int y = std::min(frameHeight - 1, int(addressed(uv.y(), mode) * float(frameHeight)));
    return qAlpha(image.pixel(x, frameAt(prepared->texture, tick) * frameHeight + y)) < 128;
}

PreparedScene prepareScene(QStringView script, const QString &scriptFolder, std::stop_token stop)
{
    PreparedScene prepared;
    prepared.scene = rwx::buildScene(script, stop);
    prepared.cancelled = prepared.scene.cancelled;
    if (prepared.cancelled)
        return prepared;

    QList<rwx::TextureUse> uses;
    for (const rwx::Mesh &mesh : std::as_const(prepared.scene.meshes))
        uses.append({mesh.material.texture, mesh.material.mask});
    rwx::LoadedTextures loaded = rwx::loadTextures(uses, rwx::scriptTextureFolders(scriptFolder), stop);
    prepared.cancelled = loaded.cancelled;
    prepared.textures = std::move(loaded.images);
    prepared.notes = std::move(loaded.notes);
    for (const QImage &image : std::as_const(prepared.textures))
        prepared.frames << rwx::stripFrames(image.size());

    prepared.meshes.reserve(prepared.scene.meshes.size());
    for (qsizetype i = 0; i < prepared.scene.meshes.size(); ++i) {
        rwx::Mesh &mesh = prepared.scene.meshes[i];
        if (!mesh.prelight.isEmpty()) // one a corner, 0 0 0 for those not given one
            mesh.prelight.resize(mesh.positions.size());
        PreparedMesh extra;
        if (mesh.material.geometrySampling == rwx::GeometrySampling::Wireframe)
            extra.edges = wireframeEdges(mesh);
        extra.texture = loaded.uses[i].image;
        extra.masked = loaded.uses[i].masked;
        extra.shading = shadingOf(mesh.material, extra.texture >= 0 ? TextureShown::Yes : TextureShown::No,
                                  mesh.prelight.isEmpty() ? Prelit::No : Prelit::Yes);
        extra.seeThrough = extra.shading.opacity < 1.0f && mesh.material.geometrySampling == rwx::GeometrySampling::Solid;
        if (extra.seeThrough)
            addSeeThrough(prepared.seeThrough, mesh, extra);
        prepared.meshes << extra;
    }
    gatherTags(prepared);
    return prepared;
}

} // namespace preview

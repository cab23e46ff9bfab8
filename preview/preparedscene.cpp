#include "preview/preparedscene.h"

#include "scene/textures.h"

namespace preview {

Shading shadingOf(const rwx::Material &material, TextureShown textureShown)
{
    Shading shading;
    shading.color = material.color;
    shading.opacity = material.opacity;
    shading.ambient = material.ambient;
    shading.diffuse = material.diffuse;
    shading.specular = material.specular;
    const bool unlit = shading.ambient == 0.0f && shading.diffuse == 0.0f && shading.specular == 0.0f;
    if (unlit) {
        shading.ambient = Shading::DefaultAmbient;
        shading.diffuse = Shading::DefaultDiffuse;
    }
    const bool textureMissing = !material.texture.isEmpty() && textureShown == TextureShown::No;
    if (shading.color.isNull() && (unlit || textureMissing))
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

} // namespace

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

    prepared.meshes.reserve(prepared.scene.meshes.size());
    for (qsizetype i = 0; i < prepared.scene.meshes.size(); ++i) {
        const rwx::Mesh &mesh = prepared.scene.meshes[i];
        PreparedMesh extra;
        if (mesh.material.geometrySampling == rwx::GeometrySampling::Wireframe)
            extra.edges = wireframeEdges(mesh);
        extra.texture = loaded.uses[i].image;
        extra.masked = loaded.uses[i].masked;
        extra.shading = shadingOf(mesh.material, extra.texture >= 0 ? TextureShown::Yes : TextureShown::No);
        prepared.meshes << extra;
    }
    return prepared;
}

} // namespace preview

#include "preview/preparedscene.h"

#include "preview/textures.h"

#include <QHash>
#include <QSet>

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

PreparedScene prepareScene(QStringView script, const QString &scriptFolder)
{
    PreparedScene prepared;
    prepared.scene = rwx::buildScene(script);
    TextureFinder finder(textureFolders(scriptFolder));
    struct Loaded {
        int texture = -1;
        bool masked = false;
    };
    QHash<QString, Loaded> loaded; // texture and mask names, lower case
    QSet<QString> noted;
    auto note = [&](const QString &kind, const QString &name) {
        if (!noted.contains(kind + name.toLower())) {
            noted.insert(kind + name.toLower());
            prepared.notes << QStringLiteral("%1 %2 not found").arg(kind, name);
        }
    };
    auto load = [&](const rwx::Material &material) {
        Loaded result;
        const QImage image = readImageFile(finder.imageFile(material.texture));
        if (image.isNull()) {
            note(QStringLiteral("texture"), material.texture);
            return result;
        }
        QImage mask;
        if (!material.mask.isEmpty()) {
            mask = finder.mask(material.mask);
            if (mask.isNull())
                note(QStringLiteral("mask"), material.mask);
        }
        result.texture = int(prepared.textures.size());
        result.masked = !mask.isNull();
        prepared.textures << maskedTexture(image, mask);
        return result;
    };

    prepared.meshes.reserve(prepared.scene.meshes.size());
    for (const rwx::Mesh &mesh : std::as_const(prepared.scene.meshes)) {
        PreparedMesh extra;
        const rwx::Material &material = mesh.material;
        if (material.geometrySampling == rwx::GeometrySampling::Wireframe)
            extra.edges = wireframeEdges(mesh);
        if (!material.texture.isEmpty()) {
            const QString key = material.texture.toLower() + u'\n' + material.mask.toLower();
            auto it = loaded.find(key);
            if (it == loaded.end())
                it = loaded.insert(key, load(material));
            extra.texture = it->texture;
            extra.masked = it->masked;
        }
        extra.shading = shadingOf(material, extra.texture >= 0 ? TextureShown::Yes : TextureShown::No);
        prepared.meshes << extra;
    }
    return prepared;
}

} // namespace preview

#include "convert/exportobject.h"

#include <QSet>

#include <cmath>

namespace convert {

namespace {

QString colorName(const QVector3D &color)
{
    auto hex = [](float component) {
        return QStringLiteral("%1").arg(int(std::lround(component * 255.0f)), 2, 16, QLatin1Char('0'));
    };
    return QStringLiteral("color_") + hex(color.x()) + hex(color.y()) + hex(color.z());
}

// A name for a material file's line: no blanks in it.
QString tidyName(QString name)
{
    for (QChar &c : name) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            c = u'_';
    }
    return name;
}

ExportMaterial exportMaterial(const rwx::Material &material, TextureGathering &textures)
{
    ExportMaterial result;
    result.opacity = material.opacity;
    result.roughness = 1.0f - material.specular / 2.0f;
    result.doubleSided = material.twoSided;
    result.addressMode = material.addressMode;
    result.axisAlignment = material.axisAlignment;
    if (!material.texture.isEmpty()) {
        int texture = textures.texture(material.texture, false);
        const int mask = texture < 0 || material.mask.isEmpty() ? -1 : textures.mask(material.mask);
        // Pixels are needed to put the mask in, or to make a BMP or GIF a PNG.
        if (texture >= 0 && (mask >= 0 || !textures.textures()[texture].embeddable()))
            texture = textures.texture(material.texture, true);
        result.texture = texture;
        result.mask = texture >= 0 ? mask : -1;
    }
    if (result.texture >= 0)
        result.color = QVector3D(1.0f, 1.0f, 1.0f);
    else if (rwx::shownGrey(material, !material.texture.isEmpty(), false))
        result.color = rwx::ShownGrey;
    else
        result.color = material.color;
    if (result.opacity < 1.0f)
        result.alphaMode = AlphaMode::Blend;
    else if (result.mask >= 0)
        result.alphaMode = AlphaMode::Mask;
    result.name = tidyName(material.texture.isEmpty() ? colorName(result.color) : material.texture);
    return result;
}

} // namespace

ExportObject makeExportObject(QStringView script, const QString &name, const QStringList &textureFolders,
                              std::stop_token stop)
{
    ExportObject object;
    object.name = name;
    object.scene = rwx::buildScene(script, stop);
    if (object.scene.cancelled || stop.stop_requested()) {
        object.cancelled = true;
        return object;
    }
    TextureGathering textures(textureFolders);
    QSet<QString> names;
    for (const rwx::Mesh &mesh : std::as_const(object.scene.meshes)) {
        ExportMaterial material = exportMaterial(mesh.material, textures);
        const QString base = material.name;
        for (int n = 2; names.contains(material.name.toLower()); ++n)
            material.name = QStringLiteral("%1_%2").arg(base).arg(n);
        names.insert(material.name.toLower());
        object.materials << material;
        if (stop.stop_requested()) {
            object.cancelled = true;
            return object;
        }
    }
    object.textures = textures.textures();
    object.masks = textures.masks();
    object.filesRead = textures.filesRead();
    if (object.scene.incomplete)
        object.notes << QStringLiteral("too large: only the first %1 triangles are exported").arg(rwx::Scene::MaxTriangles);
    else if (object.scene.triangleCount() == 0)
        object.notes << QStringLiteral("it draws no triangles");
    object.notes << textures.notes();
    return object;
}

float linearFromSrgb(float component)
{
    if (component <= 0.04045f)
        return component / 12.92f;
    return std::pow((component + 0.055f) / 1.055f, 2.4f);
}

QString axisAlignmentName(rwx::AxisAlignment alignment)
{
    switch (alignment) {
    case rwx::AxisAlignment::None:
        return QStringLiteral("none");
    case rwx::AxisAlignment::ZOrientX:
        return QStringLiteral("zorientx");
    case rwx::AxisAlignment::ZOrientY:
        return QStringLiteral("zorienty");
    case rwx::AxisAlignment::Xyz:
        return QStringLiteral("xyz");
    }
    return {};
}

} // namespace convert

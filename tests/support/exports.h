#pragma once
// Exports read back: glTF files with tinygltf's loader (images decoded
// too), OBJ files by their lines.
#include <tiny_gltf.h>

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector2D>
#include <QVector3D>

#include <cstring>

#include "support/files.h"

namespace orvane_test {

// The .glb or .gltf at `path`; *error says why it could not be read.
inline tinygltf::Model loadGltf(const QString &path, QString *error)
{
    tinygltf::Model model;
    tinygltf::TinyGLTF loader;
    std::string err, warn;
    const std::string file = QFile::encodeName(path).toStdString();
    const bool ok = path.endsWith(QStringLiteral(".glb")) ? loader.LoadBinaryFromFile(&model, &err, &warn, file)
                                                           : loader.LoadASCIIFromFile(&model, &err, &warn, file);
    *error = ok ? QString::fromStdString(warn) : QStringLiteral("cannot load %1: %2").arg(path, QString::fromStdString(err));
    return model;
}

// The floats of a float accessor, tightly packed.
inline std::vector<float> accessorFloats(const tinygltf::Model &model, int index)
{
    const tinygltf::Accessor &accessor = model.accessors.at(size_t(index));
    const tinygltf::BufferView &view = model.bufferViews.at(size_t(accessor.bufferView));
    const size_t components = size_t(tinygltf::GetNumComponentsInType(uint32_t(accessor.type)));
    std::vector<float> values(accessor.count * components);
    std::memcpy(values.data(), model.buffers.at(size_t(view.buffer)).data.data() + view.byteOffset + accessor.byteOffset,
                values.size() * sizeof(float));
    return values;
}

inline int gltfTriangles(const tinygltf::Model &model)
{
    size_t indices = 0;
    for (const tinygltf::Mesh &mesh : model.meshes)
        for (const tinygltf::Primitive &primitive : mesh.primitives)
            indices += model.accessors.at(size_t(primitive.indices)).count;
    return int(indices / 3);
}

// The box around every position the file holds, from the data itself.
inline QPair<QVector3D, QVector3D> gltfBounds(const tinygltf::Model &model)
{
    QVector3D low(1e30f, 1e30f, 1e30f), high(-1e30f, -1e30f, -1e30f);
    for (const tinygltf::Mesh &mesh : model.meshes) {
        for (const tinygltf::Primitive &primitive : mesh.primitives) {
            const std::vector<float> p = accessorFloats(model, primitive.attributes.at("POSITION"));
            for (size_t i = 0; i + 2 < p.size(); i += 3) {
                low = QVector3D(std::min(low.x(), p[i]), std::min(low.y(), p[i + 1]), std::min(low.z(), p[i + 2]));
                high = QVector3D(std::max(high.x(), p[i]), std::max(high.y(), p[i + 1]), std::max(high.z(), p[i + 2]));
            }
        }
    }
    return {low, high};
}

struct ObjFile {
    QList<QVector3D> positions;
    QList<QVector2D> uvs;
    int faces = 0;
    QStringList materials; // as the usemtl lines name them, in order
    QString library;       // mtllib
};

inline ObjFile readObj(const QString &path)
{
    ObjFile obj;
    for (const QByteArray &line : readFile(path).split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        const QByteArray &keyword = words.first();
        if (keyword == "v" && words.size() >= 4)
            obj.positions << QVector3D(words[1].toFloat(), words[2].toFloat(), words[3].toFloat());
        else if (keyword == "vt" && words.size() >= 3)
            obj.uvs << QVector2D(words[1].toFloat(), words[2].toFloat());
        else if (keyword == "f")
            ++obj.faces;
        else if (keyword == "usemtl")
            obj.materials << QString::fromUtf8(words.value(1));
        else if (keyword == "mtllib")
            obj.library = QString::fromUtf8(words.value(1));
    }
    return obj;
}

inline QPair<QVector3D, QVector3D> objBounds(const ObjFile &obj)
{
    QVector3D low(1e30f, 1e30f, 1e30f), high(-1e30f, -1e30f, -1e30f);
    for (const QVector3D &p : obj.positions) {
        low = QVector3D(std::min(low.x(), p.x()), std::min(low.y(), p.y()), std::min(low.z(), p.z()));
        high = QVector3D(std::max(high.x(), p.x()), std::max(high.y(), p.y()), std::max(high.z(), p.z()));
    }
    return {low, high};
}

// An .mtl's materials: name -> keyword -> the rest of the line.
inline QMap<QString, QMap<QString, QString>> readMtl(const QString &path)
{
    QMap<QString, QMap<QString, QString>> materials;
    QString current;
    for (const QByteArray &line : readFile(path).split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        const QString keyword = text.section(u' ', 0, 0);
        const QString rest = text.section(u' ', 1);
        if (keyword == QLatin1String("newmtl"))
            current = rest;
        else if (!current.isEmpty() && !keyword.isEmpty() && !keyword.startsWith(u'#'))
            materials[current][keyword] = rest;
    }
    return materials;
}

} // namespace orvane_test

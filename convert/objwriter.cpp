#include "convert/objwriter.h"

#include "commandline/commandline.h"
#include "convert/numbertext.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QSet>

#include <cmath>

namespace convert {

namespace {

QByteArray maskPng(const QImage &mask)
{
    QImage image(mask.size(), QImage::Format_RGBA8888);
    for (int y = 0; y < mask.height(); ++y) {
        const uchar *level = mask.constScanLine(y);
        uchar *pixel = image.scanLine(y);
        for (int x = 0; x < mask.width(); ++x)
            std::fill_n(pixel + 4 * x, 4, level[x]);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ObjWriter {
public:
    ObjWriter(const ExportObject &object, const QString &stem) : m_object(object), m_stem(stem) {}

    QList<OutputFile> files(const QString &mainName)
    {
        const QByteArray header = QStringLiteral("# %1, exported by Orvane %2: metres, Y up\n")
                                      .arg(m_object.name, commandline::version())
                                      .toUtf8();
        QByteArray obj = header, mtl = header;
        const QString mtlName = m_stem + QStringLiteral(".mtl");
        m_used.insert(mtlName.toLower());
        m_used.insert(mainName.toLower());
        obj += "mtllib " + mtlName.toUtf8() + "\no " + m_object.name.toUtf8() + '\n';
        qsizetype first = 1; // the number of the next corner
        for (qsizetype i = 0; i < m_object.scene.meshes.size(); ++i) {
            const rwx::Mesh &mesh = m_object.scene.meshes[i];
            if (mesh.triangleCount() == 0)
                continue;
            const ExportMaterial &material = m_object.materials[i];
            addMaterial(material, mtl);
            addMesh(mesh, material.name, first, obj);
            first += mesh.positions.size();
        }
        m_images.append({mtlName, mtl});
        m_images.append({mainName, obj});
        return m_images;
    }

private:
    void addMesh(const rwx::Mesh &mesh, const QString &material, qsizetype first, QByteArray &obj) const
    {
        for (const QVector3D &p : mesh.positions) {
            obj += 'v';
            appendNumbers(obj, {p.x() * MetresPerUnit, p.y() * MetresPerUnit, p.z() * MetresPerUnit});
            obj += '\n';
        }
        for (qsizetype c = 0; c < mesh.positions.size(); ++c) {
            const QVector2D uv = mesh.uvs.value(c);
            obj += "vt";
            appendNumbers(obj, {uv.x(), 1.0f - uv.y()});
            obj += '\n';
        }
        for (const QVector3D &n : mesh.normals) {
            obj += "vn";
            appendNumbers(obj, {n.x(), n.y(), n.z()});
            obj += '\n';
        }
        obj += "usemtl " + material.toUtf8() + '\n';
        obj += mesh.material.lightSampling == rwx::LightSampling::Vertex ? "s 1\n" : "s off\n";
        for (qsizetype t = 0; t < mesh.indices.size(); t += 3) {
            obj += 'f';
            for (qsizetype k = 0; k < 3; ++k) {
                const QByteArray corner = QByteArray::number(first + mesh.indices[t + k]);
                obj += ' ' + corner + '/' + corner + '/' + corner;
            }
            obj += '\n';
        }
    }

    void addMaterial(const ExportMaterial &material, QByteArray &mtl)
    {
        mtl += "\nnewmtl " + material.name.toUtf8() + "\nKd";
        appendNumbers(mtl, {material.color.x(), material.color.y(), material.color.z()});
        mtl += "\nNs";
        const float gloss = 1.0f - material.roughness;
        appendNumbers(mtl, {std::round(1000.0f * gloss * gloss * 100.0f) / 100.0f}); // to 0.01
        mtl += "\nd";
        appendNumbers(mtl, {material.opacity});
        mtl += "\nillum 2\n";
        if (material.texture >= 0) {
            const TextureFile &texture = m_object.textures[material.texture];
            mtl += "map_Kd " + imageFile(m_textureFiles, material.texture, QFileInfo(texture.path).fileName(), texture.bytes) + '\n';
        }
        if (material.mask >= 0) {
            const TextureFile &mask = m_object.masks[material.mask];
            if (!m_maskFiles.contains(material.mask))
                imageFile(m_maskFiles, material.mask, mask.name + QStringLiteral("_mask.png"), maskPng(mask.image));
            mtl += "map_d " + m_maskFiles.value(material.mask).toUtf8() + '\n';
        }
    }

    // The name of the image file written for `index`, written the first time.
    QByteArray imageFile(QHash<int, QString> &written, int index, const QString &fileName, const QByteArray &bytes)
    {
        if (!written.contains(index)) {
            const QString wanted = companionStem(m_stem + u'_' + fileName);
            const qsizetype dot = wanted.lastIndexOf(u'.');
            QString name = wanted;
            for (int n = 2; m_used.contains(name.toLower()); ++n)
                name = wanted.left(dot) + QStringLiteral("_%1").arg(n) + wanted.mid(dot);
            m_used.insert(name.toLower());
            m_images.append({name, bytes});
            written.insert(index, name);
        }
        return written.value(index).toUtf8();
    }

    const ExportObject &m_object;
    QString m_stem;
    QList<OutputFile> m_images; // and then the .mtl and the .obj
    QHash<int, QString> m_textureFiles;
    QHash<int, QString> m_maskFiles;
    QSet<QString> m_used; // lower case
};

} // namespace

QList<OutputFile> objFiles(const ExportObject &object, const QString &mainName, const QString &stem)
{
    return ObjWriter(object, stem).files(mainName);
}

} // namespace convert

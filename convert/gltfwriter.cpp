#include "convert/gltfwriter.h"

#include "commandline/commandline.h"

#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <QBuffer>
#include <QImage>
#include <QtEndian>

#include <algorithm>
#include <map>
#include <sstream>

namespace convert {

namespace {

// Where a mask's level cuts: below it the face is cut away, as viewers of
// such objects cut.
constexpr double kMaskCutoff = 0.2;

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The texture with the mask's levels as its alpha, the mask stretched over it.
QImage withMask(const QImage &texture, const QImage &mask)
{
    QImage result = texture.convertToFormat(QImage::Format_RGBA8888);
    const QImage alpha = (mask.size() == result.size()
                              ? mask
                              : mask.scaled(result.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation))
                             .convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < result.height(); ++y) {
        uchar *pixel = result.scanLine(y);
        const uchar *level = alpha.constScanLine(y);
        for (int x = 0; x < result.width(); ++x)
            pixel[4 * x + 3] = level[x];
    }
    return result;
}

tinygltf::Value extra(const char *key, tinygltf::Value value)
{
    return tinygltf::Value(tinygltf::Value::Object{{key, std::move(value)}});
}

int wrapMode(rwx::TextureAddressMode mode)
{
    switch (mode) {
    case rwx::TextureAddressMode::Wrap:
        return TINYGLTF_TEXTURE_WRAP_REPEAT;
    case rwx::TextureAddressMode::Mirror:
        return TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT;
    case rwx::TextureAddressMode::Clamp:
        return TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
    }
    return TINYGLTF_TEXTURE_WRAP_REPEAT;
}

std::string alphaModeName(AlphaMode mode)
{
    switch (mode) {
    case AlphaMode::Opaque:
        return "OPAQUE";
    case AlphaMode::Mask:
        return "MASK";
    case AlphaMode::Blend:
        return "BLEND";
    }
    return "OPAQUE";
}

static_assert(sizeof(QVector3D) == 3 * sizeof(float) && sizeof(QVector2D) == 2 * sizeof(float),
              "the scene's vectors are read as runs of floats");

bool hasUvs(const rwx::Mesh &mesh)
{
    if (!mesh.material.texture.isEmpty())
        return true;
    return std::any_of(mesh.uvs.cbegin(), mesh.uvs.cend(), [](const QVector2D &uv) { return !uv.isNull(); });
}

class ModelBuilder {
public:
    explicit ModelBuilder(const ExportObject &object) : m_object(object) {}

    tinygltf::Model build()
    {
        m_model.asset.version = "2.0";
        m_model.asset.generator = QStringLiteral("Orvane %1").arg(commandline::version()).toStdString();
        tinygltf::Mesh mesh;
        mesh.name = m_object.name.toStdString();
        for (qsizetype i = 0; i < m_object.scene.meshes.size(); ++i) {
            if (m_object.scene.meshes[i].triangleCount() > 0)
                addPrimitives(m_object.scene.meshes[i], addMaterial(m_object.materials[i]), mesh);
        }
        tinygltf::Node node;
        node.name = m_object.name.toStdString();
        if (!mesh.primitives.empty()) {
            node.mesh = 0;
            m_model.meshes.push_back(std::move(mesh));
        }
        if (m_object.scene.axisAlignment != rwx::AxisAlignment::None)
            node.extras = extra("axisAlignment", tinygltf::Value(axisAlignmentName(m_object.scene.axisAlignment).toStdString()));
        m_model.nodes.push_back(std::move(node));
        tinygltf::Scene scene;
        scene.nodes = {0};
        m_model.scenes.push_back(std::move(scene));
        m_model.defaultScene = 0;
        if (!m_data.empty()) {
            tinygltf::Buffer buffer;
            buffer.data = std::move(m_data);
            m_model.buffers.push_back(std::move(buffer));
        }
        return std::move(m_model);
    }

private:
    // A view of `bytes` more at the buffer's end; `target` 0 for an image.
    int view(const void *data, size_t bytes, int target)
    {
        m_data.resize((m_data.size() + 3) & ~size_t(3)); // views start on a multiple of 4
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = m_data.size();
        view.byteLength = bytes;
        view.target = target;
        const auto *from = static_cast<const unsigned char *>(data);
        m_data.insert(m_data.end(), from, from + bytes);
        m_model.bufferViews.push_back(view);
        return int(m_model.bufferViews.size() - 1);
    }

    int accessor(int view, int componentType, size_t count, int type)
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = view;
        accessor.componentType = componentType;
        accessor.count = count;
        accessor.type = type;
        m_model.accessors.push_back(std::move(accessor));
        return int(m_model.accessors.size() - 1);
    }

    int floats(const std::vector<float> &values, int type, int components)
    {
        const int bufferView = view(values.data(), values.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER);
        return accessor(bufferView, TINYGLTF_COMPONENT_TYPE_FLOAT, values.size() / components, type);
    }

    template <typename Index>
    int indices(const std::vector<quint32> &from, int componentType)
    {
        const std::vector<Index> values(from.cbegin(), from.cend());
        const int bufferView = view(values.data(), values.size() * sizeof(Index), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
        return accessor(bufferView, componentType, values.size(), TINYGLTF_TYPE_SCALAR);
    }

    void addPrimitives(const rwx::Mesh &mesh, int material, tinygltf::Mesh &out)
    {
        const qsizetype corners = mesh.positions.size();
        std::vector<float> positions, values;
        positions.reserve(3 * corners);
        std::vector<double> low(3, 0.0), high(3, 0.0);
        for (qsizetype i = 0; i < corners; ++i) {
            for (int axis = 0; axis < 3; ++axis) {
                const float metres = mesh.positions[i][axis] * MetresPerUnit;
                positions.push_back(metres);
                low[axis] = i == 0 ? metres : std::min(low[axis], double(metres));
                high[axis] = i == 0 ? metres : std::max(high[axis], double(metres));
            }
        }
        std::map<std::string, int> attributes;
        attributes["POSITION"] = floats(positions, TINYGLTF_TYPE_VEC3, 3);
        m_model.accessors.back().minValues = low;
        m_model.accessors.back().maxValues = high;
        const auto *normals = reinterpret_cast<const float *>(mesh.normals.constData());
        values.assign(normals, normals + 3 * corners);
        attributes["NORMAL"] = floats(values, TINYGLTF_TYPE_VEC3, 3);
        if (hasUvs(mesh)) {
            const auto *uvs = reinterpret_cast<const float *>(mesh.uvs.constData());
            values.assign(uvs, uvs + 2 * corners);
            attributes["TEXCOORD_0"] = floats(values, TINYGLTF_TYPE_VEC2, 2);
        }
        if (!mesh.prelight.isEmpty()) {
            values.clear();
            for (const QVector3D &light : mesh.prelight) {
                for (int channel = 0; channel < 3; ++channel)
                    values.push_back(linearFromSrgb(light[channel]));
            }
            attributes["COLOR_0"] = floats(values, TINYGLTF_TYPE_VEC3, 3);
        }
        // The faces by tag, the untagged first.
        std::map<int, std::vector<quint32>> byTag;
        for (qsizetype triangle = 0; triangle < mesh.triangleCount(); ++triangle) {
            std::vector<quint32> &group = byTag[mesh.tags.value(triangle)];
            group.insert(group.end(), mesh.indices.cbegin() + 3 * triangle, mesh.indices.cbegin() + 3 * triangle + 3);
        }
        for (const auto &[tag, group] : byTag) {
            tinygltf::Primitive primitive;
            primitive.attributes = attributes;
            primitive.material = material;
            primitive.mode = TINYGLTF_MODE_TRIANGLES;
            primitive.indices = corners <= 0xffff ? indices<quint16>(group, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
                                                  : indices<quint32>(group, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
            if (tag != 0)
                primitive.extras = extra("tag", tinygltf::Value(tag));
            out.primitives.push_back(std::move(primitive));
        }
    }

    int addMaterial(const ExportMaterial &material)
    {
        tinygltf::Material out;
        out.name = material.name.toStdString();
        out.pbrMetallicRoughness.baseColorFactor = {linearFromSrgb(material.color.x()), linearFromSrgb(material.color.y()),
                                                    linearFromSrgb(material.color.z()), material.opacity};
        out.pbrMetallicRoughness.metallicFactor = 0.0;
        out.pbrMetallicRoughness.roughnessFactor = material.roughness;
        if (material.texture >= 0)
            out.pbrMetallicRoughness.baseColorTexture.index = textureFor(material);
        out.alphaMode = alphaModeName(material.alphaMode);
        if (material.alphaMode == AlphaMode::Mask)
            out.alphaCutoff = kMaskCutoff;
        out.doubleSided = material.doubleSided;
        if (material.axisAlignment != rwx::AxisAlignment::None)
            out.extras = extra("axisAlignment", tinygltf::Value(axisAlignmentName(material.axisAlignment).toStdString()));
        m_model.materials.push_back(std::move(out));
        return int(m_model.materials.size() - 1);
    }

    int textureFor(const ExportMaterial &material)
    {
        const std::pair key(imageFor(material.texture, material.mask), samplerFor(material.addressMode));
        auto it = m_textures.find(key);
        if (it == m_textures.end()) {
            tinygltf::Texture texture;
            texture.source = key.first;
            texture.sampler = key.second;
            m_model.textures.push_back(std::move(texture));
            it = m_textures.emplace(key, int(m_model.textures.size() - 1)).first;
        }
        return it->second;
    }

    int imageFor(int textureIndex, int maskIndex)
    {
        const std::pair key(textureIndex, maskIndex);
        if (const auto known = m_images.find(key); known != m_images.end())
            return known->second;
        const TextureFile &texture = m_object.textures[textureIndex];
        QByteArray bytes;
        std::string mimeType = "image/png";
        if (maskIndex >= 0)
            bytes = pngBytes(withMask(texture.image, m_object.masks[maskIndex].image));
        else if (texture.embeddable()) {
            bytes = texture.bytes;
            mimeType = "image/" + texture.format.toStdString();
        } else
            bytes = pngBytes(texture.image);
        tinygltf::Image image;
        image.name = texture.name.toStdString();
        image.mimeType = mimeType;
        image.bufferView = view(bytes.constData(), size_t(bytes.size()), 0);
        m_model.images.push_back(std::move(image));
        return m_images[key] = int(m_model.images.size() - 1);
    }

    int samplerFor(rwx::TextureAddressMode mode)
    {
        const int wrap = wrapMode(mode);
        if (const auto known = m_samplers.find(wrap); known != m_samplers.end())
            return known->second;
        tinygltf::Sampler sampler;
        sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
        sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
        sampler.wrapS = sampler.wrapT = wrap;
        m_model.samplers.push_back(std::move(sampler));
        return m_samplers[wrap] = int(m_model.samplers.size() - 1);
    }

    const ExportObject &m_object;
    tinygltf::Model m_model;
    std::vector<unsigned char> m_data;
    std::map<std::pair<int, int>, int> m_images;   // texture, mask -> image
    std::map<std::pair<int, int>, int> m_textures; // image, sampler -> texture
    std::map<int, int> m_samplers;                 // wrap mode -> sampler
};

} // namespace

QList<OutputFile> gltfFiles(const ExportObject &object, const QString &mainName, const QString &stem, bool binary)
{
    const tinygltf::Model model = ModelBuilder(object).build();
    std::ostringstream glb;
    tinygltf::TinyGLTF().WriteGltfSceneToStream(&model, glb, false, true);
    const std::string written = glb.str();
    if (binary)
        return {{mainName, QByteArray(written.data(), qsizetype(written.size()))}};
    // The .gltf is the binary file's JSON with the buffer named by its file.
    const quint32 jsonLength = qFromLittleEndian<quint32>(written.data() + 12);
    nlohmann::json json = nlohmann::json::parse(written.substr(20, jsonLength));
    QList<OutputFile> files;
    if (!model.buffers.empty()) {
        const QString bin = stem + QStringLiteral(".bin");
        json["buffers"][0]["uri"] = bin.toStdString();
        const std::vector<unsigned char> &data = model.buffers.front().data;
        files.append({bin, QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()))});
    }
    const std::string text = json.dump(2) + '\n';
    files.append({mainName, QByteArray(text.data(), qsizetype(text.size()))});
    return files;
}

} // namespace convert

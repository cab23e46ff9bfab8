// The statements that change the state faces are drawn with: the CTM and
// the material.
#include "scene/scenebuilder.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace rwx::scenebuild {

namespace geo = scenegeometry;

namespace {

// The flags named in words[1...]; "null" names none. False if none is known.
template <typename Flag>
bool namedFlags(const Words &words, const std::initializer_list<std::pair<const char *, Flag>> &names,
                QFlags<Flag> &flags)
{
    bool known = false;
    flags = {};
    for (qsizetype i = 1; i < words.size(); ++i) {
        if (equalsLower(words[i], "null")) {
            known = true;
            continue;
        }
        for (const auto &[name, flag] : names) {
            if (equalsLower(words[i], name)) {
                flags |= flag;
                known = true;
            }
        }
    }
    return known;
}

// The value named by words[1], if it is one of names.
template <typename Value>
bool namedValue(const Words &words, const std::initializer_list<std::pair<const char *, Value>> &names,
                Value &value)
{
    if (words.size() < 2)
        return false;
    for (const auto &[name, v] : names) {
        if (equalsLower(words[1], name)) {
            value = v;
            return true;
        }
    }
    return false;
}

enum class MaterialModeFlag : quint8 { Double = 1 };

} // namespace

std::size_t MaterialHash::operator()(const Material &m) const noexcept
{
    std::size_t h = qHashMulti(0, std::bit_cast<quint32>(m.color.x()), std::bit_cast<quint32>(m.color.y()),
                               std::bit_cast<quint32>(m.color.z()), std::bit_cast<quint32>(m.opacity),
                               std::bit_cast<quint32>(m.ambient), std::bit_cast<quint32>(m.diffuse),
                               std::bit_cast<quint32>(m.specular));
    return qHashMulti(h, int(m.lightSampling), int(m.geometrySampling), m.twoSided, m.texture, m.mask, m.bump,
                      int(m.textureModes.toInt()), int(m.addressMode), int(m.axisAlignment));
}

bool MaterialSame::operator()(const Material &a, const Material &b) const noexcept
{
    auto bits = [](float f) { return std::bit_cast<quint32>(f); };
    return bits(a.color.x()) == bits(b.color.x()) && bits(a.color.y()) == bits(b.color.y())
        && bits(a.color.z()) == bits(b.color.z()) && bits(a.opacity) == bits(b.opacity)
        && bits(a.ambient) == bits(b.ambient) && bits(a.diffuse) == bits(b.diffuse)
        && bits(a.specular) == bits(b.specular) && a.lightSampling == b.lightSampling
        && a.geometrySampling == b.geometrySampling && a.twoSided == b.twoSided && a.texture == b.texture
        && a.mask == b.mask && a.bump == b.bump && a.textureModes == b.textureModes
        && a.addressMode == b.addressMode && a.axisAlignment == b.axisAlignment;
}

int Target::meshFor(const Material &material)
{
    const auto [it, added] = meshIndex.try_emplace(material, int(scene.meshes.size()));
    if (added) {
        scene.meshes.append(Mesh());
        scene.meshes.back().material = material;
    }
    return it->second;
}

void Builder::material(Op op, const Words &words)
{
    Material &m = m_material;
    float v[3];
    switch (op) {
    case Op::Color:
        if (!numbers(words, 1, 3, v))
            return;
        m.color = unitColor(v);
        break;
    case Op::Surface:
        if (!numbers(words, 1, 3, v))
            return;
        m.ambient = unitRange(v[0]);
        m.diffuse = unitRange(v[1]);
        m.specular = unitRange(v[2]);
        break;
    case Op::Ambient:
    case Op::Diffuse:
    case Op::Specular:
    case Op::Opacity:
        if (!numbers(words, 1, 1, v))
            return;
        (op == Op::Ambient ? m.ambient : op == Op::Diffuse ? m.diffuse : op == Op::Specular ? m.specular : m.opacity) =
            unitRange(v[0]);
        break;
    case Op::Texture:
        if (words.size() < 2)
            return;
        m.texture.clear();
        m.mask.clear();
        m.bump.clear();
        forEachTextureName(words, [&](TextureRole role, qsizetype i) {
            (role == TextureRole::Texture ? m.texture : role == TextureRole::Mask ? m.mask : m.bump) =
                words[i].toString();
            return true;
        });
        break;
    case Op::TextureModes:
    case Op::AddTextureMode:
    case Op::RemoveTextureMode: {
        TextureModes named;
        if (!namedFlags<TextureMode>(words, {{"lit", TextureMode::Lit}, {"foreshorten", TextureMode::Foreshorten},
                                             {"filter", TextureMode::Filter}}, named))
            return;
        m.textureModes = op == Op::TextureModes ? named
                       : op == Op::AddTextureMode ? (m.textureModes | named) : (m.textureModes & ~named);
        break;
    }
    case Op::MaterialModes:
    case Op::AddMaterialMode:
    case Op::RemoveMaterialMode: {
        QFlags<MaterialModeFlag> named;
        if (!namedFlags<MaterialModeFlag>(words, {{"double", MaterialModeFlag::Double}}, named))
            return;
        const bool twoSided = named.testFlag(MaterialModeFlag::Double);
        m.twoSided = op == Op::MaterialModes ? twoSided
                   : op == Op::AddMaterialMode ? (m.twoSided || twoSided) : (m.twoSided && !twoSided);
        break;
    }
    case Op::LightSampling:
        if (!namedValue<LightSampling>(words, {{"facet", LightSampling::Facet}, {"vertex", LightSampling::Vertex}},
                                       m.lightSampling))
            return;
        break;
    case Op::GeometrySampling:
        if (!namedValue<GeometrySampling>(words, {{"solid", GeometrySampling::Solid},
                                                  {"wireframe", GeometrySampling::Wireframe},
                                                  {"pointcloud", GeometrySampling::PointCloud}},
                                          m.geometrySampling))
            return;
        break;
    case Op::AxisAlignment:
        if (!namedValue<AxisAlignment>(words, {{"none", AxisAlignment::None}, {"zorientx", AxisAlignment::ZOrientX},
                                               {"zorienty", AxisAlignment::ZOrientY}, {"xyz", AxisAlignment::Xyz}},
                                       m.axisAlignment))
            return;
        if (!m_blocks.isOpen(Block::Proto) && m_blocks.openCount(Block::Clump) <= 1)
            m_scene.scene.axisAlignment = m.axisAlignment; // the whole object's
        break;
    case Op::TextureAddressMode:
        if (!namedValue<TextureAddressMode>(words, {{"wrap", TextureAddressMode::Wrap},
                                                    {"mirror", TextureAddressMode::Mirror},
                                                    {"clamp", TextureAddressMode::Clamp}},
                                            m.addressMode))
            return;
        break;
    default:
        return;
    }
    materialChanged();
}

void Builder::transform(Op op, const Words &words)
{
    float v[16];
    QMatrix4x4 m = m_ctm;
    switch (op) {
    case Op::Identity:
        return setCtm(QMatrix4x4());
    case Op::Translate:
        if (!numbers(words, 1, 3, v))
            return;
        m.translate(v[0], v[1], v[2]);
        break;
    case Op::Scale:
        if (!numbers(words, 1, 3, v))
            return;
        m.scale(v[0], v[1], v[2]);
        break;
    case Op::Rotate:
        if (!numbers(words, 1, 4, v) || (v[0] == 0 && v[1] == 0 && v[2] == 0))
            return;
        m.rotate(v[3], v[0], v[1], v[2]);
        break;
    default: // Transform: 16 numbers, column by column; the fourth row is 0 0 0 1
        if (!numbers(words, 1, 16, v))
            return;
        m.setToIdentity();
        for (int column = 0; column < 4; ++column) {
            for (int row = 0; row < 3; ++row)
                m(row, column) = v[column * 4 + row];
        }
        break;
    }
    setCtm(m);
}

void Builder::setCtm(const QMatrix4x4 &ctm)
{
    const float *d = ctm.constData();
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(d[i]))
            return; // the statement is skipped
    }
    m_ctm = ctm;
    m_normalTransformStale = true;
}

const geo::NormalTransform &Builder::normalTransform()
{
    if (m_normalTransformStale) {
        m_normalTransform = geo::NormalTransform(m_ctm);
        m_normalTransformStale = false;
    }
    return m_normalTransform;
}

} // namespace rwx::scenebuild

#include "rwx/keywords.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace rwx {
namespace {

// The statements, in the order of the reference: spelling, kind, the block a
// Begin or End opens or closes, and what the scene builder does with it.
constexpr Keyword kStatements[] = {
    {"ModelBegin", Kind::Begin, Block::Model, Op::Begin},
    {"ModelEnd", Kind::End, Block::Model, Op::End},
    {"ClumpBegin", Kind::Begin, Block::Clump, Op::Begin},
    {"ClumpEnd", Kind::End, Block::Clump, Op::End},
    {"ProtoBegin", Kind::Begin, Block::Proto, Op::Begin},
    {"ProtoEnd", Kind::End, Block::Proto, Op::End},
    {"TransformBegin", Kind::Begin, Block::Transform, Op::Begin},
    {"TransformEnd", Kind::End, Block::Transform, Op::End},
    {"MaterialBegin", Kind::Begin, Block::Material, Op::Begin},
    {"MaterialEnd", Kind::End, Block::Material, Op::End},
    {"JointTransformBegin", Kind::Begin, Block::JointTransform, Op::Begin},
    {"JointTransformEnd", Kind::End, Block::JointTransform, Op::End},
    {"ProtoInstance", Kind::ProtoInstance, Block::None, Op::ProtoInstance},
    {"ProtoInstanceGeometry", Kind::ProtoInstance, Block::None, Op::ProtoInstanceGeometry},
    {"Vertex", Kind::Vertex, Block::None, Op::Vertex},
    {"VertexExt", Kind::Vertex, Block::None, Op::Vertex},
    {"Triangle", Kind::Triangle, Block::None, Op::Triangle},
    {"TriangleExt", Kind::Triangle, Block::None, Op::Triangle},
    {"Quad", Kind::Quad, Block::None, Op::Quad},
    {"QuadExt", Kind::Quad, Block::None, Op::Quad},
    {"Polygon", Kind::Polygon, Block::None, Op::Polygon},
    {"PolygonExt", Kind::Polygon, Block::None, Op::Polygon},
    {"Texture", Kind::Texture, Block::None, Op::Texture},
    {"TextureExt", Kind::Texture, Block::None, Op::Texture},
    {"Include", Kind::FileName, Block::None, Op::Ignored},
    {"IncludeGeometry", Kind::FileName, Block::None, Op::Ignored},
    {"TransformJoint", Kind::Other, Block::None, Op::Ignored},
    {"IdentityJoint", Kind::Other, Block::None, Op::Ignored},
    {"RotateJoint", Kind::Other, Block::None, Op::Ignored},
    {"Block", Kind::Other, Block::None, Op::Block},
    {"Cone", Kind::Other, Block::None, Op::Cone},
    {"Cylinder", Kind::Other, Block::None, Op::Cylinder},
    {"Disc", Kind::Other, Block::None, Op::Disc},
    {"Sphere", Kind::Other, Block::None, Op::Sphere},
    {"Hemisphere", Kind::Other, Block::None, Op::Hemisphere},
    {"Transform", Kind::Other, Block::None, Op::Transform},
    {"Translate", Kind::Other, Block::None, Op::Translate},
    {"Scale", Kind::Other, Block::None, Op::Scale},
    {"Rotate", Kind::Other, Block::None, Op::Rotate},
    {"Identity", Kind::Other, Block::None, Op::Identity},
    {"Color", Kind::Other, Block::None, Op::Color},
    {"Surface", Kind::Other, Block::None, Op::Surface},
    {"Ambient", Kind::Other, Block::None, Op::Ambient},
    {"Diffuse", Kind::Other, Block::None, Op::Diffuse},
    {"Specular", Kind::Other, Block::None, Op::Specular},
    {"Opacity", Kind::Other, Block::None, Op::Opacity},
    {"TextureMode", Kind::Other, Block::None, Op::TextureModes},
    {"TextureModes", Kind::Other, Block::None, Op::TextureModes},
    {"AddTextureMode", Kind::Other, Block::None, Op::AddTextureMode},
    {"RemoveTextureMode", Kind::Other, Block::None, Op::RemoveTextureMode},
    {"MaterialMode", Kind::Other, Block::None, Op::MaterialModes},
    {"MaterialModes", Kind::Other, Block::None, Op::MaterialModes},
    {"AddMaterialMode", Kind::Other, Block::None, Op::AddMaterialMode},
    {"RemoveMaterialMode", Kind::Other, Block::None, Op::RemoveMaterialMode},
    {"LightSampling", Kind::Other, Block::None, Op::LightSampling},
    {"GeometrySampling", Kind::Other, Block::None, Op::GeometrySampling},
    {"AxisAlignment", Kind::Other, Block::None, Op::AxisAlignment},
    {"Tag", Kind::Other, Block::None, Op::Ignored},
    {"Collision", Kind::Other, Block::None, Op::Ignored},
    {"RandomUVs", Kind::Other, Block::None, Op::Ignored},
    {"Seamless", Kind::Other, Block::None, Op::Ignored},
    {"Opacityfix", Kind::Other, Block::None, Op::Ignored},
    {"TextureAddressMode", Kind::Other, Block::None, Op::TextureAddressMode},
    {"TextureMipmapState", Kind::Other, Block::None, Op::Ignored},
    {"Prelight", Kind::Other, Block::None, Op::Ignored},
    {"AddHint", Kind::Other, Block::None, Op::Ignored},
    {"RemoveHint", Kind::Other, Block::None, Op::Ignored},
    {"Hints", Kind::Other, Block::None, Op::Ignored},
    {"TextureDithering", Kind::Other, Block::None, Op::Ignored},
    {"TextureGammaCorrection", Kind::Other, Block::None, Op::Ignored},
    {"Trace", Kind::Other, Block::None, Op::Ignored},
};

constexpr const char *kModifiers[] = {
    // argument keywords
    "uv", "normal", "prelight", "tag", "mask", "bump",
    // argument values
    "null", "lit", "foreshorten", "filter", "double", "facet", "vertex", "solid",
    "wireframe", "pointcloud", "none", "zorientx", "zorienty", "xyz", "on", "off",
    "wrap", "mirror", "clamp",
};

constexpr qsizetype kLongest = 32;

using Map = std::unordered_map<std::string_view, Keyword>;

const Map &statementMap()
{
    static const Map map = [] {
        static std::string lowered[std::size(kStatements)];
        Map m;
        for (std::size_t i = 0; i < std::size(kStatements); ++i) {
            for (const char *c = kStatements[i].name; *c; ++c)
                lowered[i] += char(*c >= 'A' && *c <= 'Z' ? *c + 32 : *c);
            m.emplace(lowered[i], kStatements[i]);
        }
        return m;
    }();
    return map;
}

const std::unordered_set<std::string_view> &modifierSet()
{
    static const std::unordered_set<std::string_view> set(std::begin(kModifiers),
                                                          std::end(kModifiers));
    return set;
}

// Lower-cases an ASCII word into buf; false for a word that cannot be a keyword.
template <typename Unit>
bool lowerAscii(const Unit *data, qsizetype size, char (&buf)[kLongest], std::string_view &out)
{
    if (size <= 0 || size >= kLongest)
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        const unsigned u = static_cast<std::make_unsigned_t<Unit>>(data[i]);
        if (u >= 0x80)
            return false;
        buf[i] = char(u >= 'A' && u <= 'Z' ? u + 32 : u);
    }
    out = std::string_view(buf, std::size_t(size));
    return true;
}

template <typename Unit>
Keyword findKeywordT(const Unit *data, qsizetype size)
{
    char buf[kLongest];
    std::string_view key;
    if (!lowerAscii(data, size, buf, key))
        return {};
    const Map &map = statementMap();
    const auto it = map.find(key);
    return it == map.end() ? Keyword{} : it->second;
}

template <typename Unit>
bool isModifierT(const Unit *data, qsizetype size)
{
    char buf[kLongest];
    std::string_view key;
    return lowerAscii(data, size, buf, key) && modifierSet().count(key) != 0;
}

} // namespace

Keyword findKeyword(QStringView w) { return findKeywordT(w.utf16(), w.size()); }
Keyword findKeyword(QByteArrayView w) { return findKeywordT(w.data(), w.size()); }
std::span<const Keyword> keywords() { return kStatements; }
bool isModifier(QStringView w) { return isModifierT(w.utf16(), w.size()); }
bool isModifier(QByteArrayView w) { return isModifierT(w.data(), w.size()); }

const char *beginName(Block block)
{
    switch (block) {
    case Block::Model: return "ModelBegin";
    case Block::Clump: return "ClumpBegin";
    case Block::Proto: return "ProtoBegin";
    case Block::Transform: return "TransformBegin";
    case Block::Material: return "MaterialBegin";
    case Block::JointTransform: return "JointTransformBegin";
    case Block::None: break;
    }
    return "";
}

const char *endName(Block block)
{
    switch (block) {
    case Block::Model: return "ModelEnd";
    case Block::Clump: return "ClumpEnd";
    case Block::Proto: return "ProtoEnd";
    case Block::Transform: return "TransformEnd";
    case Block::Material: return "MaterialEnd";
    case Block::JointTransform: return "JointTransformEnd";
    case Block::None: break;
    }
    return "";
}

} // namespace rwx

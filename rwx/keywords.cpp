#include "rwx/keywords.h"

#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace rwx {
namespace {

struct Entry {
    const char *name;
    Kind kind;
    Block block;
};

constexpr Entry kStatements[] = {
    {"ModelBegin", Kind::Begin, Block::Model},
    {"ModelEnd", Kind::End, Block::Model},
    {"ClumpBegin", Kind::Begin, Block::Clump},
    {"ClumpEnd", Kind::End, Block::Clump},
    {"ProtoBegin", Kind::Begin, Block::Proto},
    {"ProtoEnd", Kind::End, Block::Proto},
    {"TransformBegin", Kind::Begin, Block::Transform},
    {"TransformEnd", Kind::End, Block::Transform},
    {"MaterialBegin", Kind::Begin, Block::Material},
    {"MaterialEnd", Kind::End, Block::Material},
    {"JointTransformBegin", Kind::Begin, Block::JointTransform},
    {"JointTransformEnd", Kind::End, Block::JointTransform},
    {"ProtoInstance", Kind::ProtoInstance, Block::None},
    {"ProtoInstanceGeometry", Kind::ProtoInstance, Block::None},
    {"Vertex", Kind::Vertex, Block::None},
    {"VertexExt", Kind::Vertex, Block::None},
    {"Triangle", Kind::Triangle, Block::None},
    {"TriangleExt", Kind::Triangle, Block::None},
    {"Quad", Kind::Quad, Block::None},
    {"QuadExt", Kind::Quad, Block::None},
    {"Polygon", Kind::Polygon, Block::None},
    {"PolygonExt", Kind::Polygon, Block::None},
    {"Texture", Kind::Texture, Block::None},
    {"TextureExt", Kind::Texture, Block::None},
    {"Include", Kind::FileName, Block::None},
    {"IncludeGeometry", Kind::FileName, Block::None},
    {"TransformJoint", Kind::Other, Block::None},
    {"IdentityJoint", Kind::Other, Block::None},
    {"RotateJoint", Kind::Other, Block::None},
    {"Block", Kind::Other, Block::None},
    {"Cone", Kind::Other, Block::None},
    {"Cylinder", Kind::Other, Block::None},
    {"Disc", Kind::Other, Block::None},
    {"Sphere", Kind::Other, Block::None},
    {"Hemisphere", Kind::Other, Block::None},
    {"Transform", Kind::Other, Block::None},
    {"Translate", Kind::Other, Block::None},
    {"Scale", Kind::Other, Block::None},
    {"Rotate", Kind::Other, Block::None},
    {"Identity", Kind::Other, Block::None},
    {"Color", Kind::Other, Block::None},
    {"Surface", Kind::Other, Block::None},
    {"Ambient", Kind::Other, Block::None},
    {"Diffuse", Kind::Other, Block::None},
    {"Specular", Kind::Other, Block::None},
    {"Opacity", Kind::Other, Block::None},
    {"TextureMode", Kind::Other, Block::None},
    {"TextureModes", Kind::Other, Block::None},
    {"AddTextureMode", Kind::Other, Block::None},
    {"RemoveTextureMode", Kind::Other, Block::None},
    {"MaterialMode", Kind::Other, Block::None},
    {"MaterialModes", Kind::Other, Block::None},
    {"AddMaterialMode", Kind::Other, Block::None},
    {"RemoveMaterialMode", Kind::Other, Block::None},
    {"LightSampling", Kind::Other, Block::None},
    {"GeometrySampling", Kind::Other, Block::None},
    {"AxisAlignment", Kind::Other, Block::None},
    {"Tag", Kind::Other, Block::None},
    {"Collision", Kind::Other, Block::None},
    {"RandomUVs", Kind::Other, Block::None},
    {"Seamless", Kind::Other, Block::None},
    {"Opacityfix", Kind::Other, Block::None},
    {"TextureAddressMode", Kind::Other, Block::None},
    {"TextureMipmapState", Kind::Other, Block::None},
    {"Prelight", Kind::Other, Block::None},
    {"AddHint", Kind::Other, Block::None},
    {"RemoveHint", Kind::Other, Block::None},
    {"Hints", Kind::Other, Block::None},
    {"TextureDithering", Kind::Other, Block::None},
    {"TextureGammaCorrection", Kind::Other, Block::None},
    {"Trace", Kind::Other, Block::None},
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
            const Entry &e = kStatements[i];
            for (const char *c = e.name; *c; ++c)
                lowered[i] += char(*c >= 'A' && *c <= 'Z' ? *c + 32 : *c);
            m.emplace(lowered[i], Keyword{e.kind, e.block, e.name});
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

template <typename Unit>
bool isDigit(Unit c)
{
    return c >= Unit('0') && c <= Unit('9');
}

template <typename Unit>
bool isNumberT(const Unit *p, qsizetype n)
{
    qsizetype i = 0;
    if (i < n && (p[i] == Unit('+') || p[i] == Unit('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(p[i]))
        ++i, ++digits;
    if (i < n && p[i] == Unit('.')) {
        ++i;
        while (i < n && isDigit(p[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (p[i] == Unit('e') || p[i] == Unit('E'))) {
        ++i;
        if (i < n && (p[i] == Unit('+') || p[i] == Unit('-')))
            ++i;
        qsizetype exp = 0;
        while (i < n && isDigit(p[i]))
            ++i, ++exp;
        if (exp == 0)
            return false;
    }
    return i == n;
}

template <typename Unit>
bool equalsLowerT(const Unit *p, qsizetype n, const char *lower)
{
    qsizetype i = 0;
    for (; i < n && lower[i]; ++i) {
        const unsigned u = static_cast<std::make_unsigned_t<Unit>>(p[i]);
        const unsigned l = u >= 'A' && u <= 'Z' ? u + 32 : u;
        if (l != static_cast<unsigned char>(lower[i]))
            return false;
    }
    return i == n && lower[i] == 0;
}

} // namespace

Keyword findKeyword(QStringView w) { return findKeywordT(w.utf16(), w.size()); }
Keyword findKeyword(QByteArrayView w) { return findKeywordT(w.data(), w.size()); }
bool isModifier(QStringView w) { return isModifierT(w.utf16(), w.size()); }
bool isModifier(QByteArrayView w) { return isModifierT(w.data(), w.size()); }
bool isNumber(QStringView w) { return isNumberT(w.utf16(), w.size()); }
bool isNumber(QByteArrayView w) { return isNumberT(w.data(), w.size()); }
bool equalsLower(QStringView w, const char *lower) { return equalsLowerT(w.utf16(), w.size(), lower); }
bool equalsLower(QByteArrayView w, const char *lower) { return equalsLowerT(w.data(), w.size(), lower); }

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

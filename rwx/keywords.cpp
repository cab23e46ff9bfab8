#include "rwx/keywords.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

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
    {"Prelight", Kind::Other, Block::None, Op::Prelight},
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

// Words found by their letters in any case: the word is lowered and hashed
// in one pass, then looked up by open addressing in a table at most half full.
template <typename Value>
class WordTable {
public:
    explicit WordTable(const std::vector<std::pair<const char *, Value>> &words)
    {
        Q_ASSERT(words.size() * 2 <= kSlots);
        for (const auto &[word, value] : words) {
            Slot slot;
            std::uint32_t hash = kSeed;
            for (; word[slot.size]; ++slot.size) {
                const char c = word[slot.size];
                slot.word[slot.size] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
                hash = mix(hash, static_cast<unsigned char>(slot.word[slot.size]));
            }
            slot.value = value;
            std::size_t at = hash & (kSlots - 1);
            while (m_slots[at].size != 0)
                at = (at + 1) & (kSlots - 1);
            m_slots[at] = slot;
        }
    }

    template <typename Unit>
    const Value *find(const Unit *data, qsizetype size) const
    {
        if (size <= 0 || size >= kLongest)
            return nullptr;
        char lower[kLongest];
        std::uint32_t hash = kSeed;
        for (qsizetype i = 0; i < size; ++i) {
            const unsigned u = static_cast<std::make_unsigned_t<Unit>>(data[i]);
            if (u >= 0x80)
                return nullptr; // not plain ASCII: never a keyword
            lower[i] = char(u - 'A' < 26u ? u + 32 : u);
            hash = mix(hash, static_cast<unsigned char>(lower[i]));
        }
        for (std::size_t at = hash & (kSlots - 1); m_slots[at].size != 0; at = (at + 1) & (kSlots - 1)) {
            const Slot &slot = m_slots[at];
            if (slot.size == size && std::memcmp(slot.word, lower, std::size_t(size)) == 0)
                return &slot.value;
        }
        return nullptr;
    }

private:
    static constexpr qsizetype kLongest = 32;
    static constexpr std::size_t kSlots = 256;
    static constexpr std::uint32_t kSeed = 2166136261u;
    static std::uint32_t mix(std::uint32_t hash, unsigned c) { return (hash ^ c) * 16777619u; } // FNV-1a

    struct Slot {
        char word[kLongest] = {};
        qsizetype size = 0; // 0: a free slot
        Value value = {};
    };
    std::array<Slot, kSlots> m_slots;
};

const WordTable<Keyword> &statementTable()
{
    static const WordTable<Keyword> table = [] {
        std::vector<std::pair<const char *, Keyword>> words;
        for (const Keyword &k : kStatements)
            words.emplace_back(k.name, k);
        return WordTable<Keyword>(words);
    }();
    return table;
}

const WordTable<bool> &modifierTable()
{
    static const WordTable<bool> table = [] {
        std::vector<std::pair<const char *, bool>> words;
        for (const char *m : kModifiers)
            words.emplace_back(m, true);
        return WordTable<bool>(words);
    }();
    return table;
}

template <typename Unit>
Keyword findKeywordT(const Unit *data, qsizetype size)
{
    const Keyword *found = statementTable().find(data, size);
    return found ? *found : Keyword{};
}

} // namespace

Keyword findKeyword(QStringView w) { return findKeywordT(w.utf16(), w.size()); }
Keyword findKeyword(QByteArrayView w) { return findKeywordT(w.data(), w.size()); }
std::span<const Keyword> keywords() { return kStatements; }
bool isModifier(QStringView w) { return modifierTable().find(w.utf16(), w.size()) != nullptr; }
bool isModifier(QByteArrayView w) { return modifierTable().find(w.data(), w.size()) != nullptr; }

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

#pragma once
// The RWX vocabulary in one table: every statement keyword with what the
// structure checker, the highlighting and the scene builder make of it, and
// the words that qualify a statement's arguments. Keywords are matched
// without regard to letter case; anything that is not plain ASCII is never a
// keyword. Works on UTF-16 text and on the editor's UTF-8 bytes alike.
#include "rwx/words.h"

#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

#include <span>

namespace rwx {

// Blocks that open with ...Begin and close with ...End.
enum class Block : quint8 { None, Model, Clump, Proto, Transform, Material, JointTransform };
inline constexpr int BlockCount = 7;

// What the checker and the highlighting need to know of a statement.
enum class Kind : quint8 {
    Unknown,
    Begin,          // opens `block`
    End,            // closes `block`
    Vertex,         // adds a vertex to the clump or proto under construction
    Triangle,       // three indices
    Quad,           // four indices
    Polygon,        // a count, then that many indices
    ProtoInstance,  // names a proto
    Texture,        // names a texture, with Mask/Bump names after it
    FileName,       // the argument is a file name (Include)
    Other,          // any other known statement
};

// What a statement does to the scene it draws. Ignored: the statement is
// accepted and changes nothing that is drawn (as an unknown word is).
enum class Op : quint8 {
    Ignored,
    Begin, End, // of the keyword's block
    ProtoInstance, ProtoInstanceGeometry,
    Vertex, Prelight, Triangle, Quad, Polygon,
    Block, Cone, Cylinder, Disc, Sphere, Hemisphere,
    Transform, Translate, Scale, Rotate, Identity,
    Color, Surface, Ambient, Diffuse, Specular, Opacity,
    Texture, TextureModes, AddTextureMode, RemoveTextureMode,
    MaterialModes, AddMaterialMode, RemoveMaterialMode,
    LightSampling, GeometrySampling, AxisAlignment, TextureAddressMode,
};

struct Keyword {
    const char *name = nullptr; // as written in the reference, e.g. "ClumpEnd"; null for no keyword
    Kind kind = Kind::Unknown;
    Block block = Block::None;
    Op op = Op::Ignored;
};

// The keyword a word is, or Keyword{} (Kind::Unknown) for any other word.
Keyword findKeyword(QStringView word);
Keyword findKeyword(QByteArrayView word);

// Every keyword, once, in the order of the reference.
std::span<const Keyword> keywords();

// Words that qualify arguments or are argument values: UV, Normal, Prelight,
// Tag, Mask, Bump, null, lit, on, clamp ...
bool isModifier(QStringView word);
bool isModifier(QByteArrayView word);

// The Begin/End keyword of a block, e.g. "ClumpBegin".
const char *beginName(Block block);
const char *endName(Block block);

} // namespace rwx

#pragma once
// The RWX vocabulary: statement keywords, the words that qualify a
// statement's arguments, and the shape of a number. Keywords are matched
// without regard to letter case; anything that is not plain ASCII is never a
// keyword. Works on UTF-16 text and on the editor's UTF-8 bytes alike.
#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

namespace rwx {

// Blocks that open with ...Begin and close with ...End.
enum class Block : quint8 { None, Model, Clump, Proto, Transform, Material, JointTransform };
inline constexpr int BlockCount = 7;

// What the checker needs to know of a statement.
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

struct Keyword {
    Kind kind = Kind::Unknown;
    Block block = Block::None;
    const char *name = nullptr; // the keyword as written in the reference, e.g. "ClumpEnd"
};

Keyword findKeyword(QStringView word);
Keyword findKeyword(QByteArrayView word);

// Words that qualify arguments or are argument values: UV, Normal, Prelight,
// Tag, Mask, Bump, null, lit, on, clamp ...
bool isModifier(QStringView word);
bool isModifier(QByteArrayView word);

// 1  1.  .5  -.1  +.3  1e-1
bool isNumber(QStringView word);
bool isNumber(QByteArrayView word);

// Case-insensitive ASCII comparison with a lower-case literal.
bool equalsLower(QStringView word, const char *lower);
bool equalsLower(QByteArrayView word, const char *lower);

// The Begin/End keyword of a block, e.g. "ClumpBegin".
const char *beginName(Block block);
const char *endName(Block block);

} // namespace rwx

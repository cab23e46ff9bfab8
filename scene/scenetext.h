#pragma once
// Reading RWX text for the scene builder: statements split into words,
// keywords looked up without regard to letter case, and numbers read exactly.
#include <QStringView>
#include <QVarLengthArray>

namespace rwx::scenetext {

enum class Op : quint8 {
    None,
    ModelBegin, ModelEnd, ClumpBegin, ClumpEnd, ProtoBegin, ProtoEnd,
    TransformBegin, TransformEnd, MaterialBegin, MaterialEnd, JointBegin, JointEnd,
    ProtoInstance, ProtoInstanceGeometry,
    Vertex, Triangle, Quad, Polygon,
    Block, Cone, Cylinder, Disc, Sphere, Hemisphere,
    Transform, Translate, Scale, Rotate, Identity,
    Color, Surface, Ambient, Diffuse, Specular, Opacity,
    Texture, TextureModes, AddTextureMode, RemoveTextureMode,
    MaterialModes, AddMaterialMode, RemoveMaterialMode,
    LightSampling, GeometrySampling, AxisAlignment, TextureAddressMode,
};

// The statement a keyword starts; Op::None for words the builder does not use.
Op findOp(QStringView word);

// Case-insensitive ASCII comparison with a lower-case literal.
bool equalsLower(QStringView word, const char *lower);

// 1  1.  .5  -.1  +.25  1e-1; false for anything else and for a value that is
// not finite as a float.
bool parseNumber(QStringView word, float &value);

// A vertex number or count: an integer, also written "3." or "3.0".
// Saturates far beyond any real count instead of overflowing.
bool parseWhole(QStringView word, qint64 &value);

using Words = QVarLengthArray<QStringView, 40>;

// Calls statement(words, line) for every statement in text, with its 1-based
// line, until it returns false. CR LF, LF and a lone CR each end a line; "#"
// starts a comment, "#!" starts another statement on the same line; a leading
// byte-order mark is skipped. One pass, no allocation beyond the word list's
// growth.
template <typename Handler>
void forEachStatement(QStringView text, Handler &&statement)
{
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = (n > 0 && p[0] == 0xFEFF) ? 1 : 0;
    int line = 1;
    Words words;
    bool more = true;
    auto flush = [&] {
        if (!words.isEmpty()) {
            more = statement(words, line);
            words.clear();
        }
        return more;
    };
    while (i < n) {
        const char16_t c = p[i];
        if (c == u' ' || c == u'\t' || c == u'\v' || c == u'\f') {
            ++i;
        } else if (c == u'\n' || c == u'\r') {
            if (!flush())
                return;
            i += (c == u'\r' && i + 1 < n && p[i + 1] == u'\n') ? 2 : 1;
            ++line;
        } else if (c == u'#') {
            if (!flush())
                return;
            if (i + 1 < n && p[i + 1] == u'!') {
                i += 2;
            } else {
                while (i < n && p[i] != u'\n' && p[i] != u'\r')
                    ++i;
            }
        } else {
            const qsizetype start = i;
            while (i < n) {
                const char16_t d = p[i];
                if (d == u' ' || d == u'\t' || d == u'\v' || d == u'\f' || d == u'\n' || d == u'\r'
                    || d == u'#')
                    break;
                ++i;
            }
            words.append(QStringView(p + start, i - start));
        }
    }
    flush();
}

} // namespace rwx::scenetext

#include "support/scriptgen.h"

#include <QRandomGenerator>
#include <QStringList>

namespace orvane_test {
namespace {

constexpr int kProtos = 6;

class ScriptWriter {
public:
    explicit ScriptWriter(const ScriptShape &shape) : m_shape(shape), m_random(shape.seed)
    {
        m_text.reserve(shape.size + 16 * 1024);
    }

    QString run()
    {
        if (m_shape.comments)
            line(0, {QStringLiteral("# generated model: protos instanced in nested clumps")});
        line(0, {QStringLiteral("ModelBegin")});
        line(0, {QStringLiteral("#!"), QStringLiteral("Collision"), QStringLiteral("off")});
        for (int p = 0; p < kProtos; ++p)
            proto(p);
        line(0, {QStringLiteral("ClumpBegin")}, "the whole figure");
        line(1, {QStringLiteral("Tag"), QStringLiteral("1")});
        for (int part = 0; m_text.size() < m_shape.size; ++part)
            limb(1, part, 0);
        line(0, {QStringLiteral("ClumpEnd")});
        line(0, {QStringLiteral("ModelEnd")});
        return std::move(m_text);
    }

private:
    QString number() { return QString::number(m_random.bounded(-2000, 2000) / 1000.0, 'g', 3); }
    QString fraction() { return QString::number(m_random.bounded(1000) / 1000.0, 'g', 3); }
    QString count(int n) { return QString::number(n); }
    bool chance(int oneIn) { return m_random.bounded(oneIn) == 0; }

    // One statement: its words, an optional comment after it.
    void line(int depth, const QStringList &words, const char *comment = nullptr)
    {
        m_text += QString(2 * depth, u' ');
        for (qsizetype i = 0; i < words.size(); ++i) {
            if (i > 0)
                m_text += m_shape.untidy && chance(4) ? QString(m_random.bounded(2, 5), u' ') : QStringLiteral(" ");
            m_text += words[i];
        }
        if (comment && m_shape.comments)
            m_text += (m_shape.untidy ? QString(m_random.bounded(1, 8), u' ') : QStringLiteral(" "))
                + QStringLiteral("# ") + QLatin1StringView(comment);
        if (m_shape.untidy && chance(10))
            m_text += QString(m_random.bounded(1, 4), u' ');
        m_text += m_shape.lineBreak;
        if (m_shape.untidy && chance(25))
            m_text += (chance(2) ? QString(2 * depth + 2, u' ') : QString()) + m_shape.lineBreak.repeated(m_random.bounded(1, 4));
    }

    void vertices(int depth, int n)
    {
        for (int v = 1; v <= n; ++v) {
            QStringList words{QStringLiteral("Vertex"), number(), number(), number(), QStringLiteral("UV"), fraction(), fraction()};
            if (chance(6))
                words << QStringLiteral("#!") << QStringLiteral("Prelight") << fraction() << fraction() << fraction();
            line(depth, words, chance(4) ? "a vertex" : nullptr);
        }
    }

    // Quads and triangles over n vertices, some tagged.
    void faces(int depth, int n)
    {
        if (m_shape.comments && chance(2))
            line(depth, {QStringLiteral("# faces")});
        for (int f = 1; f + 3 <= n; f += 2) {
            line(depth, {QStringLiteral("Quad"), count(f), count(f + 1), count(f + 2), count(f + 3)}, chance(3) ? "face" : nullptr);
            const bool fault = m_shape.faulty && ++m_faces % 8 == 0;
            QStringList triangle{f % 4 ? QStringLiteral("triangle") : QStringLiteral("Triangle"), count(f),
                                 count(f + 2), count(fault ? n + 1 : f + 1)};
            if (chance(3))
                triangle << QStringLiteral("Tag") << count(f);
            line(depth, triangle);
        }
        line(depth, {QStringLiteral("Polygon"), QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("2"),
                     QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("Tag"), QStringLiteral("2")});
    }

    void proto(int p)
    {
        line(1, {QStringLiteral("ProtoBegin"), QStringLiteral("part_%1").arg(p)});
        line(2, {QStringLiteral("Ambient"), QStringLiteral(".6")});
        line(2, {QStringLiteral("Diffuse"), QStringLiteral(".7")});
        line(2, {QStringLiteral("LightSampling"), QStringLiteral("Vertex")});
        if (p % 3 == 2)
            line(2, {QStringLiteral("Texture"), QStringLiteral("null")});
        else
            line(2, {QStringLiteral("Texture"), QStringLiteral("wood%1").arg(p), QStringLiteral("Mask"), QStringLiteral("mask%1").arg(p)});
        if (p % 2)
            line(2, {QStringLiteral("MaterialMode"), QStringLiteral("double")});
        const int n = 24 + 4 * p;
        vertices(2, n);
        faces(2, n);
        line(1, {QStringLiteral("ProtoEnd")});
    }

    // A clump turned at its joint: its own faces, an instance of a proto and,
    // down to three deep, a clump hanging from it.
    void limb(int depth, int part, int level)
    {
        line(depth, {QStringLiteral("TransformBegin")});
        line(depth + 1, {QStringLiteral("Translate"), number(), number(), number()});
        line(depth + 1, {level % 2 ? QStringLiteral("clumpbegin") : QStringLiteral("ClumpBegin")},
             level ? nullptr : "a limb");
        line(depth + 2, {QStringLiteral("Tag"), count(10 * part + level + 2)});
        line(depth + 2, {QStringLiteral("Rotate"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("0"), count(m_random.bounded(360))});
        line(depth + 2, {QStringLiteral("Color"), fraction(), fraction(), fraction()}, "red, green, blue");
        if (chance(3))
            line(depth + 2, {QStringLiteral("#!"), QStringLiteral("RandomUVs")});
        const int n = 8 + 2 * m_random.bounded(16);
        vertices(depth + 2, n);
        faces(depth + 2, n);
        line(depth + 2, {QStringLiteral("ProtoInstance"), QStringLiteral("part_%1").arg((part + level) % kProtos)});
        if (level < 3)
            limb(depth + 2, part, level + 1);
        line(depth + 1, {level % 2 ? QStringLiteral("clumpend") : QStringLiteral("ClumpEnd")});
        line(depth, {QStringLiteral("TransformEnd")});
    }

    const ScriptShape &m_shape;
    QRandomGenerator m_random;
    QString m_text;
    int m_faces = 0;
};

} // namespace

QString generateScript(const ScriptShape &shape)
{
    return ScriptWriter(shape).run();
}

} // namespace orvane_test

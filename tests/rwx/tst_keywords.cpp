// The vocabulary, walked once: every keyword is found in any letter case,
// highlights as a keyword, passes the checker, and is either something the
// scene builder acts on or a statement it leaves alone.
#include "rwx/checker.h"
#include "rwx/keywords.h"
#include "rwx/styling.h"
#include "scene/scene.h"

#include "support/testmain.h"

#include <QSet>

using rwx::Keyword;
using rwx::Kind;
using rwx::Op;

namespace {

class Styles final : public rwx::HighlightSink {
public:
    QList<rwx::Highlight> perByte;
    void add(qsizetype length, rwx::Highlight style) override { perByte.insert(perByte.size(), length, style); }
};

// The triangles, corners and materials a scene is made of.
QList<QVector3D> corners(const rwx::Scene &scene)
{
    QList<QVector3D> out;
    for (const rwx::Mesh &m : scene.meshes) {
        out << m.material.color << QVector3D(float(m.material.texture.size()), 0, 0);
        for (const quint32 i : m.indices)
            out << m.positions[i];
    }
    return out;
}

} // namespace

class TestKeywords : public QObject {
    Q_OBJECT
private slots:
    void everyKeyword();
};

void TestKeywords::everyKeyword()
{
    const QString triangle = QStringLiteral("Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n");
    const QList<QVector3D> plain = corners(rwx::buildScene(triangle));
    QCOMPARE(plain.size(), 5);
    QSet<QString> seen;
    QVERIFY(rwx::keywords().size() > 60);
    for (const Keyword &entry : rwx::keywords()) {
        const QString name = QString::fromLatin1(entry.name);
        QVERIFY2(!seen.contains(name.toLower()), entry.name);
        seen.insert(name.toLower());
        for (const QString &spelling : {name, name.toLower(), name.toUpper()}) {
            QCOMPARE(rwx::findKeyword(spelling).name, entry.name);
            QCOMPARE(rwx::findKeyword(QByteArrayView(spelling.toLatin1())).name, entry.name);
        }

        // Highlighted as a keyword, on its own line and after "#!".
        const QByteArray line = QByteArray("#!") + entry.name + " 1\n";
        Styles styles;
        rwx::highlightLines(line, true, styles);
        QCOMPARE(styles.perByte.size(), line.size());
        for (qsizetype i = 2; i < 2 + name.size(); ++i)
            QVERIFY2(styles.perByte[i] == rwx::Highlight::Keyword, entry.name);

        // Known to the checker: no word of it is unknown.
        for (const rwx::Finding &f : rwx::checkScript(QStringLiteral("ModelBegin\n%1\nModelEnd\n").arg(name)))
            QVERIFY2(f.severity == rwx::Severity::Error, qPrintable(f.message));

        // Blocks open and close in the scene as in the checker; statements
        // that make or place geometry are never ignored.
        QCOMPARE(entry.kind == Kind::Begin, entry.op == Op::Begin);
        QCOMPARE(entry.kind == Kind::End, entry.op == Op::End);
        QCOMPARE(entry.block != rwx::Block::None, entry.op == Op::Begin || entry.op == Op::End);
        if (entry.op == Op::Ignored) {
            QVERIFY2(entry.kind == Kind::Other || entry.kind == Kind::FileName, entry.name);
            // ... and an ignored one changes nothing that is drawn.
            QCOMPARE(corners(rwx::buildScene(name + QStringLiteral(" 1 1 1 1\n") + triangle)), plain);
        }
    }
}

ORVANE_CORE_TEST_MAIN(TestKeywords)
#include "tst_keywords.moc"

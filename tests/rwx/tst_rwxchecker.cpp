// The structure checker without a window: real scripts, planted faults,
// letter case, "#!" statements and every kind of line break.
#include "rwx/checker.h"

#include "support/testmain.h"

#include <QDir>
#include <QFile>

using rwx::Finding;

namespace {

QString sampleText(const QString &name)
{
    QFile f(QStringLiteral(ORVANE_SAMPLES_DIR "/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

QStringList sampleLines(const QString &name)
{
    return sampleText(name).split(u'\n');
}

// "line:column:length:E|W:message", the way the tables below write a finding.
QStringList describe(const QList<Finding> &findings)
{
    QStringList out;
    for (const Finding &f : findings)
        out << QStringLiteral("%1:%2:%3:%4:%5").arg(f.line).arg(f.column).arg(f.length)
                   .arg(f.severity == rwx::Severity::Error ? QStringLiteral("E") : QStringLiteral("W")).arg(f.message);
    return out;
}

const QStringList kBreaks = {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")};
const char *kBreakNames[] = {"LF", "CRLF", "CR"};

} // namespace

class TestRwxChecker : public QObject {
    Q_OBJECT
private slots:
    void realScriptsAreClean_data();
    void realScriptsAreClean();
    void plantedFault_data();
    void plantedFault();
    void snippets_data();
    void snippets();
    void lineBreaksKeepPositions();
};

void TestRwxChecker::realScriptsAreClean_data()
{
    QTest::addColumn<QString>("text");
    const QStringList files = QDir(QStringLiteral(ORVANE_SAMPLES_DIR))
        .entryList({QStringLiteral("*.rwx")}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 6);
    for (const QString &file : files) {
        const QString text = sampleText(file);
        QVERIFY(!text.isEmpty());
        const QString lf = QString(text).remove(u'\r');
        for (int b = 0; b < 3; ++b)
            QTest::addRow("%s %s", qPrintable(file), kBreakNames[b]) << QString(lf).replace(u'\n', kBreaks[b]);
        QTest::addRow("%s BOM", qPrintable(file)) << (text.startsWith(QChar(0xFEFF)) ? text : QChar(0xFEFF) + text);
        // 8-bit comments, read as the Windows code page would give them.
        QTest::addRow("%s 8-bit comment", qPrintable(file))
            << QString::fromLatin1("# Gr\xFC\xDF" "e, \xE9t\xE9 \xA9\r\n") + QString(lf).replace(u'\n', QStringLiteral("\r\n"));
    }
}

void TestRwxChecker::realScriptsAreClean()
{
    QFETCH(QString, text);
    QCOMPARE(describe(rwx::checkScript(text)), QStringList());
}

void TestRwxChecker::plantedFault_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");

    auto add = [](const char *name, const QStringList &lines, const QString &expected) {
        QTest::newRow(name) << lines << expected;
    };

    QStringList pan = sampleLines(QStringLiteral("pan4test.rwx"));
    QCOMPARE(pan.value(12), QStringLiteral("clumpend"));
    {
        QStringList l = pan;
        l.removeAt(12);
        add("pan4test ClumpEnd removed", l, QStringLiteral("2:0:10:E:ClumpBegin without ClumpEnd"));
    }
    {
        QStringList l = pan;
        l.insert(13, QStringLiteral("ClumpEnd"));
        add("pan4test second ClumpEnd", l, QStringLiteral("13:0:8:E:ClumpEnd without ClumpBegin"));
    }
    {
        QStringList l = pan;
        QCOMPARE(l[10].left(12), QStringLiteral("quad 1 2 3 4"));
        l[10].replace(11, 1, QStringLiteral("5"));
        add("pan4test index past count", l,
            QStringLiteral("10:11:1:E:vertex 5 does not exist in this clump (4 vertices)"));
    }

    QStringList avatar = sampleLines(QStringLiteral("sv-nutcracker1avblue.rwx"));
    QCOMPARE(avatar.value(3893), QStringLiteral("ClumpBegin"));
    QCOMPARE(avatar.value(3895), QStringLiteral("ClumpEnd"));
    {
        QStringList l = avatar;
        l.removeAt(3895);
        add("avatar ClumpEnd removed", l, QStringLiteral("3893:0:10:E:ClumpBegin without ClumpEnd"));
    }

    QStringList nut = sampleLines(QStringLiteral("sv-nutcracker1.rwx"));
    QCOMPARE(nut.value(69), QStringLiteral("Quad 45 47 38 39"));
    {
        QStringList l = nut;
        l[69] = QStringLiteral("Quad 45 47 38 61");
        add("nutcracker index past proto count", l,
            QStringLiteral("69:14:2:E:vertex 61 does not exist in this proto (60 vertices)"));
    }

    QStringList cube = sampleLines(QStringLiteral("three-rwx-loader_cube.rwx"));
    QCOMPARE(cube.value(53), QStringLiteral("polygon 4 1 2 3 4 tag 100"));
    {
        QStringList l = cube;
        l[53] = QStringLiteral("polygon 5 1 2 3 4 tag 100");
        add("cube wrong polygon count", l, QStringLiteral("53:0:17:E:Polygon 5 lists 4 vertices"));
    }
    {
        QStringList l = cube;
        l[53] = QStringLiteral("polygon 3 1 2 3 4 tag 100");
        add("cube polygon lists too many", l, QStringLiteral("53:0:17:E:Polygon 3 lists 4 vertices"));
    }
    QCOMPARE(cube.value(44), QStringLiteral("clumpbegin"));
    {
        QStringList l = cube;
        l.insert(45, QStringLiteral("protoend"));
        l.insert(45, QStringLiteral("protobegin late"));
        add("cube proto inside a clump", l, QStringLiteral("45:0:10:E:ProtoBegin inside a clump"));
    }
    {
        QStringList l = cube;
        l.insert(7, QStringLiteral("protoend"));
        l.insert(7, QStringLiteral("  ProtoBegin inner"));
        add("cube proto inside a proto", l, QStringLiteral("7:2:10:E:ProtoBegin inside another proto"));
    }
    {
        QStringList l = cube;
        l[19] = QStringLiteral("protoinstance cubefaces");
        add("cube undefined proto", l, QStringLiteral("19:14:9:E:ProtoInstance of an undefined proto"));
    }

    QStringList sky = sampleLines(QStringLiteral("skyw3.rwx"));
    QCOMPARE(sky.value(25), QStringLiteral("  Opacity 1."));
    {
        QStringList l = sky;
        l[25] = QStringLiteral("  Opacitty 1.");
        add("skyw3 unknown keyword", l, QStringLiteral("25:2:8:W:unknown keyword \"Opacitty\""));
    }
    {
        QStringList l = sky;
        l[41] = QStringLiteral("  ProtoInstanceGeometry cube_0_1");
        add("skyw3 undefined proto geometry", l,
            QStringLiteral("41:24:8:E:ProtoInstanceGeometry of an undefined proto"));
    }
}

void TestRwxChecker::plantedFault()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, expected);
    for (int b = 0; b < 3; ++b) {
        const QString text = lines.join(kBreaks[b]);
        QCOMPARE(describe(rwx::checkScript(text)), QStringList{expected});
    }
}

void TestRwxChecker::snippets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    auto row = [](const char *name, const char *text, QStringList expected) {
        QTest::newRow(name) << QString::fromUtf8(text) << expected;
    };

    row("empty", "", {});
    row("not a script", "Drag & drop file to open.\r\n", {});
    row("letter case", "MODELBEGIN\nclumpBegin\nVERTEX 0 0 0\nvErTeX 1 0 0\nVertex 0 1 0\n"
        "TRIANGLE 1 2 3\nTriangleExt 3 2 1\nCLUMPEND\nModelEnd\n", {});
    row("tag keyword in any case", "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3 TAG 4\nPolygon 3 1 2 3 Tag 7\nClumpEnd\n", {});
    row("extension lines", "ModelBegin\n#! Collision off\nClumpBegin\n"
        "Vertex 0 0 0 #! prelight 1 0 0\n  #!Prelight .5 .5 .5\nVertex 1 0 0\nVertex 0 1 0\n"
        "Triangle 1 2 3 #! RandomUVs on\nClumpEnd\nModelEnd\n", {});
    row("extension statement is checked", "ClumpBegin\nVertex 0 0 0 #! Quad 1 1 1 2\nClumpEnd\n",
        {"1:27:1:E:vertex 2 does not exist in this clump (1 vertex)"});
    row("unknown word after #!", "ModelBegin\n#! Frobnicate 1\nModelEnd\n",
        {"1:3:10:W:unknown keyword \"Frobnicate\""});
    row("comments hide statements", "ModelBegin # ClumpEnd\n# ClumpEnd\n#ClumpBegin\nModelEnd #\n", {});
    row("comment right after a word", "ClumpBegin\nVertex 0 0 0\nQuad 1 1 1 1# 9\nClumpEnd\n", {});
    row("nested clumps count their own vertices",
        "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nClumpBegin\nVertex 0 0 0\nTriangle 1 1 2\n"
        "ClumpEnd\nTriangle 1 2 2\nClumpEnd\n",
        {"5:13:1:E:vertex 2 does not exist in this clump (1 vertex)"});
    row("each proto counts from one",
        "ProtoBegin a\nVertex 0 0 0\nVertex 0 0 0\nVertex 0 0 0\nProtoEnd\n"
        "ProtoBegin b\nVertex 0 0 0\nTriangle 1 2 3\nProtoEnd\n",
        {"7:11:1:E:vertex 2 does not exist in this proto (1 vertex)",
         "7:13:1:E:vertex 3 does not exist in this proto (1 vertex)"});
    row("instances add no vertices",
        "ProtoBegin a\nVertex 0 0 0\nVertex 0 0 0\nVertex 0 0 0\nProtoEnd\n"
        "ClumpBegin\nProtoInstance A\nTriangle 1 2 3\nClumpEnd\n",
        {"7:9:1:E:vertex 1 does not exist in this clump (0 vertices)",
         "7:11:1:E:vertex 2 does not exist in this clump (0 vertices)",
         "7:13:1:E:vertex 3 does not exist in this clump (0 vertices)"});
    row("index zero and bad indices", "ClumpBegin\nVertex 0 0 0\nVertex 0 0 0\nVertex 0 0 0\n"
        "Triangle 0 2 3.\nQuad 1 2 x 1.5\nClumpEnd\n",
        {"4:9:1:E:vertex 0 does not exist in this clump (3 vertices)",
         "5:9:1:E:\"x\" is not a vertex number", "5:11:3:E:\"1.5\" is not a vertex number"});
    row("huge index", "ClumpBegin\nVertex 0 0 0\nTriangle 1 1 99999999999999999999\nClumpEnd\n",
        {"2:13:20:E:vertex 99999999999999999999 does not exist in this clump (1 vertex)"});
    row("vertices outside any clump", "Vertex 0 0 0\nTriangle 1 1 2\n",
        {"1:13:1:E:vertex 2 does not exist in this script (1 vertex)"});
    row("face sizes", "ClumpBegin\nVertex 0 0 0\nTriangle 1 1\nQuadExt 1 1 1 1 1 tag 2\nClumpEnd\n",
        {"2:0:12:E:Triangle lists 2 vertices, not 3", "3:0:17:E:QuadExt lists 5 vertices, not 4"});
    row("polygon counts", "ClumpBegin\nVertex 0 0 0\nPolygon\nPolygonExt x 1 1 1\nPolygon 4 1 1 1 # 1\n"
        "Polygon tag 3\nClumpEnd\n",
        {"2:0:7:E:Polygon without a vertex count", "3:11:1:E:\"x\" is not a vertex count",
         "4:0:15:E:Polygon 4 lists 3 vertices", "5:0:7:E:Polygon without a vertex count"});
    row("blocks of every kind", "TransformBegin\nMaterialBegin\nJointTransformBegin\nJointTransformEnd\n"
        "MaterialEnd\nTransformEnd\nMaterialEnd\nJointTransformEnd\nTransformEnd\nModelEnd\nProtoEnd\n",
        {"6:0:11:E:MaterialEnd without MaterialBegin",
         "7:0:17:E:JointTransformEnd without JointTransformBegin",
         "8:0:12:E:TransformEnd without TransformBegin", "9:0:8:E:ModelEnd without ModelBegin",
         "10:0:8:E:ProtoEnd without ProtoBegin"});
    row("unclosed at the end", "ModelBegin\n  TransformBegin\n  MaterialBegin\n  MaterialEnd\n",
        {"0:0:10:E:ModelBegin without ModelEnd", "1:2:14:E:TransformBegin without TransformEnd"});
    row("end closes inner blocks left open", "ClumpBegin\nTransformBegin\nMaterialBegin\nClumpEnd\n",
        {"1:0:14:E:TransformBegin without TransformEnd", "2:0:13:E:MaterialBegin without MaterialEnd"});
    row("proto must be defined first", "ClumpBegin\nProtoInstance later\nClumpEnd\nProtoBegin later\nProtoEnd\n",
        {"1:14:5:E:ProtoInstance of an undefined proto"});
    row("names missing", "ProtoBegin\nProtoEnd\nProtoInstance\n",
        {"0:0:10:E:ProtoBegin without a proto name", "2:0:13:E:ProtoInstance without a proto name"});
    row("proto inside clump inside model", "ModelBegin\nClumpBegin\nTransformBegin\nProtoBegin p\n"
        "ProtoEnd\nTransformEnd\nClumpEnd\nModelEnd\n", {"3:0:10:E:ProtoBegin inside a clump"});
    row("number instead of keyword", "ModelBegin\n1 2 3\nModelEnd\n",
        {"1:0:1:W:a number where a keyword belongs"});
    row("columns count UTF-16 units", "ModelBegin\n\t\xC3\xA9t\xC3\xA9 1\n#! \xF0\x9F\x98\x80 2\nModelEnd\n",
        {"1:1:3:W:unknown keyword \"\xC3\xA9t\xC3\xA9\"",
         "2:3:2:W:unknown keyword \"\xF0\x9F\x98\x80\""});
    row("byte-order mark", "\xEF\xBB\xBFModelBegin\nFoo\nModelEnd",
        {"1:0:3:W:unknown keyword \"Foo\""});
    row("blank and tab separators", "ClumpBegin\n\tVertex\t0 0 0\n Triangle\t1  1\t 2\nClumpEnd",
        {"2:16:1:E:vertex 2 does not exist in this clump (1 vertex)"});
}

void TestRwxChecker::snippets()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(describe(rwx::checkScript(text)), expected);
}

void TestRwxChecker::lineBreaksKeepPositions()
{
    // Mixed breaks in one text: CR LF, LF, lone CR, LF LF (an empty line), CR CR.
    const QString text = QStringLiteral("ModelBegin\r\nA\nB\rC\n\nD\r\rE\r\nModelEnd");
    QCOMPARE(describe(rwx::checkScript(text)),
             (QStringList{"1:0:1:W:unknown keyword \"A\"", "2:0:1:W:unknown keyword \"B\"",
                          "3:0:1:W:unknown keyword \"C\"", "5:0:1:W:unknown keyword \"D\"",
                          "7:0:1:W:unknown keyword \"E\""}));
}

ORVANE_CORE_TEST_MAIN(TestRwxChecker)
#include "tst_rwxchecker.moc"

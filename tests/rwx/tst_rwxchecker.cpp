// The structure checker without a window: our own test scripts and the
// samples, planted faults, letter case, "#!" statements and every kind of
// line break.
#include "rwx/checker.h"

#include "support/files.h"
#include "support/scriptgen.h"
#include "support/testmain.h"

#include <QRegularExpression>

using rwx::Finding;
using namespace orvane_test;

namespace {

QStringList scriptLines(const QString &name)
{
    return readScriptText(dataFile(name)).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
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

// Each script as stored, with each kind of line break, with a byte-order
// mark and with an 8-bit comment line in front.
void addCleanRows(const QStringList &paths)
{
    QTest::addColumn<QString>("text");
    QVERIFY(!paths.isEmpty());
    for (const QString &path : paths) {
        const QString text = readScriptText(path);
        const QByteArray file = QFileInfo(path).fileName().toUtf8();
        QVERIFY(!text.isEmpty());
        QTest::addRow("%s as stored", file.constData()) << text;
        const QString lf = QString(text).replace(QRegularExpression(QStringLiteral("\r\n?")), QStringLiteral("\n"));
        for (int b = 0; b < 3; ++b)
            QTest::addRow("%s %s", file.constData(), kBreakNames[b]) << QString(lf).replace(u'\n', kBreaks[b]);
        QTest::addRow("%s BOM", file.constData()) << (text.startsWith(QChar(0xFEFF)) ? text : QChar(0xFEFF) + text);
        // 8-bit comments, read as the Windows code page would give them.
        QTest::addRow("%s 8-bit comment", file.constData())
            << QString::fromLatin1("# Gr\xFC\xDF" "e, \xE9t\xE9 \xA9\r\n") + QString(lf).replace(u'\n', QStringLiteral("\r\n"));
    }
}

} // namespace

class TestRwxChecker : public QObject {
    Q_OBJECT
private slots:
    void scriptsAreClean_data();
    void scriptsAreClean();
    void samplesAreClean_data();
    void samplesAreClean();
    void plantedFault_data();
    void plantedFault();
    void generatedScripts();
    void snippets_data();
    void snippets();
    void lineBreaksKeepPositions();
};

void TestRwxChecker::scriptsAreClean_data()
{
    addCleanRows(dataScripts());
}

void TestRwxChecker::scriptsAreClean()
{
    QFETCH(QString, text);
    QCOMPARE(describe(rwx::checkScript(text)), QStringList());
}

void TestRwxChecker::samplesAreClean_data()
{
    ORVANE_REQUIRE_SAMPLES();
    addCleanRows(sampleScripts());
}

void TestRwxChecker::samplesAreClean()
{
    scriptsAreClean();
}

// One fault planted at a known place of a test script: the one finding, and
// the line itself as it was, so that an edit of the script shows here.
void TestRwxChecker::plantedFault_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");

    auto add = [](const char *name, const QStringList &lines, const QString &expected) {
        QTest::newRow(name) << lines << expected;
    };

    const QStringList panel = scriptLines(QStringLiteral("panel.rwx"));
    QCOMPARE(panel.value(13), QStringLiteral("  clumpend"));
    {
        QStringList l = panel;
        l.removeAt(13);
        add("panel ClumpEnd removed", l, QStringLiteral("2:2:10:E:ClumpBegin without ClumpEnd"));
    }
    {
        QStringList l = panel;
        l.insert(14, QStringLiteral("ClumpEnd"));
        add("panel second ClumpEnd", l, QStringLiteral("14:0:8:E:ClumpEnd without ClumpBegin"));
    }
    {
        QStringList l = panel;
        QCOMPARE(l[11], QStringLiteral("    quad 1 2 3 4"));
        l[11].replace(15, 1, QStringLiteral("5"));
        add("panel index past count", l,
            QStringLiteral("11:15:1:E:vertex 5 does not exist in this clump (4 vertices)"));
    }

    const QStringList figure = scriptLines(QStringLiteral("figure.rwx"));
    QCOMPARE(figure.value(68), QStringLiteral("  ClumpBegin            # body"));
    QCOMPARE(figure.value(240), QStringLiteral("        ClumpEnd"));
    {
        QStringList l = figure;
        l.removeAt(240); // the hand's, three clumps deep: the body is left open
        add("figure ClumpEnd of a hand removed", l, QStringLiteral("68:2:10:E:ClumpBegin without ClumpEnd"));
    }
    QCOMPARE(figure.value(49), QStringLiteral("    Polygon 8 9 10 11 12 13 14 15 16 Tag 2"));
    {
        QStringList l = figure;
        l[49].replace(34, 2, QStringLiteral("17"));
        add("figure index past proto count", l,
            QStringLiteral("49:34:2:E:vertex 17 does not exist in this proto (16 vertices)"));
    }

    const QStringList crate = scriptLines(QStringLiteral("crate.rwx"));
    QCOMPARE(crate.value(42), QStringLiteral("    Polygon 4 1 2 3 4 Tag 100    # bottom"));
    {
        QStringList l = crate;
        l[42].replace(12, 1, QStringLiteral("5"));
        add("crate wrong polygon count", l, QStringLiteral("42:4:17:E:Polygon 5 lists 4 vertices"));
    }
    {
        QStringList l = crate;
        l[42].replace(12, 1, QStringLiteral("3"));
        add("crate polygon lists too many", l, QStringLiteral("42:4:17:E:Polygon 3 lists 4 vertices"));
    }
    QCOMPARE(crate.value(25), QStringLiteral("  ClumpBegin            # the box"));
    {
        QStringList l = crate;
        l.insert(26, QStringLiteral("protoend"));
        l.insert(26, QStringLiteral("protobegin late"));
        add("crate proto inside a clump", l, QStringLiteral("26:0:10:E:ProtoBegin inside a clump"));
    }
    QCOMPARE(crate.value(16), QStringLiteral("  protobegin Nail"));
    {
        QStringList l = crate;
        l.insert(17, QStringLiteral("protoend"));
        l.insert(17, QStringLiteral("  ProtoBegin inner"));
        add("crate proto inside a proto", l, QStringLiteral("17:2:10:E:ProtoBegin inside another proto"));
    }
    QCOMPARE(crate.value(30), QStringLiteral("      ProtoInstance plank"));
    {
        QStringList l = crate;
        l[30] = QStringLiteral("      protoinstance planks");
        add("crate undefined proto", l, QStringLiteral("30:20:6:E:ProtoInstance of an undefined proto"));
    }
    QCOMPARE(crate.value(18), QStringLiteral("    Opacity 1."));
    {
        QStringList l = crate;
        l[18] = QStringLiteral("    Opacitty 1.");
        add("crate unknown keyword", l, QStringLiteral("18:4:8:W:unknown keyword \"Opacitty\""));
    }
    QCOMPARE(crate.value(36), QStringLiteral("    ProtoInstanceGeometry nail"));
    {
        QStringList l = crate;
        l[36] = QStringLiteral("    ProtoInstanceGeometry nails");
        add("crate undefined proto geometry", l,
            QStringLiteral("36:26:5:E:ProtoInstanceGeometry of an undefined proto"));
    }

    const QStringList lamp = scriptLines(QStringLiteral("lamp.rwx"));
    QCOMPARE(lamp.value(6), QStringLiteral("  TransformBegin"));
    QCOMPARE(lamp.value(13), QStringLiteral("  TransformEnd"));
    {
        QStringList l = lamp;
        l.removeAt(13);
        add("lamp TransformEnd removed", l, QStringLiteral("6:2:14:E:TransformBegin without TransformEnd"));
    }

    const QStringList bench = scriptLines(QStringLiteral("bench.rwx"));
    QCOMPARE(bench.value(13), QStringLiteral("    Triangle 1 4 5"));
    {
        QStringList l = bench;
        l[13] = QStringLiteral("    Triangle 1 4 7");
        add("bench index past count", l,
            QStringLiteral("13:17:1:E:vertex 7 does not exist in this clump (6 vertices)"));
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

// The generated scripts the tests and benchmarks use: clean, or faulty in
// their face indices only.
void TestRwxChecker::generatedScripts()
{
    for (const bool untidy : {false, true}) {
        const QString clean = generateScript({.size = 100000, .untidy = untidy});
        QVERIFY(clean.size() >= 100000);
        QCOMPARE(describe(rwx::checkScript(clean)), QStringList());
        const QString faulty = generateScript({.size = 100000, .untidy = untidy, .faulty = true});
        const QStringList found = describe(rwx::checkScript(faulty));
        QVERIFY2(found.size() > faulty.count(u'\n') / 80, qPrintable(QString::number(found.size())));
        for (const QString &f : found)
            QVERIFY2(f.contains(QStringLiteral(":E:vertex ")) && f.contains(QStringLiteral("does not exist in this")), qPrintable(f));
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

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
    void firstFindingsOfMany();
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

// One fault planted at a known place of a test script: the one finding. The
// line is pinned as the script has it, so that an edit of the script shows here.
void TestRwxChecker::plantedFault_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("expected");

    const struct {
        const char *name;
        const char *file;
        int line; // 0-based
        const char *was;
        bool replace;     // the line gives way to `put`; otherwise `put` follows it
        QStringList put;
        const char *expected;
    } plants[] = {
        {"panel ClumpEnd removed", "panel.rwx", 13, "  clumpend", true, {},
         "2:2:10:E:ClumpBegin without ClumpEnd"},
        {"panel second ClumpEnd", "panel.rwx", 13, "  clumpend", false, {"ClumpEnd"},
         "14:0:8:E:ClumpEnd without ClumpBegin"},
        {"panel index past count", "panel.rwx", 11, "    quad 1 2 3 4", true, {"    quad 1 2 3 5"},
         "11:15:1:E:vertex 5 does not exist in this clump (4 vertices)"},
        // The hand's, three clumps deep: every later ClumpEnd closes the clump
        // before its own, and the body is left open.
        {"figure ClumpEnd of a hand removed", "figure.rwx", 240, "        ClumpEnd", true, {},
         "68:2:10:E:ClumpBegin without ClumpEnd"},
        {"figure index past proto count", "figure.rwx", 49, "    Polygon 8 9 10 11 12 13 14 15 16 Tag 2", true,
         {"    Polygon 8 9 10 11 12 13 14 15 17 Tag 2"},
         "49:34:2:E:vertex 17 does not exist in this proto (16 vertices)"},
        {"crate wrong polygon count", "crate.rwx", 42, "    Polygon 4 1 2 3 4 Tag 100    # bottom", true,
         {"    Polygon 5 1 2 3 4 Tag 100    # bottom"}, "42:4:17:E:Polygon 5 lists 4 vertices"},
        {"crate polygon lists too many", "crate.rwx", 42, "    Polygon 4 1 2 3 4 Tag 100    # bottom", true,
         {"    Polygon 3 1 2 3 4 Tag 100    # bottom"}, "42:4:17:E:Polygon 3 lists 4 vertices"},
        {"crate proto inside a clump", "crate.rwx", 25, "  ClumpBegin            # the box", false,
         {"protobegin late", "protoend"}, "26:0:10:E:ProtoBegin inside a clump"},
        {"crate proto inside a proto", "crate.rwx", 16, "  protobegin Nail", false,
         {"  ProtoBegin inner", "protoend"}, "17:2:10:E:ProtoBegin inside another proto"},
        {"crate undefined proto", "crate.rwx", 30, "      ProtoInstance plank", true,
         {"      protoinstance planks"}, "30:20:6:E:ProtoInstance of an undefined proto"},
        {"crate unknown keyword", "crate.rwx", 18, "    Opacity 1.", true, {"    Opacitty 1."},
         "18:4:8:W:unknown keyword \"Opacitty\""},
        {"crate undefined proto geometry", "crate.rwx", 36, "    ProtoInstanceGeometry nail", true,
         {"    ProtoInstanceGeometry nails"}, "36:26:5:E:ProtoInstanceGeometry of an undefined proto"},
        {"lamp TransformEnd removed", "lamp.rwx", 13, "  TransformEnd", true, {},
         "6:2:14:E:TransformBegin without TransformEnd"},
        {"bench index past count", "bench.rwx", 13, "    Triangle 1 4 5", true, {"    Triangle 1 4 7"},
         "13:17:1:E:vertex 7 does not exist in this clump (6 vertices)"},
    };
    for (const auto &plant : plants) {
        QStringList lines = scriptLines(QString::fromLatin1(plant.file));
        QCOMPARE(lines.value(plant.line), QString::fromLatin1(plant.was));
        if (plant.replace)
            lines.removeAt(plant.line);
        for (qsizetype i = 0; i < plant.put.size(); ++i)
            lines.insert(plant.line + (plant.replace ? 0 : 1) + i, plant.put[i]);
        QTest::newRow(plant.name) << lines << QString::fromUtf8(plant.expected);
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
    // Keeping a few gives the first ones and counts them all.
    for (qsizetype keep = 0; keep <= expected.size(); ++keep) {
        const rwx::CheckResult first = rwx::checkScript(text, {.keep = keep, .stop = {}});
        QCOMPARE(describe(first.findings), expected.first(keep));
        QCOMPARE(first.total, expected.size());
        QVERIFY(!first.cancelled);
    }
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

// A script of nothing but faults: the first findings come last (the blocks
// left open at the top), and a check told to stop gives nothing.
void TestRwxChecker::firstFindingsOfMany()
{
    const int faces = 20000;
    const QString text = QStringLiteral("ModelBegin\nClumpBegin\n")
        + QStringLiteral("Triangle 1 2 3\n").repeated(faces) + QStringLiteral("TransformBegin\nClumpEnd\n");
    const QList<Finding> all = rwx::checkScript(text);
    QCOMPARE(all.size(), 3 * faces + 2);
    QCOMPARE(describe(all.first(3)), (QStringList{"0:0:10:E:ModelBegin without ModelEnd",
                                                  "2:9:1:E:vertex 1 does not exist in this clump (0 vertices)",
                                                  "2:11:1:E:vertex 2 does not exist in this clump (0 vertices)"}));
    for (const qsizetype keep : {1, 1000, 3 * faces + 1}) {
        const rwx::CheckResult first = rwx::checkScript(text, {.keep = keep, .stop = {}});
        QCOMPARE(first.findings, all.first(keep));
        QCOMPARE(first.total, all.size());
    }

    int asked = 0;
    const rwx::CheckResult stopped = rwx::checkScript(text, {.keep = 10, .stop = [&] { return ++asked == 3; }});
    QVERIFY(stopped.cancelled);
    QCOMPARE(asked, 3);
    QVERIFY(stopped.findings.isEmpty());
    QCOMPARE(stopped.total, 0);
    QVERIFY(!rwx::checkScript(text, {.keep = 10, .stop = [] { return false; }}).cancelled);
}

ORVANE_CORE_TEST_MAIN(TestRwxChecker)
#include "tst_rwxchecker.moc"

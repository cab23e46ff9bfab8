// The one-pass clean-up transformations against their literal, repeated-pass
// counterparts in support/cleanupreference.h, on fixed cases, random texts, long texts,
// our own test scripts and the samples.
#include "cleanup/cleanup.h"
#include "support/cleanupreference.h"
#include "support/files.h"
#include "support/scriptgen.h"
#include "support/testmain.h"

#include <QRandomGenerator>
#include <QRegularExpression>

using namespace orvane_test;

namespace {

using Transform = QString (*)(const QString &);

struct Pair
{
    const char *name;
    Transform linear;
    Transform literal;
};

QString refComments(const QString &t) { return reference::deleteComments(t); }
QString refSpacers(const QString &t) { return reference::deleteSpacers(t); }
QString refEmpty(const QString &t) { return reference::deleteEmptyStrings(t); }

const Pair pairs[] = {
    {"DeleteComments", DeleteComments, refComments},
    {"DeleteSpacers", DeleteSpacers, refSpacers},
    {"DeleteEmptyStrings", DeleteEmptyStrings, refEmpty},
};

Transform byName(const QString &name)
{
    for (const Pair &p : pairs) {
        if (name == QLatin1String(p.name))
            return p.linear;
    }
    return nullptr;
}

// Control characters spelled out, so a failing text can be read in the log.
QByteArray shown(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    s.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    s.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return '"' + s.toUtf8() + '"';
}

// Compares every transformation with its literal counterpart on text, and
// checks that a second run of the one-pass version changes nothing.
// Returns an empty string when all agree, else a description of the first
// difference.
QByteArray disagreement(const QString &text)
{
    for (const Pair &p : pairs) {
        const QString got = p.linear(text);
        const QString want = p.literal(text);
        if (got != want) {
            return QByteArray(p.name) + " on " + shown(text) + " gave " + shown(got)
                + " instead of " + shown(want);
        }
        const QString again = p.linear(got);
        if (again != got)
            return QByteArray(p.name) + " is not idempotent on " + shown(text);
    }
    return {};
}

const char16_t alphabet[] = {u' ', u'#', u'!', u'\r', u'\n', u'\t', u'a', u'1'};

QString randomChars(QRandomGenerator &rng, qsizetype length, bool withHash = true)
{
    QString s;
    s.reserve(length);
    while (s.size() < length) {
        const char16_t c = alphabet[rng.bounded(int(std::size(alphabet)))];
        if (withHash || c != u'#')
            s += QChar(c);
    }
    return s;
}

// Texts built from the pieces that matter (line breaks, pairs of blanks,
// "#!"), so that long runs and pairs turn up far more often than by chance.
QString randomPieces(QRandomGenerator &rng, qsizetype length)
{
    static const char *const pieces[] = {" ", "  ", "\r\n", "\r\n", "#", "#!", "!",
                                         "\r", "\n", "\t", "a", "1", " \r\n", "\r\n "};
    QString s;
    while (s.size() < length)
        s += QLatin1String(pieces[rng.bounded(int(std::size(pieces)))]);
    s.truncate(length);
    return s;
}

QString crlf(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\r\n|\r|\n")), QStringLiteral("\r\n"));
}

void addScriptRows(const QStringList &files)
{
    QTest::addColumn<QString>("text");
    for (const QString &path : files) {
        const QString text = readScriptText(path);
        const QByteArray name = QFileInfo(path).fileName().toUtf8();
        QTest::newRow(name + " as stored") << text;
        QTest::newRow(name + " with CR LF") << crlf(text);
    }
}

} // namespace

class TestCleanup : public QObject
{
    Q_OBJECT

private slots:
    void fixedCases_data();
    void fixedCases();
    void randomTexts();
    void longTexts();
    void threeInARow();
    void scripts_data();
    void scripts();
    void samples_data();
    void samples();
};

void TestCleanup::fixedCases_data()
{
    QTest::addColumn<QString>("transform");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *tag, const char *transform, const QString &in, const QString &out) {
        QTest::newRow(tag) << QString::fromLatin1(transform) << in << out;
    };
    const auto S = [](const char *s) { return QString::fromLatin1(s); };

    for (const Pair &p : pairs)
        row(QByteArray(p.name).append(": empty").constData(), p.name, QString(), QString());

    row("spacers: blanks only", "DeleteSpacers", S("     "), S(""));
    row("spacers: one blank", "DeleteSpacers", S(" "), S(""));
    row("spacers: blank-only line becomes empty", "DeleteSpacers", S("a\r\n    \r\nb"), S("a\r\n\r\nb"));
    row("spacers: trailing blank at end stays", "DeleteSpacers", S("Vertex 1 2 3\r\nVertex "),
        S("Vertex 1 2 3\r\nVertex "));
    row("spacers: blanks at end run shrink to one", "DeleteSpacers", S("Vertex    "), S("Vertex "));
    row("spacers: lone blank after last break goes", "DeleteSpacers", S("Vertex 1\r\n "), S("Vertex 1\r\n"));
    row("spacers: blank run after last break goes", "DeleteSpacers", S("Vertex 1\r\n   "), S("Vertex 1\r\n"));
    row("spacers: tab indent stays", "DeleteSpacers", S("\tVertex 1 2 3\r\n"), S("\tVertex 1 2 3\r\n"));
    row("spacers: blanks around a tab", "DeleteSpacers", S("  \t  a"), S("\t a"));
    row("spacers: four blanks become one", "DeleteSpacers", S("Vertex 1    2"), S("Vertex 1 2"));
    row("spacers: leading and trailing on lines", "DeleteSpacers",
        S("   Quad  1 2  3 4   \r\n  ClumpEnd \r\n"), S("Quad 1 2 3 4\r\nClumpEnd\r\n"));
    row("spacers: blank before first break", "DeleteSpacers", S(" \r\nx"), S("\r\nx"));
    row("spacers: lone CR and LF are ordinary", "DeleteSpacers", S("a \r b \n c"), S("a \r b \n c"));
    row("spacers: blank between CR and LF stays", "DeleteSpacers", S("a\r \nb"), S("a\r \nb"));
    row("spacers: inside comments too", "DeleteSpacers", S("x  #  two   words  \r\n"), S("x # two words\r\n"));

    row("empty: three breaks become one", "DeleteEmptyStrings", S("a\r\n\r\n\r\nb"), S("a\r\nb"));
    row("empty: breaks at start vanish", "DeleteEmptyStrings", S("\r\n\r\n\r\nModelBegin"), S("ModelBegin"));
    row("empty: one break at start vanishes", "DeleteEmptyStrings", S("\r\nModelBegin"), S("ModelBegin"));
    row("empty: two breaks at end become one", "DeleteEmptyStrings", S("ModelEnd\r\n\r\n"), S("ModelEnd\r\n"));
    row("empty: only breaks", "DeleteEmptyStrings", S("\r\n\r\n\r\n\r\n\r\n"), S(""));
    row("empty: blank-only line stays", "DeleteEmptyStrings", S("a\r\n \r\nb"), S("a\r\n \r\nb"));
    row("empty: lone LFs are ordinary", "DeleteEmptyStrings", S("a\n\n\nb"), S("a\n\n\nb"));
    row("empty: lone CRs around a run", "DeleteEmptyStrings", S("a\r\r\n\r\n\r\n\nb"), S("a\r\r\n\nb"));
    row("empty: CR CR LF LF is one break", "DeleteEmptyStrings", S("\r\r\n\n"), S("\r\r\n\n"));

    row("comments: Block", "DeleteComments", S("Block #<width> <height> <depth>"), S("Block "));
    row("comments: Texture with second hash", "DeleteComments", S("Texture #<name> #[mask <mask>]"),
        S("Texture "));
    row("comments: #! line stays", "DeleteComments", S("#! RandomUVs"), S("#! RandomUVs"));
    row("comments: after #! on the line", "DeleteComments", S("#! Collision off      # 'on' or 'off'"),
        S("#! Collision off      "));
    row("comments: #! mid-line", "DeleteComments", S("Vertex 0 0 0 #! UV 0 1\r\n"), S("Vertex 0 0 0 #! UV 0 1\r\n"));
    row("comments: last line without break", "DeleteComments", S("ModelBegin\r\nModelEnd # done"),
        S("ModelBegin\r\nModelEnd "));
    row("comments: comment-only line becomes empty", "DeleteComments", S("a\r\n# note\r\nb"), S("a\r\n\r\nb"));
    row("comments: indented comment keeps blanks", "DeleteComments", S("a\r\n   # note\r\nb"),
        S("a\r\n   \r\nb"));
    row("comments: hash right after #!", "DeleteComments", S("#!# c\r\nx"), S("#!\r\nx"));
    row("comments: hash before #!", "DeleteComments", S("##! x\r\ny"), S("\r\ny"));
    row("comments: lone LF inside a comment", "DeleteComments", S("a # c\nb\r\nz"), S("a \r\nz"));
    row("comments: lone CR inside a comment", "DeleteComments", S("a # c\rb\r\nz"), S("a \r\nz"));
    row("comments: hash alone", "DeleteComments", S("#"), S(""));
    row("comments: hash at end", "DeleteComments", S("a#"), S("a"));
    row("comments: #! at end", "DeleteComments", S("x#!"), S("x#!"));
    row("comments: bang alone", "DeleteComments", S("a ! b"), S("a ! b"));
    row("comments: several lines", "DeleteComments", S("a # one\r\n# two\r\n#!b # three"),
        S("a \r\n\r\n#!b "));

    // Positions past the 16-bit range are nothing special.
    const QString longLine(40000, QLatin1Char('a'));
    row("comments: comment beyond 32767", "DeleteComments", longLine + S("\r\nx # c\r\ny"),
        longLine + S("\r\nx \r\ny"));
    row("comments: #! beyond 32767", "DeleteComments", longLine + S("#!a#b"), longLine + S("#!a"));
    row("comments: unbroken comment in long text", "DeleteComments", S("v # c") + longLine, S("v "));
}

void TestCleanup::fixedCases()
{
    QFETCH(QString, transform);
    QFETCH(QString, input);
    QFETCH(QString, expected);

    const Transform f = byName(transform);
    QVERIFY(f);
    const QString got = f(input);
    QVERIFY2(got == expected, shown(got).constData());
    QCOMPARE(got.size(), expected.size());
    QCOMPARE(f(got), expected);
    const QByteArray what = disagreement(input);
    QVERIFY2(what.isEmpty(), what.left(300).constData());
}

void TestCleanup::randomTexts()
{
    QRandomGenerator rng(20240607);
    int checked = 0;
    for (int i = 0; i < 15000; ++i) {
        const qsizetype length = rng.bounded(201);
        const QString text = (i % 2) ? randomPieces(rng, length) : randomChars(rng, length);
        const QByteArray what = disagreement(text);
        QVERIFY2(what.isEmpty(), what.constData());
        ++checked;
    }
    QCOMPARE(checked, 15000);
}

void TestCleanup::longTexts()
{
    QRandomGenerator rng(7);

    // Random text with comments only in its last few hundred characters.
    QString plain = randomChars(rng, 150000, false) + randomChars(rng, 400);
    QVERIFY(plain.lastIndexOf(QLatin1Char('#')) > 150000);
    QByteArray what = disagreement(plain);
    QVERIFY2(what.isEmpty(), what.left(300).constData());

    // A model-like script with "#!" lines throughout and comments at its end.
    QString script = generateScript({.size = 120000, .comments = false, .untidy = true});
    script += QStringLiteral("Quad 1 2 3 4  # back\r\n\r\n# the end\r\nModelEnd # no break");
    what = disagreement(script);
    QVERIFY2(what.isEmpty(), what.left(300).constData());

    const QString stripped = DeleteComments(script);
    QCOMPARE(stripped.size(), script.size() - qsizetype(strlen("# back# the end# no break")));
    QVERIFY(stripped.endsWith(QLatin1String("Quad 1 2 3 4  \r\n\r\n\r\nModelEnd ")));
}

void TestCleanup::threeInARow()
{
    const QString script = QStringLiteral(
        "# Panel, four metres\r\n"
        "ModelBegin   # start\r\n"
        "\r\n"
        "  ClumpBegin\r\n"
        "    #! RandomUVs\r\n"
        "    Vertex  -.2 .4   0  UV 0 0 # top left\r\n"
        "\tVertex .2 .4 0 #!uv\r\n"
        "    \r\n"
        "    #  only a comment\r\n"
        "    Quad 1 2 3 4\r\n"
        "  ClumpEnd  \r\n"
        "ModelEnd\r\n"
        "\r\n");
    const QString expected = QStringLiteral(
        "ModelBegin\r\n"
        "ClumpBegin\r\n"
        "#! RandomUVs\r\n"
        "Vertex -.2 .4 0 UV 0 0\r\n"
        "\tVertex .2 .4 0 #!uv\r\n"
        "Quad 1 2 3 4\r\n"
        "ClumpEnd\r\n"
        "ModelEnd\r\n");
    QCOMPARE(DeleteEmptyStrings(DeleteSpacers(DeleteComments(script))), expected);
}

void TestCleanup::scripts_data()
{
    addScriptRows(dataScripts());
}

void TestCleanup::scripts()
{
    QFETCH(QString, text);
    QVERIFY(!text.isEmpty());

    const QByteArray what = disagreement(text);
    QVERIFY2(what.isEmpty(), what.left(300).constData());

    const QString cleaned = DeleteEmptyStrings(DeleteSpacers(DeleteComments(text)));
    QCOMPARE(cleaned,
             reference::deleteEmptyStrings(reference::deleteSpacers(reference::deleteComments(text))));
    if (!text.contains(QLatin1String("\r\n")))
        return;

    // With CR LF breaks the result is bare statement lines.
    QVERIFY(!cleaned.isEmpty());
    QVERIFY(!cleaned.contains(QLatin1String("  ")));
    QVERIFY(!cleaned.contains(QLatin1String(" \r\n")));
    QVERIFY(!cleaned.contains(QLatin1String("\r\n ")));
    QVERIFY(!cleaned.contains(QLatin1String("\r\n\r\n")));
    QVERIFY(!cleaned.startsWith(QLatin1String("\r\n")));
    for (qsizetype at = cleaned.indexOf(QLatin1Char('#')); at >= 0;
         at = cleaned.indexOf(QLatin1Char('#'), at + 1))
        QVERIFY2(cleaned.mid(at, 2) == QLatin1String("#!"), qPrintable(cleaned.mid(at, 40)));
    if (text.startsWith(QLatin1String("# Garden sign on a post"))) {
        QCOMPARE(cleaned, QStringLiteral("modelbegin\r\nclumpbegin\r\n"
                                         "color .55 .4 .25\r\nsurface .5 .4 0\r\n"
                                         "texturemodes lit foreshorten\r\ntexture signwood\r\n"
                                         "vertex -.1 .25 0 uv 0 0\r\nvertex .1 .25 0 uv 1 0\r\n"
                                         "vertex .1 .15 0 uv 1 1\r\nvertex -.1 .15 0 uv 0 1\r\n"
                                         "quad 1 2 3 4\r\nquad 4 3 2 1\r\n"
                                         "clumpend\r\nmodelend\r\n"));
    }
}

void TestCleanup::samples_data()
{
    ORVANE_REQUIRE_SAMPLES();
    addScriptRows(sampleScripts());
}

void TestCleanup::samples()
{
    scripts();
}

ORVANE_CORE_TEST_MAIN(TestCleanup)
#include "tst_cleanup.moc"

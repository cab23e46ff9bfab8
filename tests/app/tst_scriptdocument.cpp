// The script document without a window: what opening a script does to it,
// and what saving a variant writes, asks and uses up.
#include <QTemporaryDir>

#include "app/scriptdocument.h"
#include "support/files.h"
#include "support/testmain.h"

using namespace orvane_test;

namespace {
// What a test needs to see of a document.
QStringList stateOf(const ScriptDocument &d)
{
    const CurrentFile &f = d.file();
    return {f.path, f.folder, f.fileName, f.baseName, f.extension, f.prefix, f.number, f.zipFolder, d.textFileName(),
            QString::number(int(d.encoding())), QString::number(d.byteOrderMark()), QString::number(int(d.lineBreak()))};
}
} // namespace

class ScriptDocumentTest : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void opens_data();
    void opens();
    void savesVariants_data();
    void savesVariants();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ScriptDocumentTest::opens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: a folder of that name
    QTest::addColumn<QString>("outcome");  // "opened", "declined" (the text may not go), "passed over", or the error
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("UTF-8 with a mark, LF") << "tree7.rwx" << QByteArray("\xEF\xBB\xBFq # \xC3\xA9\n") << "opened"
                                           << QByteArray("q # \xC3\xA9\n");
    QTest::newRow("UTF-16, CR") << "tree7.rwx" << QByteArray("\xFE\xFF\0q\0\r", 6) << "opened" << QByteArray("q\r");
    QTest::newRow("8-bit") << "tree7.rwx" << QByteArray("# caf\xE9\r\n") << "opened" << QByteArray("# caf\xC3\xA9\r\n");
    QTest::newRow("the text may not go") << "tree7.rwx" << QByteArray("q\n") << "declined" << QByteArray();
    QTest::newRow("no dot in the name") << "tree7" << QByteArray("q\n") << "passed over" << QByteArray();
    QTest::newRow("a folder") << "trees.d" << QByteArray() << "passed over" << QByteArray();
    QTest::newRow("too large") << "tree7.rwx" << QByteArray("large") << "larger than 256 MB" << QByteArray();
}

// A script opens whole or not at all: whatever stops it leaves the document
// as the first script left it. The text may go only once the new one is read.
void ScriptDocumentTest::opens()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    QFETCH(QByteArray, text);
    ScriptDocument document;
    QByteArray loaded;
    QString why;
    QVERIFY(document.load(writeFile(path("house12.rwx"), "a\r\nb\r\n"), {}, &loaded, &why));
    const QStringList before = stateOf(document);
    if (bytes.isNull())
        QVERIFY(QDir(m_dir->path()).mkdir(name));
    else if (bytes == "large")
        QVERIFY(QFile(writeFile(path(name), "")).resize(ScriptDocument::LargestScript + 1));
    else
        writeFile(path(name), bytes);

    int asked = 0;
    const bool opened = document.load(path(name), [&] { return ++asked, outcome != "declined"; }, &loaded, &why);
    QCOMPARE(opened, outcome == "opened");
    QCOMPARE(asked, int(outcome == "opened" || outcome == "declined"));
    if (!opened) {
        const bool told = outcome != "declined" && outcome != "passed over";
        QVERIFY2(told ? why.contains(outcome) : why.isEmpty(), qPrintable(why));
        QCOMPARE(stateOf(document), before);
        return;
    }
    QCOMPARE(loaded, text);
    QCOMPARE(document.file().path, path(name));
    QCOMPARE(document.file().number, QStringLiteral("7"));
    QCOMPARE(document.file().zipFolder, m_dir->path() + "/"); // the first script's folder stays
    QCOMPARE(document.textFileName(), name);
    QCOMPARE(encodeScript(loaded, document.encoding(), document.byteOrderMark()).bytes, bytes);
    QCOMPARE(document.lineBreak(), detectLineBreak(text));
}

void ScriptDocumentTest::savesVariants_data()
{
    QTest::addColumn<QString>("inTheWay"); // at house13.rwx: "", "file" or "folder"
    QTest::addColumn<QString>("typed");    // after the 8-bit script's text
    QTest::addColumn<bool>("answer");      // to every question
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QByteArray>("saved"); // null: nothing written
    QTest::newRow("new variant") << "" << "\u20AC" << true << QStringList() << QByteArray("# caf\xE9\r\n\x80");
    QTest::newRow("replaced") << "file" << "" << true << QStringList({"replace house13.rwx"})
                              << QByteArray("# caf\xE9\r\n");
    QTest::newRow("kept") << "file" << "" << false << QStringList({"replace house13.rwx"}) << QByteArray();
    QTest::newRow("as UTF-8") << "" << "\u2603" << true << QStringList({"utf-8 house13.rwx \u2603"})
                              << QByteArray("# caf\xC3\xA9\r\n\xE2\x98\x83");
    QTest::newRow("not as UTF-8") << "" << "\u2603" << false << QStringList({"utf-8 house13.rwx \u2603"}) << QByteArray();
    QTest::newRow("a folder in the way") << "folder" << "" << true << QStringList() << QByteArray();
}

void ScriptDocumentTest::savesVariants()
{
    QFETCH(QString, inTheWay);
    QFETCH(QString, typed);
    QFETCH(bool, answer);
    QFETCH(QStringList, asked);
    QFETCH(QByteArray, saved);
    ScriptDocument document;
    QByteArray text;
    QVERIFY(document.load(writeFile(path("house12.rwx"), "# caf\xE9\r\n"), {}, &text, nullptr));
    QVERIFY(QFile::setPermissions(path("house12.rwx"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QString variant = path("house13.rwx");
    QCOMPARE(document.nextVariantPath(), variant);
    if (inTheWay == "file") {
        writeFile(variant, "made by hand\r\n");
        QVERIFY(QFile::setPermissions(variant, QFile::ReadOwner | QFile::WriteOwner));
    }
    if (inTheWay == "folder")
        QVERIFY(QDir(m_dir->path()).mkdir("house13.rwx"));
    const QString before = fileState(variant);

    QStringList questions;
    const ScriptDocument::SaveQuestions ask{
        [&](const QString &name) { return questions << "replace " + name, answer; },
        [&](const QString &name, const QStringList &unwritable) {
            return questions << "utf-8 " + name + " " + unwritable.join(' '), answer;
        }};
    QString error;
    const bool done = document.saveVariant(text + typed.toUtf8(), ask, &error);
    QCOMPARE(questions, asked);
    QCOMPARE(done, !saved.isNull());
    QCOMPARE(error.isEmpty(), inTheWay != "folder");
    // The number is used up only by a save.
    QCOMPARE(document.file().number, QString::fromLatin1(done ? "13" : "12"));
    QCOMPARE(document.textFileName(), QString::fromLatin1(done ? "house13.rwx" : "house12.rwx"));
    if (!done) {
        QCOMPARE(fileState(variant), before);
        return;
    }
    QCOMPARE(readFile(variant), saved);
    // A replaced file keeps its permissions; a new one takes the script's.
    QCOMPARE(modeOf(variant), inTheWay == "file" ? 0600 : 0640);
    // Once written as UTF-8, the script stays UTF-8.
    QCOMPARE(document.encoding(), typed == "\u2603" ? ScriptEncoding::Utf8 : ScriptEncoding::Windows1252);
}

ORVANE_CORE_TEST_MAIN(ScriptDocumentTest)
#include "tst_scriptdocument.moc"

// "Save Zip Next" end to end: real files in a temporary folder, archives
// read back with libzip, packing in the background.
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "zip/vbzipbas.h"
#include "support/archive.h"
#include "support/files.h"
#include "support/packinggate.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;

class SaveTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void savesAndPacksTheNextNumber_data();
    void savesAndPacksTheNextNumber();
    void everyClickMakesTheNextVariant();
    void asksBeforeReplacingAFile_data();
    void asksBeforeReplacingAFile();
    void bytesComeBackUnchanged_data();
    void bytesComeBackUnchanged();
    void samplesComeBackUnchanged_data();
    void samplesComeBackUnchanged();
    void cleanUpsKeepEveryLineBreak_data();
    void cleanUpsKeepEveryLineBreak();
    void utf16ScriptsComeBackInTheirOwnBytes_data();
    void utf16ScriptsComeBackInTheirOwnBytes();
    void asksBeforeWritingEightBitScriptsAsUtf8_data();
    void asksBeforeWritingEightBitScriptsAsUtf8();
    void variantTakesTheScriptsMode_data();
    void variantTakesTheScriptsMode();
    void savedTextNeedsNoDiscardQuestion();
    void countsPastDoublePrecision();
    void failedSaveRestoresTheNumber();
    void failedSavesGiveTheSystemsReason_data();
    void failedSavesGiveTheSystemsReason();
    void failedPackIsReported_data();
    void failedPackIsReported();
    void packingRunsInTheBackground();
    void twoPackingsOfOneArchive_data();
    void twoPackingsOfOneArchive();
    void cancelledPackingLeavesTheArchive_data();
    void cancelledPackingLeavesTheArchive();
    void closingWhilePacking_data();
    void closingWhilePacking();
    void progressWindow();

private:
    std::unique_ptr<Form1> openWindow(const QString &fileName, const QByteArray &bytes);
    QString models() const { return m_dir->path() + "/models/"; }
    QString zips() const { return m_dir->path() + "/zips/"; }
    void expectSaved(const QString &fileName, const QByteArray &bytes);

    ScriptedDialogs::Log m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
// A limit on the size of the files this process writes: a write past it
// fails part of the way, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {bytes, m_old.rlim_max};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            qFatal("cannot limit the file size");
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }

private:
    struct rlimit m_old {};
    void (*m_oldSignal)(int) = nullptr;
};

// Each script file as stored and with its LFs made CR LF.
void addScriptRows(const QStringList &paths)
{
    for (const QString &path : paths) {
        const QString name = QFileInfo(path).fileName();
        const QByteArray raw = readFile(path);
        QTest::newRow(qPrintable(name)) << raw;
        QByteArray crlf = raw;
        crlf.replace("\n", "\r\n");
        QTest::newRow(qPrintable(name + " as crlf")) << crlf;
    }
}
} // namespace

namespace {
// The text in UTF-16 after its byte-order mark, in the given byte order.
QByteArray utf16(const QString &text, bool bigEndian)
{
    QByteArray out(bigEndian ? "\xFE\xFF" : "\xFF\xFE");
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        out.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return out;
}
} // namespace

void SaveTest::init()
{
    m_log = {};
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkpath("models");
    QDir(m_dir->path()).mkpath("zips");
    storeZipFolder(zips());
}

std::unique_ptr<Form1> SaveTest::openWindow(const QString &fileName, const QByteArray &bytes)
{
    auto w = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
    dropFiles(*w, {writeFile(models() + fileName, bytes)});
    if (w->currentFile().fileName != fileName)
        qFatal("could not open %s", qPrintable(fileName));
    return w;
}

// The saved script beside the dropped one, and its archive in the zip folder
// with the one entry under its bare name, both holding `bytes`.
void SaveTest::expectSaved(const QString &fileName, const QByteArray &bytes)
{
    QCOMPARE(readFile(models() + fileName), bytes);
    const QString archive = zips() + QFileInfo(fileName).completeBaseName() + ".zip";
    const auto entries = readArchive(archive);
    QVERIFY2(entries.size() == 1, qPrintable(archive));
    QCOMPARE(QString::fromUtf8(entries[0].name), fileName);
    QCOMPARE(entries[0].data, bytes);
    QCOMPARE(entries[0].method, quint16(ZIP_CM_DEFLATE));
}

void SaveTest::savesAndPacksTheNextNumber_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("nameNote"); // by the prefix, after the save
    QTest::newRow("12 -> 13") << "house12.rwx" << "13" << "house13.rwx" << "";
    QTest::newRow("no number -> 1") << "house.rwx" << "1" << "house1.rwx" << "";
    QTest::newRow("007 -> 8") << "house007.rwx" << "8" << "house8.rwx" << "";
    QTest::newRow("9 -> 10") << "house9.rwx" << "10" << "house10.rwx" << "";
    QTest::newRow("empty prefix 123 -> 124") << "123.rwx" << "124" << "124.rwx" << "";
    QTest::newRow("010 -> 11, capital extension") << "tree_b2_010.RWX" << "11" << "tree_b2_11.RWX" << "";
    QTest::newRow("capitals") << "House12.rwx" << "13" << "House13.rwx"
                              << "object name House13 has capitals: worlds need lower case";
    QTest::newRow("22 -> 23 characters") << "abcdefghijklmnopqrstu9.rwx" << "10" << "abcdefghijklmnopqrstu10.rwx"
                                         << "object name abcdefghijklmnopqrstu10 is 23 characters long: worlds need at most 22";
}

void SaveTest::savesAndPacksTheNextNumber()
{
    QFETCH(QString, dropped);
    QFETCH(QString, number);
    QFETCH(QString, saved);
    QFETCH(QString, nameNote);
    const QByteArray bytes("modelbegin\r\nclumpbegin\r\nvertex 0 0 0\r\nclumpend\r\nmodelend\r\n");
    auto w = openWindow(dropped, bytes);
    const QStringList labelsBefore = {w->labels().rwxFolder->text(), w->labels().zipFolder->text(), w->labels().prefix->text()};
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(w->currentFile().number, number);
    expectSaved(saved, bytes);
    QVERIFY(!QFile::exists(zips() + QFileInfo(saved).completeBaseName() + ".ZIP"));
    QCOMPARE(w->caption(), "Orvane.  " + models() + saved);
    QCOMPARE(w->currentFile().path, models() + dropped);
    QCOMPARE(QStringList({w->labels().rwxFolder->text(), w->labels().zipFolder->text(), w->labels().prefix->text()}), labelsBefore);
    QCOMPARE(w->labels().prefix->toolTip(), nameNote);
    QVERIFY(w->saveZipNextButton()->isEnabled());
    QVERIFY(m_log.messages.isEmpty());
    QCOMPARE(readFile(models() + dropped), bytes);
}

void SaveTest::everyClickMakesTheNextVariant()
{
    auto w = openWindow("house12.rwx", "modelbegin\r\nmodelend\r\n");
    ScriptEditor *pane = w->scriptEditor();
    pane->setCursorPosition(1, 0);
    pane->replaceSelection("clumpbegin\r\n");
    QVERIFY(clickSaveZipNext(*w));
    pane->setCursorPosition(2, 0);
    pane->replaceSelection("clumpend\r\n");
    QVERIFY(clickSaveZipNext(*w));
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("house13.rwx", "modelbegin\r\nclumpbegin\r\nmodelend\r\n");
    expectSaved("house14.rwx", "modelbegin\r\nclumpbegin\r\nclumpend\r\nmodelend\r\n");
    expectSaved("house15.rwx", "modelbegin\r\nclumpbegin\r\nclumpend\r\nmodelend\r\n");
    QCOMPARE(w->caption(), "Orvane.  " + models() + "house15.rwx");
    QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList({"house13.zip", "house14.zip", "house15.zip"}));
}

void SaveTest::asksBeforeReplacingAFile_data()
{
    QTest::addColumn<bool>("symlink"); // house13.rwx links to a file outside the folder
    QTest::addColumn<int>("answer");
    QTest::newRow("file, kept") << false << int(QMessageBox::No);
    QTest::newRow("file, replaced") << false << int(QMessageBox::Yes);
    QTest::newRow("link out of the folder, kept") << true << int(QMessageBox::No);
    QTest::newRow("link out of the folder, replaced") << true << int(QMessageBox::Yes);
}

void SaveTest::asksBeforeReplacingAFile()
{
    QFETCH(bool, symlink);
    QFETCH(int, answer);
    const QString existing = symlink ? m_dir->path() + "/elsewhere/notes.rwx" : models() + "house13.rwx";
    writeFile(existing, "made by hand, longer than the new one\r\n");
    QVERIFY(QFile::setPermissions(existing, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    if (symlink)
        QVERIFY(QFile::link(existing, models() + "house13.rwx"));
    const QByteArray hashBefore = sha256Of(existing);
    auto w = openWindow("house12.rwx", "first\r\n");
    QVERIFY(QFile::setPermissions(models() + "house12.rwx", QFile::ReadOwner | QFile::WriteOwner));
    const QString caption = w->caption();

    m_log.buttons = {QMessageBox::StandardButton(answer)};
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(m_log.messages.size(), 1);
    const MessageBoxRequest q = m_log.messages[0];
    QCOMPARE(q.text, QStringLiteral("house13.rwx already exists. Replace it?"));
    QCOMPARE(q.title, QStringLiteral("Orvane."));
    QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(q.defaultButton, QMessageBox::No);
    // A replaced file keeps its own permissions, not the dropped script's.
    QCOMPARE(modeOf(existing), 0640);
    if (answer == QMessageBox::No) {
        QCOMPARE(sha256Of(existing), hashBefore);
        QCOMPARE(w->currentFile().number, QStringLiteral("12"));
        QCOMPARE(w->caption(), caption);
        QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList());
        // The number was not used up: the next click asks about the same name.
        QVERIFY(clickSaveZipNext(*w));
        QCOMPARE(m_log.messages.size(), 2);
        QCOMPARE(m_log.messages[1].text, q.text);
    } else {
        QCOMPARE(readFile(existing), QByteArray("first\r\n"));
        expectSaved("house13.rwx", "first\r\n");
        QCOMPARE(w->currentFile().number, QStringLiteral("13"));
    }
}

void SaveTest::bytesComeBackUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    // tests/data holds CR LF, LF and CR-only scripts, a byte-order mark, no
    // final line break and 8-bit comments in the Windows code page.
    QTest::newRow("lone cr inside lf") << QByteArray("a\rb\nc\n");
    QTest::newRow("empty") << QByteArray();
    addScriptRows(dataScripts());
}

void SaveTest::bytesComeBackUnchanged()
{
    QFETCH(QByteArray, bytes);
    auto w = openWindow("variant4.rwx", bytes);
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("variant5.rwx", bytes);
}

void SaveTest::samplesComeBackUnchanged_data()
{
    ORVANE_REQUIRE_SAMPLES();
    QTest::addColumn<QByteArray>("bytes");
    addScriptRows(sampleScripts());
}

void SaveTest::samplesComeBackUnchanged()
{
    bytesComeBackUnchanged();
}

void SaveTest::cleanUpsKeepEveryLineBreak_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // as saved
    const QStringList dc = {"mnuDC"}, ds = {"mnuds"}, des = {"mnuDES"};
    // The same seven lines with their breaks mixed four ways: a comment after
    // blanks, one after a statement, an empty line, an indented statement, a
    // comment alone on its line.
    QTest::newRow("CR LF and LF: comments") << dc
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\n\r\n  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\r\nModelEnd\r\n")
        << QByteArray("ModelBegin  \r\nVertex 0 0 0 \n\r\n  Vertex 1 0 0\r\n\nVertex 0 1 0\r\nModelEnd\r\n");
    QTest::newRow("CR LF and LF: spacers") << ds
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\n\r\n  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\r\nModelEnd\r\n")
        << QByteArray("ModelBegin # start\r\nVertex 0 0 0 # top\n\r\nVertex 1 0 0\r\n# only a comment\nVertex 0 1 0\r\nModelEnd\r\n");
    QTest::newRow("CR LF and LF: empty lines") << des
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\n\r\n  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\r\nModelEnd\r\n")
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\n  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\r\nModelEnd\r\n");
    // A lone CR left right before an LF becomes an LF, or the two would be one break.
    QTest::newRow("LF and lone CR: comments") << dc
        << QByteArray("ModelBegin  # start\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\nVertex 0 1 0\nModelEnd\n")
        << QByteArray("ModelBegin  \nVertex 0 0 0 \r\r  Vertex 1 0 0\n\nVertex 0 1 0\nModelEnd\n");
    QTest::newRow("LF and lone CR: spacers") << ds
        << QByteArray("ModelBegin  # start\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\nVertex 0 1 0\nModelEnd\n")
        << QByteArray("ModelBegin # start\nVertex 0 0 0 # top\r\rVertex 1 0 0\r# only a comment\nVertex 0 1 0\nModelEnd\n");
    QTest::newRow("LF and lone CR: empty lines") << des
        << QByteArray("ModelBegin  # start\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\nVertex 0 1 0\nModelEnd\n")
        << QByteArray("ModelBegin  # start\nVertex 0 0 0 # top\r  Vertex 1 0 0\r# only a comment\nVertex 0 1 0\nModelEnd\n");
    QTest::newRow("CR, the last line LF: comments") << dc
        << QByteArray("ModelBegin  # start\rVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\rVertex 0 1 0\rModelEnd\n")
        << QByteArray("ModelBegin  \rVertex 0 0 0 \r\r  Vertex 1 0 0\r\rVertex 0 1 0\rModelEnd\n");
    QTest::newRow("CR, the last line LF: spacers") << ds
        << QByteArray("ModelBegin  # start\rVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\rVertex 0 1 0\rModelEnd\n")
        << QByteArray("ModelBegin # start\rVertex 0 0 0 # top\r\rVertex 1 0 0\r# only a comment\rVertex 0 1 0\rModelEnd\n");
    QTest::newRow("CR, the last line LF: empty lines") << des
        << QByteArray("ModelBegin  # start\rVertex 0 0 0 # top\r\r  Vertex 1 0 0\r# only a comment\rVertex 0 1 0\rModelEnd\n")
        << QByteArray("ModelBegin  # start\rVertex 0 0 0 # top\r  Vertex 1 0 0\r# only a comment\rVertex 0 1 0\rModelEnd\n");
    QTest::newRow("all three: comments") << dc
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\rModelEnd\r\n")
        << QByteArray("ModelBegin  \r\nVertex 0 0 0 \r\r  Vertex 1 0 0\r\n\nVertex 0 1 0\rModelEnd\r\n");
    QTest::newRow("all three: spacers") << ds
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\rModelEnd\r\n")
        << QByteArray("ModelBegin # start\r\nVertex 0 0 0 # top\r\rVertex 1 0 0\r\n# only a comment\nVertex 0 1 0\rModelEnd\r\n");
    QTest::newRow("all three: empty lines") << des
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\r\r  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\rModelEnd\r\n")
        << QByteArray("ModelBegin  # start\r\nVertex 0 0 0 # top\r  Vertex 1 0 0\r\n# only a comment\nVertex 0 1 0\rModelEnd\r\n");
    QTest::newRow("LF: one after the other") << QStringList({"mnuDC", "mnuds", "mnuDES"})
        << QByteArray("a # x\n\n\nb  c\n") << QByteArray("a\nb c\n");
    QTest::newRow("LF: blanks after lone CRs") << ds << QByteArray("a\r\r \nb\rc\n") << QByteArray("a\n\n\nb\rc\n");
}

// What a clean-up keeps is saved with the line breaks the pane showed.
void SaveTest::cleanUpsKeepEveryLineBreak()
{
    QFETCH(QStringList, commands);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    auto w = openWindow("mixed1.rwx", before);
    for (const QString &command : commands)
        w->action(command)->trigger();
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("mixed2.rwx", after);
    QVERIFY(m_log.messages.isEmpty());
}

void SaveTest::utf16ScriptsComeBackInTheirOwnBytes_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("shown"); // the pane's text
    QTest::addColumn<QString>("typed"); // at the start of the text
    QTest::addColumn<QByteArray>("saved");
    const QString text = QString::fromUtf8("ModelBegin\r\nVertex 0 0 0 # caf\u00E9 \U0001F642\r\nModelEnd\r\n");
    const QString typed = QString::fromUtf8("Quad 1 2 3 4 # \u2603\r\n");
    for (const bool bigEndian : {false, true}) {
        const QByteArray order = bigEndian ? "big-endian" : "little-endian";
        QTest::newRow(order + ", unedited") << utf16(text, bigEndian) << text << QString() << utf16(text, bigEndian);
        QTest::newRow(order + ", typed") << utf16(text, bigEndian) << text << typed << utf16(typed + text, bigEndian);
    }
    // Not UTF-16 after all: every byte is a character of its own and comes back as it was.
    const QByteArray lone("\xFF\xFE\0\xD8" "a\0", 6);
    QTest::newRow("unpaired surrogate, typed") << lone << QString::fromUtf8("\u00FF\u00FE\0\u00D8" "a\0", 9) << "x"
                                                << "x" + lone;
    const QByteArray odd("\xFF\xFE" "a\0b", 5);
    QTest::newRow("odd length, unedited") << odd << QString::fromUtf8("\u00FF\u00FE" "a\0b", 7) << QString() << odd;
}

void SaveTest::utf16ScriptsComeBackInTheirOwnBytes()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, shown);
    QFETCH(QString, typed);
    QFETCH(QByteArray, saved);
    auto w = openWindow("wide1.rwx", file);
    QCOMPARE(w->scriptEditor()->wholeText(), shown);
    if (!typed.isEmpty())
        w->scriptEditor()->replaceSelection(typed);
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("wide2.rwx", saved);
    QVERIFY(m_log.messages.isEmpty());
}

void SaveTest::asksBeforeWritingEightBitScriptsAsUtf8_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("question"); // empty when none is asked
    QTest::addColumn<int>("answer");
    QTest::addColumn<QByteArray>("saved"); // null when nothing is written
    QTest::newRow("code page characters stay 8-bit") << QString::fromUtf8("\u201C5 \u20AC\u201D") << QString() << 0
                                                     << QByteArray("# caf\xE9\r\n\x93" "5 \x80\x94");
    const QString question = QString::fromUtf8("euro2.rwx: \u2603, \u03A9, U+200B cannot be written in this file's "
                                               "8-bit encoding. Save it as UTF-8?");
    const QString typed = QString::fromUtf8("\u2603 \u03A9\u2603\u200B");
    QTest::newRow("UTF-8 when the user agrees") << typed << question << int(QMessageBox::Yes)
                                                << QByteArray("# caf\xC3\xA9\r\n") + typed.toUtf8();
    QTest::newRow("nothing written when not") << typed << question << int(QMessageBox::No) << QByteArray();
}

void SaveTest::asksBeforeWritingEightBitScriptsAsUtf8()
{
    QFETCH(QString, typed);
    QFETCH(QString, question);
    QFETCH(int, answer);
    QFETCH(QByteArray, saved);
    auto w = openWindow("euro1.rwx", "# caf\xE9\r\n");
    w->scriptEditor()->setCursorPosition(1, 0);
    w->scriptEditor()->replaceSelection(typed);
    m_log.buttons = {QMessageBox::StandardButton(answer)};
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(m_log.messages.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        QCOMPARE(m_log.messages[0].text, question);
        QCOMPARE(m_log.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(m_log.messages[0].defaultButton, QMessageBox::No);
    }
    if (saved.isNull()) {
        QVERIFY(!QFile::exists(models() + "euro2.rwx"));
        QCOMPARE(w->currentFile().number, QStringLiteral("1"));
        QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList());
        return;
    }
    expectSaved("euro2.rwx", saved);
    // Once written as UTF-8 the script stays UTF-8 without another question.
    const int asked = int(m_log.messages.size());
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(m_log.messages.size(), asked);
    expectSaved("euro3.rwx", saved);
}

void SaveTest::variantTakesTheScriptsMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("private") << 0600;
    QTest::newRow("group may read") << 0640;
    QTest::newRow("executable") << 0755;
    QTest::newRow("read-only") << 0444;
}

// The new variant and its new archive.
void SaveTest::variantTakesTheScriptsMode()
{
    QFETCH(int, mode);
    auto w = openWindow("house12.rwx", "x\r\n");
    QCOMPARE(::chmod(QFile::encodeName(models() + "house12.rwx").constData(), mode_t(mode)), 0);
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("house13.rwx", "x\r\n");
    QCOMPARE(modeOf(models() + "house13.rwx"), mode);
    QCOMPARE(modeOf(models() + "house12.rwx"), mode);
    // Its new archive takes no permission the script lacks.
    const mode_t mask = umask(022);
    umask(mask);
    QCOMPARE(modeOf(zips() + "house13.zip"), int(mode & 0666 & ~mask));
}

void SaveTest::savedTextNeedsNoDiscardQuestion()
{
    auto w = openWindow("house12.rwx", "x\r\n");
    const QString other = writeFile(models() + "tree7.rwx", "y\r\n");
    w->scriptEditor()->replaceWholeText("edited\r\n");
    QVERIFY(clickSaveZipNext(*w));
    dropFiles(*w, {other});
    QVERIFY(m_log.messages.isEmpty());
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), QByteArray("y\r\n"));

    // Edits after a save are changes to the file saved.
    w->scriptEditor()->replaceWholeText("edited\r\n");
    QVERIFY(clickSaveZipNext(*w));
    w->scriptEditor()->replaceWholeText("edited again\r\n");
    m_log.buttons = {QMessageBox::No};
    dropFiles(*w, {models() + "house12.rwx"});
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].text, QStringLiteral("Discard the changes to tree8.rwx?"));
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), QByteArray("edited again\r\n"));
    QCOMPARE(w->currentFile().fileName, QStringLiteral("tree7.rwx"));
}

void SaveTest::countsPastDoublePrecision()
{
    auto w = openWindow("v99999999999999999999.rwx", "x");
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(w->currentFile().number, QStringLiteral("100000000000000000000"));
    expectSaved("v100000000000000000000.rwx", "x");
}

void SaveTest::failedSaveRestoresTheNumber()
{
    QDir(models()).mkdir("sub");
    auto w = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
    dropFiles(*w, {writeFile(models() + "sub/house12.rwx", "x")});
    const QString caption = w->caption();
    // The folder is replaced by a regular file: no file can be written there.
    QDir(models() + "sub").removeRecursively();
    writeFile(models() + "sub", "not a folder");

    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QVERIFY2(m_log.messages[0].text.contains(models() + "sub/house13.rwx"), qPrintable(m_log.messages[0].text));
    QCOMPARE(m_log.messages[0].icon, QMessageBox::Critical);
    QCOMPARE(w->currentFile().number, QStringLiteral("12"));
    QCOMPARE(w->caption(), caption);
    QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList());

    // Once the folder is back, the retry writes the same name.
    QFile::remove(models() + "sub");
    QDir(models()).mkdir("sub");
    QVERIFY(clickSaveZipNext(*w));
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(readFile(models() + "sub/house13.rwx"), QByteArray("x"));
}

void SaveTest::failedSavesGiveTheSystemsReason_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("reason"); // the system's words, in the language the user reads
    // A file-size limit fails a write part of the way, as a full disk does.
    QTest::newRow("full disk") << "house12.rwx" << qt_error_string(EFBIG);
    QTest::newRow("name too long") << QString(250, u'a') + "9.rwx" << qt_error_string(ENAMETOOLONG);
}

void SaveTest::failedSavesGiveTheSystemsReason()
{
    QFETCH(QString, dropped);
    QFETCH(QString, reason);
    auto w = openWindow(dropped, QByteArray(200 * 1024, 'x'));
    const QStringList filesBefore = QDir(models()).entryList(QDir::Files | QDir::Hidden);
    const CurrentFile before = w->currentFile();
    const QString savePath = models() + before.prefix + nextNumber(before.number) + ".rwx";
    {
        std::optional<FileSizeLimit> fullDisk;
        if (reason == qt_error_string(EFBIG))
            fullDisk.emplace(64 * 1024);
        QVERIFY(clickSaveZipNext(*w));
    }
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QVERIFY2(m_log.messages[0].text.contains(savePath) && m_log.messages[0].text.contains(reason),
             qPrintable(m_log.messages[0].text));
    QCOMPARE(w->currentFile().number, before.number);
    QCOMPARE(QDir(models()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList());
}

void SaveTest::failedPackIsReported_data()
{
    QTest::addColumn<QString>("zipFolder");
    QTest::addColumn<QString>("script");   // dropped in models/
    QTest::addColumn<QString>("inTheWay"); // what is at the archive's path before
    QTest::addColumn<QString>("reason");   // part of the message
    QTest::newRow("missing zip folder") << "nozips/" << "house12.rwx" << "" << "does not exist";
    QTest::newRow("zip folder under a regular file") << "models/house12.rwx/" << "house12.rwx" << ""
                                                     << "house12.rwx is not a folder";
    QTest::newRow("not a zip archive in the way") << "zips/" << "house12.rwx" << "notes" << "not a zip archive";
    QTest::newRow("a folder in the archive's place") << "zips/" << "house12.rwx" << "folder"
                                                     << "a folder has the archive's name";
    QTest::newRow("read-only archive") << "zips/" << "house12.rwx" << "read-only" << "the archive is read-only";
    QTest::newRow("zip folder made read-only") << "zips/" << "house12.rwx" << "read-only folder"
                                               << "zips is read-only";
    QTest::newRow("data before the archive") << "zips/" << "house12.rwx" << "stub"
                                             << "other data before its zip archive";
    // A file-size limit fails a write part of the way, as a full disk does.
    QTest::newRow("full disk") << "zips/" << "house12.rwx" << "full disk"
                               << "the archive could not be written: " + qt_error_string(EFBIG);
    QTest::newRow("archive named as the script") << "models/" << "notes12.zip" << ""
                                                 << "the archive would be the script itself";
}

// The script is saved, whatever becomes of its archive; what was at the
// archive's path stays as it was, and the message names it and says why.
void SaveTest::failedPackIsReported()
{
    QFETCH(QString, zipFolder);
    QFETCH(QString, script);
    QFETCH(QString, inTheWay);
    QFETCH(QString, reason);
    storeZipFolder(m_dir->path() + "/" + zipFolder);
    const QString saved = QString(script).replace("12", "13");
    const QString archive = m_dir->path() + "/" + zipFolder + QFileInfo(saved).completeBaseName() + ".zip";
    if (inTheWay == "notes")
        writeFile(archive, "these are my notes, not an archive");
    if (inTheWay == "folder")
        QDir().mkpath(archive);
    if (inTheWay == "read-only" || inTheWay == "stub")
        makeArchive(archive, {{"house13.rwx", "an earlier variant"}});
    if (inTheWay == "read-only")
        QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    if (inTheWay == "stub")
        writeFile(archive, withStub(readFile(archive), "#!/bin/sh\nexec unzip \"$0\"\n"));
    if (inTheWay == "full disk") {
        QByteArray texture(256 * 1024, Qt::Uninitialized);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(texture.data()), texture.size() / 4);
        makeArchive(archive, {{"house13.rwx", "an earlier variant"}, {"wood.bmp", texture}});
    }
    const QString before = fileState(archive);
    auto w = openWindow(script, "x\r\n");
    // Made read-only after it was chosen: no write permission bit, which the
    // system would let root write into all the same.
    if (inTheWay == "read-only folder")
        QVERIFY(QFile::setPermissions(zips(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
    const auto writable = qScopeGuard([this] { QFile::setPermissions(zips(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    {
        std::optional<FileSizeLimit> fullDisk;
        if (inTheWay == "full disk")
            fullDisk.emplace(128 * 1024);
        QVERIFY(clickSaveZipNext(*w));
    }
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QCOMPARE(m_log.messages[0].icon, QMessageBox::Critical);
    QVERIFY2(m_log.messages[0].text.startsWith("Could not pack " + archive + "\n"), qPrintable(m_log.messages[0].text));
    QVERIFY2(m_log.messages[0].text.contains(reason), qPrintable(m_log.messages[0].text));
    QCOMPARE(readFile(models() + saved), QByteArray("x\r\n"));
    QCOMPARE(w->caption(), "Orvane.  " + models() + saved);
    QCOMPARE(w->currentFile().number, QStringLiteral("13"));
    if (archive != models() + saved)
        QCOMPARE(fileState(archive), before);
    QCOMPARE(QDir(zips()).entryList(QDir::Files | QDir::Hidden).filter(".zip."), QStringList());
}

// The window works on while an archive is written: clicks and drops
// meanwhile do nothing, then or later, and a progress window shows once the
// packing has taken half a second.
void SaveTest::packingRunsInTheBackground()
{
    auto w = openWindow("house12.rwx", "x");
    const QString other = writeFile(models() + "tree7.rwx", "other");
    auto gate = std::make_unique<PackingGate>();
    QSignalSpy finished(w.get(), &Form1::packingFinished);
    w->saveZipNextButton()->click();
    QVERIFY(w->isPacking());
    QTRY_COMPARE(m_log.progressOpen, 1);
    QCOMPARE(m_log.progress.size(), 1);
    QCOMPARE(m_log.progress[0].text, QStringLiteral("Packing house13.zip\u2026"));
    QCOMPARE(m_log.progress[0].title, QStringLiteral("Orvane."));
    for (int i = 0; i < 3; ++i)
        w->saveZipNextButton()->click();
    dropFiles(*w, {other});
    w->scriptEditor()->replaceWholeText("edited while packing");
    gate->release();
    QVERIFY(finished.wait());
    gate.reset();
    QCoreApplication::processEvents();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(m_log.progressOpen, 0);
    QCOMPARE(m_log.percents.value(m_log.percents.size() - 1), 100);
    QVERIFY(std::is_sorted(m_log.percents.begin(), m_log.percents.end()));
    QVERIFY(m_log.messages.isEmpty());
    expectSaved("house13.rwx", "x");
    QCOMPARE(QDir(models()).entryList({"house*"}), QStringList({"house12.rwx", "house13.rwx"}));
    QCOMPARE(QDir(zips()).entryList(QDir::Files), QStringList({"house13.zip"}));
    QCOMPARE(w->currentFile().path, models() + "house12.rwx");
    QCOMPARE(w->currentFile().number, QStringLiteral("13"));
    QCOMPARE(w->caption(), "Orvane.  " + models() + "house13.rwx");
    // The next click is a new one.
    QVERIFY(clickSaveZipNext(*w));
    expectSaved("house14.rwx", "edited while packing");
}

void SaveTest::twoPackingsOfOneArchive_data()
{
    QTest::addColumn<bool>("otherProgram"); // or another window of this one
    QTest::newRow("another window") << false;
    QTest::newRow("another program") << true;
}

// Two packings of the same archive name at once: the later one never
// replaces what the other wrote meanwhile, and says so.
void SaveTest::twoPackingsOfOneArchive()
{
    QFETCH(bool, otherProgram);
    const QString archive = zips() + "p2.zip";
    auto w = openWindow("p1.rwx", "from this window");
    auto gate = std::make_unique<PackingGate>();
    QSignalSpy finished(w.get(), &Form1::packingFinished);
    w->saveZipNextButton()->click();
    QTRY_VERIFY(gate->holding()); // the archive looked at, nothing written yet
    if (otherProgram) {
        makeArchive(archive, {{"p2.rwx", "from another program"}});
    } else {
        ScriptedDialogs::Log otherLog;
        Form1 other(std::make_unique<ScriptedDialogs>(&otherLog));
        dropFiles(other, {writeFile(models() + "other/p1.rwx", "from another window")});
        QVERIFY(clickSaveZipNext(other));
        QCOMPARE(otherLog.messages.size(), 1);
        QCOMPARE(otherLog.messages[0].text, "Could not pack " + archive + "\nanother archive is still being written");
    }
    const QString between = fileState(archive);
    gate->release();
    QVERIFY(finished.wait());
    gate.reset();
    QCOMPARE(QDir(zips()).entryList(QDir::Files | QDir::Hidden), QStringList{"p2.zip"});
    if (otherProgram) {
        QCOMPARE(m_log.messages.size(), 1);
        QCOMPARE(m_log.messages[0].text, "Could not pack " + archive
                                             + "\nanother program changed the archive while it was being packed; it "
                                               "was left as that program made it");
        QCOMPARE(fileState(archive), between);
    } else {
        QVERIFY(m_log.messages.isEmpty());
        expectSaved("p2.rwx", "from this window");
    }
}

void SaveTest::cancelledPackingLeavesTheArchive_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::newRow("an earlier archive") << true;
    QTest::newRow("no archive yet") << false;
}

// Cancel in the progress window: the archive's path stays as it was, bytes
// and mode, the script stays saved, and one box says so.
void SaveTest::cancelledPackingLeavesTheArchive()
{
    QFETCH(bool, earlier);
    const QString archive = zips() + "house13.zip";
    if (earlier) {
        makeArchive(archive, {{"house13.rwx", "an earlier variant"}, {"notes.txt", "kept"}});
        QVERIFY(QFile::setPermissions(archive, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    }
    const QString before = fileState(archive);
    auto w = openWindow("house12.rwx", "x");
    auto gate = std::make_unique<PackingGate>();
    QSignalSpy finished(w.get(), &Form1::packingFinished);
    w->saveZipNextButton()->click();
    QTRY_VERIFY(m_log.cancelProgress);
    m_log.cancelProgress();
    gate->release();
    QVERIFY(finished.wait());
    gate.reset();
    QCOMPARE(fileState(archive), before);
    QCOMPARE(QDir(zips()).entryList(QDir::Files | QDir::Hidden), earlier ? QStringList{"house13.zip"} : QStringList());
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QCOMPARE(m_log.messages[0].text, "Packing " + archive + " was cancelled. "
                                         + (earlier ? "The earlier archive is unchanged." : "No archive was written."));
    QCOMPARE(m_log.progressOpen, 0);
    QCOMPARE(readFile(models() + "house13.rwx"), QByteArray("x"));
}

void SaveTest::closingWhilePacking_data()
{
    QTest::addColumn<bool>("cancel"); // the answer to the packing question
    QTest::addColumn<bool>("exit");   // the answer to "Exit?"
    QTest::newRow("wait for it, exit") << false << true;
    QTest::newRow("wait for it, stay") << false << false;
    QTest::newRow("cancel it, exit") << true << true;
}

// Closing while an archive is packed first names it and offers to let the
// packing finish (the default) or to cancel it; "Exit?" follows its end.
void SaveTest::closingWhilePacking()
{
    QFETCH(bool, cancel);
    QFETCH(bool, exit);
    const QString archive = zips() + "house13.zip";
    // Closed, it goes, as the program's one window ends the program.
    QPointer<Form1> w = openWindow("house12.rwx", "x").release();
    w->setAttribute(Qt::WA_DeleteOnClose);
    const auto gone = qScopeGuard([&w] { delete w.data(); });
    auto gate = std::make_unique<PackingGate>();
    QSignalSpy finished(w.data(), &Form1::packingFinished);
    w->saveZipNextButton()->click();
    QTRY_VERIFY(gate->holding());
    const auto answer = [](bool yes) { return yes ? QMessageBox::Yes : QMessageBox::No; };
    m_log.buttons = {answer(cancel), QMessageBox::Ok, answer(exit)};
    if (!cancel)
        m_log.buttons.erase(m_log.buttons.begin() + 1); // no box about a cancel
    QVERIFY(!w->close());
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].text, archive + " is still being packed.\nCancel the packing? No lets it finish first.");
    QCOMPARE(m_log.messages[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(m_log.messages[0].defaultButton, QMessageBox::No);
    gate->release();
    QVERIFY(finished.wait());
    gate.reset();
    QTRY_COMPARE(m_log.messages.size(), cancel ? 3 : 2);
    QCOMPARE(m_log.messages.last().text, QStringLiteral("Exit?"));
    if (cancel)
        QCOMPARE(m_log.messages[1].text, "Packing " + archive + " was cancelled. No archive was written.");
    QTRY_COMPARE(w.isNull(), exit);
    if (cancel)
        QCOMPARE(fileState(archive), QStringLiteral("absent"));
    else
        expectSaved("house13.rwx", "x");
}

// The real progress window: its text, its percent, and Cancel.
void SaveTest::progressWindow()
{
    QWidget window;
    WidgetDialogs dialogs;
    int cancels = 0;
    auto view = dialogs.showProgress(&window, {QStringLiteral("Packing house13.zip\u2026"), QStringLiteral("Orvane.")},
                                     [&cancels] { ++cancels; });
    auto *dialog = window.findChild<QProgressDialog *>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QCOMPARE(dialog->labelText(), QStringLiteral("Packing house13.zip\u2026"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Orvane."));
    view->setPercent(40);
    QCOMPARE(dialog->value(), 40);
    dialog->findChild<QPushButton *>()->click();
    QCOMPARE(cancels, 1);
    view.reset();
    QVERIFY(!window.findChild<QProgressDialog *>());
}

ORVANE_GUI_TEST_MAIN(SaveTest)
#include "tst_save.moc"

// "Save Zip Next" end to end: real files in a temporary folder, archives
// read back with libzip.
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/form1.h"
#include "app/scripteditor.h"
#include "support/archive.h"
#include "support/files.h"
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
    void clickAndDropDuringPackingAreIgnored();

private:
    std::unique_ptr<Form1> openWindow(const QString &fileName, const QByteArray &bytes);
    QString models() const { return m_dir->path() + "/models/"; }
    QString zips() const { return m_dir->path() + "/zips/"; }
    void expectSaved(const QString &fileName, const QByteArray &bytes);

    ScriptedDialogs::Log m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
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
    QTest::newRow("12 -> 13") << "house12.rwx" << "13" << "house13.rwx";
    QTest::newRow("no number -> 1") << "house.rwx" << "1" << "house1.rwx";
    QTest::newRow("007 -> 8") << "house007.rwx" << "8" << "house8.rwx";
    QTest::newRow("9 -> 10") << "house9.rwx" << "10" << "house10.rwx";
    QTest::newRow("empty prefix 123 -> 124") << "123.rwx" << "124" << "124.rwx";
    QTest::newRow("010 -> 11, capital extension") << "tree_b2_010.RWX" << "11" << "tree_b2_11.RWX";
}

void SaveTest::savesAndPacksTheNextNumber()
{
    QFETCH(QString, dropped);
    QFETCH(QString, number);
    QFETCH(QString, saved);
    const QByteArray bytes("modelbegin\r\nclumpbegin\r\nvertex 0 0 0\r\nclumpend\r\nmodelend\r\n");
    auto w = openWindow(dropped, bytes);
    const QStringList labelsBefore = {w->labels().rwxFolder->text(), w->labels().zipFolder->text(), w->labels().prefix->text()};
    w->saveZipNextButton()->click();
    QCOMPARE(w->currentFile().number, number);
    expectSaved(saved, bytes);
    QVERIFY(!QFile::exists(zips() + QFileInfo(saved).completeBaseName() + ".ZIP"));
    QCOMPARE(w->caption(), "Orvane.  " + models() + saved);
    QCOMPARE(w->currentFile().path, models() + dropped);
    QCOMPARE(QStringList({w->labels().rwxFolder->text(), w->labels().zipFolder->text(), w->labels().prefix->text()}), labelsBefore);
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
    w->saveZipNextButton()->click();
    pane->setCursorPosition(2, 0);
    pane->replaceSelection("clumpend\r\n");
    w->saveZipNextButton()->click();
    w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
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
        w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
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

void SaveTest::variantTakesTheScriptsMode()
{
    QFETCH(int, mode);
    auto w = openWindow("house12.rwx", "x\r\n");
    QCOMPARE(::chmod(QFile::encodeName(models() + "house12.rwx").constData(), mode_t(mode)), 0);
    w->saveZipNextButton()->click();
    expectSaved("house13.rwx", "x\r\n");
    QCOMPARE(modeOf(models() + "house13.rwx"), mode);
    QCOMPARE(modeOf(models() + "house12.rwx"), mode);
}

void SaveTest::savedTextNeedsNoDiscardQuestion()
{
    auto w = openWindow("house12.rwx", "x\r\n");
    const QString other = writeFile(models() + "tree7.rwx", "y\r\n");
    w->scriptEditor()->replaceWholeText("edited\r\n");
    w->saveZipNextButton()->click();
    dropFiles(*w, {other});
    QVERIFY(m_log.messages.isEmpty());
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), QByteArray("y\r\n"));

    // Edits after a save are changes to the file saved.
    w->scriptEditor()->replaceWholeText("edited\r\n");
    w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
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

    w->saveZipNextButton()->click();
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
    w->saveZipNextButton()->click();
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(readFile(models() + "sub/house13.rwx"), QByteArray("x"));
}

void SaveTest::failedSavesGiveTheSystemsReason_data()
{
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<QString>("reason");
    // A file-size limit fails a write part of the way, as a full disk does.
    QTest::newRow("full disk") << "house12.rwx" << "File too large";
    QTest::newRow("name too long") << QString(250, u'a') + "9.rwx" << "File name too long";
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
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] {
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldSignal);
        });
        if (reason == "File too large") {
            const struct rlimit small = {64 * 1024, old.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        w->saveZipNextButton()->click();
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
    QTest::addColumn<QByteArray>("inTheWay"); // bytes already at the archive's path, if any
    QTest::newRow("missing zip folder") << "nozips/" << QByteArray();
    QTest::newRow("zip folder under a regular file") << "models/house12.rwx/" << QByteArray();
    QTest::newRow("not a zip archive in the way") << "zips/" << QByteArray("these are my notes, not an archive");
}

void SaveTest::failedPackIsReported()
{
    QFETCH(QString, zipFolder);
    QFETCH(QByteArray, inTheWay);
    storeZipFolder(m_dir->path() + "/" + zipFolder);
    const QString archive = m_dir->path() + "/" + zipFolder + "house13.zip";
    if (!inTheWay.isNull())
        writeFile(archive, inTheWay);
    auto w = openWindow("house12.rwx", "x\r\n");
    w->saveZipNextButton()->click();
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QVERIFY2(m_log.messages[0].text.contains(archive), qPrintable(m_log.messages[0].text));
    QCOMPARE(readFile(models() + "house13.rwx"), QByteArray("x\r\n"));
    QCOMPARE(w->caption(), "Orvane.  " + models() + "house13.rwx");
    QCOMPARE(w->currentFile().number, QStringLiteral("13"));
    if (inTheWay.isNull())
        QVERIFY(!QFile::exists(archive));
    else
        QCOMPARE(readFile(archive), inTheWay);
}

void SaveTest::clickAndDropDuringPackingAreIgnored()
{
    auto w = openWindow("house12.rwx", "x");
    const QString other = writeFile(models() + "tree7.rwx", "other");
    bool clickedWhilePacking = false;
    bool droppedWhilePacking = false;
    bool outerRunning = false;
    connect(w->saveZipNextButton(), &QPushButton::clicked, this, [&] { clickedWhilePacking = clickedWhilePacking || outerRunning; });
    // The click and the drop wait in the event queue, which the zip library's
    // progress report empties while the archive is being written.
    QMetaObject::invokeMethod(w->saveZipNextButton(), "click", Qt::QueuedConnection);
    QMetaObject::invokeMethod(this, [&] {
        droppedWhilePacking = outerRunning;
        dropFiles(*w, {other});
    }, Qt::QueuedConnection);
    outerRunning = true;
    w->saveNextAndPack();
    outerRunning = false;
    QVERIFY(clickedWhilePacking);
    QVERIFY(droppedWhilePacking);
    expectSaved("house13.rwx", "x");
    QVERIFY(!QFile::exists(models() + "house14.rwx"));
    QCOMPARE(w->currentFile().number, QStringLiteral("13"));
    QCOMPARE(w->currentFile().path, models() + "house12.rwx");
    QCOMPARE(w->caption(), "Orvane.  " + models() + "house13.rwx");
}

ORVANE_GUI_TEST_MAIN(SaveTest)
#include "tst_save.moc"

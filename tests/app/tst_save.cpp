// "Save Zip Next" end to end: real files in a temporary folder, archives
// read back with libzip.
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

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
    void overwritesAnExistingNextFile();
    void bytesComeBackUnchanged_data();
    void bytesComeBackUnchanged();
    void samplesComeBackUnchanged_data();
    void samplesComeBackUnchanged();
    void typedCharactersOutsideTheCodePageAreKept();
    void countsPastDoublePrecision();
    void failedSaveRestoresTheNumber();
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

void SaveTest::overwritesAnExistingNextFile()
{
    writeFile(models() + "house13.rwx", "an older variant, longer than the new one\r\n");
    auto w = openWindow("house12.rwx", "first\r\n");
    w->saveZipNextButton()->click();
    expectSaved("house13.rwx", "first\r\n");
    // The same script dropped again makes the same next name: file and archive entry are replaced.
    dropFiles(*w, {models() + "house12.rwx"});
    w->scriptEditor()->replaceWholeText("second\r\n");
    w->saveZipNextButton()->click();
    expectSaved("house13.rwx", "second\r\n");
    QVERIFY(m_log.messages.isEmpty());
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

void SaveTest::typedCharactersOutsideTheCodePageAreKept()
{
    auto w = openWindow("euro1.rwx", "# caf\xE9\r\n");
    w->scriptEditor()->setCursorPosition(1, 0);
    w->scriptEditor()->replaceSelection(QString::fromUtf8("# 5 \u20AC"));
    w->saveZipNextButton()->click();
    expectSaved("euro2.rwx", "# caf\xC3\xA9\r\n# 5 \xE2\x82\xAC");
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

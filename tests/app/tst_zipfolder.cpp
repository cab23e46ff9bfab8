// Choosing the zip folder with a click on "ZIP  folder".
#include <QLabel>
#include <QTemporaryDir>

#include <cerrno>

#include "app/form1.h"
#include "app/zipfolder.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;

class ZipFolderTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void addsTheTrailingSeparator_data();
    void addsTheTrailingSeparator();
    void promptsWithTheCurrentFolder_data();
    void promptsWithTheCurrentFolder();
    void takesAGoodFolder_data();
    void takesAGoodFolder();
    void refusesAWrongFolder_data();
    void refusesAWrongFolder();
    void cancelChangesNothing();
    void emptyEntryClearsTheChoice_data();
    void emptyEntryClearsTheChoice();
    void okOnThePrefilledTextStoresItAgain();
    void nextStartShowsTheChosenFolder();
    void unwritableSettingsAreReported();
    void damagedSettingsFileIsRewritten();
    void clickOnTheLabelAsks();

private:
    std::unique_ptr<Form1> makeWindow()
    {
        return std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
    }
    ScriptedDialogs::Log m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void ZipFolderTest::init()
{
    m_log = {};
    m_dir = std::make_unique<QTemporaryDir>();
    storeZipFolder(QString());
}

void ZipFolderTest::addsTheTrailingSeparator_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("folder");
    QTest::newRow("added") << R"(C:\zips)" << R"(\)" << R"(C:\zips\)";
    QTest::newRow("kept") << R"(C:\zips\)" << R"(\)" << R"(C:\zips\)";
    QTest::newRow("empty is the root") << "" << R"(\)" << R"(\)";
    QTest::newRow("blanks not trimmed") << " /z " << "/" << " /z /";
    QTest::newRow("posix kept") << "/tmp/z/" << "/" << "/tmp/z/";
}

void ZipFolderTest::addsTheTrailingSeparator()
{
    QFETCH(QString, entry);
    QFETCH(QString, separator);
    QFETCH(QString, folder);
    QCOMPARE(withTrailingSeparator(entry, separator[0]), folder);
}

void ZipFolderTest::promptsWithTheCurrentFolder_data()
{
    QTest::addColumn<QString>("current");
    QTest::newRow("empty") << QString();
    QTest::newRow("set") << QStringLiteral("/srv/zips/");
}

void ZipFolderTest::promptsWithTheCurrentFolder()
{
    QFETCH(QString, current);
    if (!current.isNull())
        storeZipFolder(current);
    auto w = makeWindow();
    w->chooseZipFolder();
    QCOMPARE(m_log.prompts.size(), 1);
    QCOMPARE(m_log.prompts[0].message, "Folder for ZIPs. Now " + current);
    QCOMPARE(m_log.prompts[0].title, QStringLiteral("Orvane. Folder for ZIPs."));
    QCOMPARE(m_log.prompts[0].initial, current);
}

void ZipFolderTest::takesAGoodFolder_data()
{
    QTest::addColumn<QString>("entry"); // relative to the temporary folder unless absolute
    QTest::addColumn<QString>("expected"); // "&": the home folder
    QTest::newRow("without separator") << "@/zips" << "@/zips/";
    QTest::newRow("with separator") << "@/zips/" << "@/zips/";
    QTest::newRow("relative entry stored absolute") << "zips" << "@/zips/";
    QTest::newRow("relative with dots") << "./zips/../zips" << "@/zips/";
    QTest::newRow("home") << "~" << "&/";
    QTest::newRow("below home") << "~/zips" << "&/zips/";
    QTest::newRow("tilde not first is a name") << "./~" << "@/~/";
}

void ZipFolderTest::takesAGoodFolder()
{
    QFETCH(QString, entry);
    QFETCH(QString, expected);
    QDir(m_dir->path()).mkdir("zips");
    QDir(m_dir->path()).mkdir("~");
    QDir(QDir::homePath()).mkdir("zips");
    entry.replace("@", m_dir->path());
    expected.replace("@", m_dir->path()).replace("&", QDir::homePath());
    const QString previousCurrent = QDir::currentPath();
    QDir::setCurrent(m_dir->path());
    auto w = makeWindow();
    m_log.entries = {entry};
    w->chooseZipFolder();
    QDir::setCurrent(previousCurrent);
    QVERIFY(m_log.messages.isEmpty());
    QCOMPARE(w->currentFile().zipFolder, expected);
    QCOMPARE(w->labels().zipFolder->text(), expected);
    QCOMPARE(storedZipFolder(), expected);
}

void ZipFolderTest::refusesAWrongFolder_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("missing folder") << "@/missing";
    QTest::newRow("a regular file") << "@/a.txt";
    QTest::newRow("below a regular file") << "@/a.txt/zips";
    QTest::newRow("read-only folder") << "@/readonly";
}

void ZipFolderTest::refusesAWrongFolder()
{
    QFETCH(QString, entry);
    entry.replace("@", m_dir->path());
    writeFile(m_dir->filePath("a.txt"), "text");
    // Refused by its mode even for root, whom the system lets write anywhere.
    QDir(m_dir->path()).mkdir("readonly");
    QFile::setPermissions(m_dir->filePath("readonly"), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                          | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    storeZipFolder("/previous/");
    auto w = makeWindow();
    m_log.entries = {entry};
    w->chooseZipFolder();
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].text, QStringLiteral("Wrong folder for ZIPs."));
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QCOMPARE(m_log.messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(m_log.messages[0].icon, QMessageBox::Critical);
    QCOMPARE(w->currentFile().zipFolder, QStringLiteral("/previous/"));
    QCOMPARE(w->labels().zipFolder->text(), QStringLiteral("/previous/"));
    QCOMPARE(storedZipFolder(), QStringLiteral("/previous/"));
    QCOMPARE(m_log.prompts.size(), 1);
}

void ZipFolderTest::cancelChangesNothing()
{
    storeZipFolder("/previous/");
    auto w = makeWindow();
    m_log.entries = {std::nullopt};
    w->chooseZipFolder();
    QVERIFY(m_log.messages.isEmpty());
    QCOMPARE(w->currentFile().zipFolder, QStringLiteral("/previous/"));
    QCOMPARE(w->labels().zipFolder->text(), QStringLiteral("/previous/"));
    QCOMPARE(storedZipFolder(), QStringLiteral("/previous/"));
}

void ZipFolderTest::emptyEntryClearsTheChoice_data()
{
    QTest::addColumn<bool>("scriptOpen");
    QTest::newRow("script open: its folder") << true;
    QTest::newRow("nothing open: none") << false;
}

// OK on an empty entry forgets the chosen folder: the archives go beside the
// opened script again, and the next start knows of no zip folder.
void ZipFolderTest::emptyEntryClearsTheChoice()
{
    QFETCH(bool, scriptOpen);
    storeZipFolder("/previous/");
    auto w = makeWindow();
    const QString models = m_dir->path() + "/models/";
    if (scriptOpen)
        dropFiles(*w, {writeFile(models + "house12.rwx", "x")});
    m_log.entries = {QString()};
    w->chooseZipFolder();
    QVERIFY(m_log.messages.isEmpty());
    const QString expected = scriptOpen ? models : QString();
    QCOMPARE(w->currentFile().zipFolder, expected);
    QCOMPARE(w->labels().zipFolder->text(), expected);
    QVERIFY(!QSettings("Orvane", "Orvane").contains("Settings/ZIP_path"));
    QCOMPARE(makeWindow()->labels().zipFolder->text(), QString());
}

void ZipFolderTest::okOnThePrefilledTextStoresItAgain()
{
    const QString folder = m_dir->path() + "/";
    storeZipFolder(folder);
    auto w = makeWindow();
    storeZipFolder(QString()); // lost behind the window's back
    m_log.entries = {folder};
    w->chooseZipFolder();
    QCOMPARE(m_log.prompts[0].initial, folder);
    QCOMPARE(storedZipFolder(), folder);
    QCOMPARE(w->currentFile().zipFolder, folder);
}

void ZipFolderTest::nextStartShowsTheChosenFolder()
{
    {
        auto w = makeWindow();
        m_log.entries = {m_dir->path()};
        w->chooseZipFolder();
    }
    auto next = makeWindow();
    QCOMPARE(next->labels().zipFolder->text(), m_dir->path() + "/");
    QCOMPARE(next->currentFile().zipFolder, m_dir->path() + "/");
}

void ZipFolderTest::unwritableSettingsAreReported()
{
    // The settings folder's place is taken by a regular file.
    const QString settingsFolder = settingsHome().filePath("Orvane");
    QDir(settingsFolder).removeRecursively();
    writeFile(settingsFolder, "in the way");
    auto w = makeWindow();
    m_log.entries = {m_dir->path()};
    w->chooseZipFolder();
    QFile::remove(settingsFolder);
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QVERIFY(m_log.messages[0].text.contains(m_dir->path() + "/"));
    QVERIFY2(m_log.messages[0].text.contains(settingsFolder + "/Orvane.conf: " + qt_error_string(ENOTDIR)),
             qPrintable(m_log.messages[0].text));
    QCOMPARE(w->currentFile().zipFolder, m_dir->path() + "/");
    QCOMPARE(w->labels().zipFolder->text(), m_dir->path() + "/");
}

// A settings file that cannot be read as one is rewritten with the folder,
// which is then stored: nothing to report.
void ZipFolderTest::damagedSettingsFileIsRewritten()
{
    auto w = makeWindow();
    writeFile(QSettings("Orvane", "Orvane").fileName(), "[Settings\n\xff\xfe = = \n[[[\n");
    m_log.entries = {m_dir->path()};
    w->chooseZipFolder();
    QCOMPARE(m_log.messages.size(), 0);
    QCOMPARE(storedZipFolder(), m_dir->path() + "/");
}

void ZipFolderTest::clickOnTheLabelAsks()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    m_log.entries = {m_dir->path()};
    QTest::mouseClick(w->labels().zipFolderCaption, Qt::LeftButton);
    QCOMPARE(m_log.prompts.size(), 1);
    QCOMPARE(w->labels().zipFolder->text(), m_dir->path() + "/");
    QTest::mouseClick(w->labels().rwxFolderCaption, Qt::LeftButton);
    QTest::mouseClick(w->labels().zipFolder, Qt::LeftButton);
    QCOMPARE(m_log.prompts.size(), 1);
}

ORVANE_GUI_TEST_MAIN(ZipFolderTest)
#include "tst_zipfolder.moc"

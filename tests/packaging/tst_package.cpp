// The installed program as the Debian package holds it: every file in its
// place, the zip library where the program looks for it, the menu entry and
// metadata as their validators want them, and *.rwx files recognised as the
// file type the menu entry opens.
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "support/files.h"
#include "support/testmain.h"

namespace {
struct Run {
    int exitCode = -1;
    QString output;
};

Run run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.errorString()};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}
} // namespace

class PackageTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void holdsItsFiles_data();
    void holdsItsFiles();
    void programFindsItsZipLibrary();
    void passesTheValidators_data();
    void passesTheValidators();
    void rwxFilesAreTheMenuEntrysType_data();
    void rwxFilesAreTheMenuEntrysType();
    void menuEntryOpensTheFileItIsGiven();

private:
    QString installed(const QString &relative) const { return m_prefix.filePath(relative); }
    QTemporaryDir m_prefix;
};

void PackageTest::initTestCase()
{
    QVERIFY(m_prefix.isValid());
    const Run install = run(QStringLiteral(ORVANE_CMAKE), {"--install", ORVANE_BUILD_DIR, "--prefix", m_prefix.path()});
    QVERIFY2(install.exitCode == 0, qPrintable(install.output));
    // What the shared-mime-info trigger does when the package is installed.
    const Run mime = run(QStringLiteral("update-mime-database"), {installed("share/mime")});
    QVERIFY2(mime.exitCode == 0, qPrintable("update-mime-database (shared-mime-info): " + mime.output));
    // Before the MIME database is first used: the installed types come first.
    qputenv("XDG_DATA_DIRS", QFile::encodeName(installed("share") + ":/usr/share"));
}

void PackageTest::holdsItsFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("mode");
    QTest::newRow("program") << ORVANE_BINDIR "/orvane" << 0755;
#ifdef ORVANE_CONVERTER
    QTest::newRow("converter") << ORVANE_BINDIR "/orvane-convert" << 0755;
    QTest::newRow("converter's manual page") << "share/man/man1/orvane-convert.1.gz" << 0644;
#endif
    QTest::newRow("zip library") << ORVANE_PRIVATE_LIBDIR "/libzip32.so" << 0644;
    QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/orvane.svg" << 0644;
    QTest::newRow("menu entry") << "share/applications/orvane.desktop" << 0644;
    QTest::newRow("file type") << "share/mime/packages/orvane.xml" << 0644;
    QTest::newRow("metadata") << "share/metainfo/" ORVANE_APPSTREAM_ID ".metainfo.xml" << 0644;
    QTest::newRow("manual page") << "share/man/man1/orvane.1.gz" << 0644;
    QTest::newRow("copyright") << "share/doc/orvane/copyright" << 0644;
    QTest::newRow("change log") << "share/doc/orvane/changelog.gz" << 0644;
}

void PackageTest::holdsItsFiles()
{
    QFETCH(QString, path);
    QFETCH(int, mode);
    const QFileInfo file(installed(path));
    QVERIFY2(file.isFile() && file.size() > 0, qPrintable(path));
    QCOMPARE(orvane_test::modeOf(file.filePath()), mode);
}

// The packing module looks for libzip32.so beside the program, then at
// this place relative to the program's folder.
void PackageTest::programFindsItsZipLibrary()
{
    const QString lookedAt = installed(ORVANE_BINDIR "/" ORVANE_ZIP32_FROM_BINDIR "/libzip32.so");
    QVERIFY2(QFileInfo(lookedAt).isFile(), qPrintable(lookedAt));
    QCOMPARE(QFileInfo(lookedAt).canonicalFilePath(), QFileInfo(installed(ORVANE_PRIVATE_LIBDIR "/libzip32.so")).canonicalFilePath());
}

void PackageTest::passesTheValidators_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("menu entry") << "desktop-file-validate" << QStringList{"share/applications/orvane.desktop"};
    QTest::newRow("metadata") << "appstreamcli"
                              << QStringList{"validate", "--no-net", "--pedantic",
                                             "share/metainfo/" ORVANE_APPSTREAM_ID ".metainfo.xml"};
}

// Warnings fail too: the validators print nothing but the verdict.
void PackageTest::passesTheValidators()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    QVERIFY2(!QStandardPaths::findExecutable(validator).isEmpty(), qPrintable(validator + " is not installed (make deps)"));
    arguments.last() = installed(arguments.last());
    const Run check = run(validator, arguments);
    QVERIFY2(check.exitCode == 0, qPrintable(check.output));
    QVERIFY2(!check.output.contains(QLatin1String(": ")), qPrintable(check.output));
}

void PackageTest::rwxFilesAreTheMenuEntrysType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("lower case") << "house12.rwx" << "model/x-rwx";
    QTest::newRow("upper case") << "HOUSE12.RWX" << "model/x-rwx";
    QTest::newRow("mixed case") << "tree_b2_010.Rwx" << "model/x-rwx";
    QTest::newRow("other text") << "notes.txt" << "text/plain";
}

// A double-click on a .rwx file opens Orvane: the file is of the type the
// menu entry claims, and that is the only type it claims.
void PackageTest::rwxFilesAreTheMenuEntrysType()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    const QMimeType found = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QCOMPARE(found.name(), type);
    QVERIFY(found.inherits(QStringLiteral("text/plain")));
}

// Only RWX scripts, handed over one at a time by name.
void PackageTest::menuEntryOpensTheFileItIsGiven()
{
    QStringList lines = QString::fromUtf8(orvane_test::readFile(installed("share/applications/orvane.desktop"))).split('\n');
    lines = lines.filter(QRegularExpression(QStringLiteral("^(Exec|MimeType)=")));
    QCOMPARE(lines, QStringList({"Exec=orvane %f", "MimeType=model/x-rwx;"}));
    QCOMPARE(QMimeDatabase().mimeTypeForName(QStringLiteral("model/x-rwx")).comment(), QStringLiteral("RWX model script"));
}

ORVANE_CORE_TEST_MAIN(PackageTest)
#include "tst_package.moc"

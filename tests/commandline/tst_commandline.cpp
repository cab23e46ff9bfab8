// The command line: what `orvane` answers before any window exists, and
// how a file named on the command line becomes the address a drop carries.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "commandline/commandline.h"
#include "commandline/filearguments.h"
#include "support/testmain.h"

using namespace commandline;

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void namesBecomeFileAddresses_data();
    void namesBecomeFileAddresses();
    void argumentsKeepTheirBytes();
};

void CommandLineTest::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // empty: none at all
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString version = QStringLiteral("orvane " ORVANE_VERSION "\n");
    const QString tryHelp = QStringLiteral("Try 'orvane --help' for more information.\n");
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << version << "";
    QTest::newRow("-v before a file") << QStringList{"-v", "a.rwx"} << "" << 0 << version << "";
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << "Usage: orvane [options] [FILE]\n" << "";
    QTest::newRow("two files") << QStringList{"a.rwx", "b.rwx"} << "" << 2 << ""
                               << "orvane: unexpected argument 'b.rwx'\n" + tryHelp;
    // Qt's own options are known once the application has read them.
    QTest::newRow("Qt's option, then --version") << QStringList{"-platform", "offscreen", "--version"} << "offscreen"
                                                 << 0 << version << "";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "offscreen" << 2 << ""
                                    << "orvane: Unknown option 'frobnicate'.\n" + tryHelp;
}

// Help, version and usage errors work where no window can be shown, and
// print to the right stream with the right exit code.
void CommandLineTest::answersWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANE_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString standardOutput = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString standardError = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    QVERIFY2(out.endsWith(QLatin1Char('\n')) ? standardOutput.startsWith(out) : standardOutput.isEmpty(),
             qPrintable(standardOutput));
    if (!err.isEmpty())
        QVERIFY2(standardError.endsWith(err), qPrintable(standardError));
}

void CommandLineTest::namesBecomeFileAddresses_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("path"); // "@" stands for the test's folder; empty: no address
    QTest::newRow("relative") << QByteArray("house12.rwx") << QByteArray("@/house12.rwx");
    QTest::newRow("absolute, folder ignored") << QByteArray("/tmp/x/a.rwx") << QByteArray("/tmp/x/a.rwx");
    QTest::newRow("dots and doubled separators") << QByteArray(".//real/./a.rwx") << QByteArray("@/real/a.rwx");
    QTest::newRow(".. after a real folder") << QByteArray("real/../a.rwx") << QByteArray("@/a.rwx");
    QTest::newRow(".. after a link stays") << QByteArray("link/../a.rwx") << QByteArray("@/link/../a.rwx");
    QTest::newRow(".. after a missing folder stays") << QByteArray("gone/../a.rwx") << QByteArray("@/gone/../a.rwx");
    QTest::newRow("a folder's name keeps its separator") << QByteArray("real/") << QByteArray("@/real/");
    QTest::newRow("characters an address reserves") << QByteArray("a #1?%20;b.rwx") << QByteArray("@/a #1?%20;b.rwx");
    QTest::newRow("not valid UTF-8") << QByteArray("caf\xE9.rwx") << QByteArray("@/caf\xE9.rwx");
    QTest::newRow("relative, the working folder gone") << QByteArray("house12.rwx") << QByteArray();
}

// The address carries exactly the bytes that name the file, as a drop's
// address does.
void CommandLineTest::namesBecomeFileAddresses()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, path);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("elsewhere/target")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere/target")), dir.filePath(QStringLiteral("link"))));
    const QByteArray folder = path.isEmpty() ? QByteArray() : QFile::encodeName(dir.path());
    path.replace("@", folder);

    const QUrl url = localFileUrl(name, folder);
    if (path.isEmpty()) {
        QVERIFY(!url.isLocalFile());
        return;
    }
    QVERIFY(url.isValid());
    QVERIFY(url.isLocalFile());
    QVERIFY(url.host().isEmpty());
    QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()), path);
    if (QFile::encodeName(QFile::decodeName(path)) == path)
        QCOMPARE(url.toLocalFile(), QFile::decodeName(path));
}

void CommandLineTest::argumentsKeepTheirBytes()
{
    const char *argv[] = {"orvane", "-x", "caf\xE9.rwx", "plain.rwx"};
    const QStringList decoded = decodeArguments(4, argv);
    QCOMPARE(argumentBytes(decoded.at(2), 4, argv), QByteArray("caf\xE9.rwx"));
    QCOMPARE(argumentBytes(decoded.at(3), 4, argv), QByteArray("plain.rwx"));
    // A name no argument decodes to is encoded as a file name.
    QCOMPARE(argumentBytes(QStringLiteral("caf\u00E9.rwx"), 4, argv), QByteArray("caf\xC3\xA9.rwx"));
}

ORVANE_CORE_TEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"

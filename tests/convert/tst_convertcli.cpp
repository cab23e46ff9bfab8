// orvane-convert as a user runs it: what it says for each input, its exit
// code, and that a failure leaves nothing half-written and no input replaced.
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include "support/archive.h"
#include "support/exports.h"
#include "support/files.h"
#include "support/testmain.h"

using namespace orvane_test;

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run convert(const QStringList &arguments, const QString &folder)
{
    QProcess program;
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(ORVANE_CONVERT), arguments);
    Run run;
    if (!program.waitForFinished(120000) || program.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = program.exitCode();
    run.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

const QByteArray kBlock = "ModelBegin\nClumpBegin\nBlock 1 1 1\nClumpEnd\nModelEnd\n";

} // namespace

class ConvertCliTest : public QObject {
    Q_OBJECT
private slots:
    void usage_data();
    void usage();
    void reportsEachInput_data();
    void reportsEachInput();
    void readOnlyOutputsAreKept_data();
    void readOnlyOutputsAreKept();
    void neverReplacesAnInput();
    void twoInputsOfOneName();
};

void ConvertCliTest::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const QString tryHelp = QStringLiteral("\nTry 'orvane-convert --help' for more information.\n");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "orvane-convert " ORVANE_VERSION "\n" << "";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: orvane-convert [options] INPUT...\n" << "";
    QTest::newRow("no input") << QStringList{} << 2 << "" << "orvane-convert: missing INPUT" + tryHelp;
    QTest::newRow("unknown format") << QStringList{"-f", "png", "a.rwx"} << 2 << ""
                                    << "orvane-convert: unknown format 'png' (glb, gltf or obj)" + tryHelp;
    QTest::newRow("no jobs") << QStringList{"-j", "0", "a.rwx"} << 2 << ""
                             << "orvane-convert: -j wants a number of 1 or more, not '0'" + tryHelp;
}

void ConvertCliTest::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    const Run run = convert(arguments, dir.path());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.startsWith(out), qPrintable(run.out));
    QCOMPARE(run.err, err);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void ConvertCliTest::reportsEachInput_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("one at a time") << QStringList{"-j", "1"};
    QTest::newRow("four at a time, quiet") << QStringList{"-j", "4", "-q"};
}

// A failure is one line naming the input, a missing texture a warning; the
// others are converted all the same, in the order given, and the exit code
// says that some failed.
void ConvertCliTest::reportsEachInput()
{
    QFETCH(QStringList, options);
    const bool quiet = options.contains("-q");
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeFile(folder.filePath("good.rwx"), kBlock);
    writeFile(folder.filePath("bare.rwx"), "ModelBegin\nTexture wood\nBlock 1 1 1\nModelEnd\n");
    makeArchive(folder.filePath("mask.zip"), {{"mask.bmp", "BM"}});
    makeArchive(folder.filePath("ok.zip"), {{"OK.RWX", kBlock}});
    const Run run = convert(options + QStringList{"-o", "out", "good.rwx", "missing.rwx", "mask.zip", "bare.rwx", "ok.zip"},
                            folder.path());
    QCOMPARE(run.exitCode, 1);
    QStringList lines{"missing.rwx: cannot read it: No such file or directory", "mask.zip: no .rwx script in the archive"};
    if (!quiet)
        lines << "bare.rwx: warning: texture wood not found";
    QCOMPARE(run.err, lines.join(u'\n') + u'\n');
    if (quiet)
        QCOMPARE(run.out, QString());
    else
        QVERIFY2(run.out.startsWith("3 of 5 converted to glb in ") && run.out.endsWith(", 2 failed, 1 with warnings\n"),
                 qPrintable(run.out));
    QCOMPARE(QDir(folder.filePath("out")).entryList(QDir::Files), QStringList({"bare.glb", "good.glb", "ok.glb"}));
    QString error;
    QCOMPARE(gltfTriangles(loadGltf(folder.filePath("out/ok.glb"), &error)), 12);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void ConvertCliTest::readOnlyOutputsAreKept_data()
{
    QTest::addColumn<bool>("folderReadOnly");
    QTest::newRow("read-only folder") << true;
    QTest::newRow("read-only output") << false;
}

// A folder or an earlier output whose write permissions are all off stays as
// it is, for root too: the failure is said, and no output or temporary file
// is left.
void ConvertCliTest::readOnlyOutputsAreKept()
{
    QFETCH(bool, folderReadOnly);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeFile(folder.filePath("house.rwx"), kBlock);
    writeFile(folder.filePath("out/house.glb"), "earlier");
    const QString out = folder.filePath("out");
    const QString target = QDir(out).filePath("house.glb");
    const QString locked = folderReadOnly ? out : target;
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    const auto restore = qScopeGuard([&] { QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    const QString before = fileState(target);
    const Run run = convert({"-o", "out", "house.rwx"}, folder.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, QStringLiteral("house.rwx: cannot write %1: %2\n")
                          .arg(target, folderReadOnly ? "its folder is read-only" : "it is read-only"));
    QCOMPARE(fileState(target), before);
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"house.glb"});
}

// A script that happens to be named like the output it makes, and an output
// folder holding the texture it embeds: the input stays as it was.
void ConvertCliTest::neverReplacesAnInput()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeFile(folder.filePath("thing.glb"), kBlock);
    const QString before = fileState(folder.filePath("thing.glb"));
    const Run run = convert({"thing.glb"}, folder.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "thing.glb: " + folder.filePath("thing.glb") + " would replace a file it is made from\n");
    QCOMPARE(fileState(folder.filePath("thing.glb")), before);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"thing.glb"});
}

void ConvertCliTest::twoInputsOfOneName()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    writeFile(folder.filePath("a/house.rwx"), kBlock);
    writeFile(folder.filePath("b/house.rwx"), "ModelBegin\nModelEnd\n");
    const Run run = convert({"-q", "-o", "out", "a/house.rwx", "b/house.rwx"}, folder.path());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err, "b/house.rwx: " + folder.filePath("out/house.glb") + " is made from a/house.rwx already\n");
    QString error;
    QCOMPARE(gltfTriangles(loadGltf(folder.filePath("out/house.glb"), &error)), 12);
}

ORVANE_CORE_TEST_MAIN(ConvertCliTest)
#include "tst_convertcli.moc"

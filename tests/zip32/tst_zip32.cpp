// libzip32.so through its C interface; every archive is read back with libzip.
#include "zip32/zip32.h"
#include "support/testmain.h"
#include "support/archive.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orvane_test;

namespace {

struct Calls {
    QStringList printed, serviced;
    QList<qint32> sizes;
    QList<double> fractions;
    int serviceAnswer = 0, passwordAnswer = 0, passwordCalls = 0, nestedResult = -100, cancelAnswer = 0;
    QByteArray comment, password;
    bool nest = false;
    // Another program's doing at the first progress report: what it writes
    // at the archive's path (null: it removes the archive).
    QString raceArchive;
    QByteArray raceBytes;
} calls;

int32_t onPrint(const char *text, int32_t length)
{
    calls.printed << QString::fromUtf8(text, length);
    if (calls.nest) {
        char path[] = "nested.zip";
        ZpNames names{};
        calls.nestedResult = ZpArchive(1, path, &names);
    }
    return 0;
}
int32_t onComment(char *buffer)
{
    memcpy(buffer, calls.comment.constData(), size_t(calls.comment.size()));
    return 1;
}
int32_t onPassword(char *buffer, int32_t size, const char *, const char *)
{
    ++calls.passwordCalls;
    if (calls.password.size() < size)
        memcpy(buffer, calls.password.constData(), size_t(calls.password.size()));
    return calls.passwordAnswer;
}
int32_t onService(const char *name, int32_t size)
{
    calls.serviced << QString::fromUtf8(name);
    calls.sizes << size;
    return calls.serviceAnswer;
}

void onProgress(double fraction, void *state)
{
    if (state == &calls)
        calls.fractions << fraction;
    if (!calls.raceArchive.isEmpty()) {
        if (calls.raceBytes.isNull())
            QFile::remove(calls.raceArchive);
        else
            writeFile(calls.raceArchive, calls.raceBytes);
        calls.raceArchive.clear();
    }
}
int32_t onCancel(void *state)
{
    return state == &calls ? calls.cancelAnswer : -1;
}

mode_t currentUmask()
{
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// One packing call: callbacks, options, then the archive.
struct Pack {
    Pack(const QByteArray &root, int strip, int update = 0, int freshen = 0)
        : root(root), strip(strip), update(update), freshen(freshen)
    {
    }
    QByteArray root;
    int strip, update, freshen, recurse = 0, encrypt = 0, comment = 0;
    char level = '9';
    QList<QByteArray> files;
    QByteArray archive;
    int32_t count = -1; // -1: files.size()

    int32_t run()
    {
        ZpCallbacks cb{onPrint, onComment, onPassword, onService};
        ZpInit(&cb);
        ZpProgress progress{onProgress, onCancel, &calls};
        ZpSetProgress(&progress);
        ZpOptions o{};
        o.rootFolder = root.data();
        o.fStripFolders = strip;
        o.fUpdate = update;
        o.fFreshen = freshen;
        o.fRecurse = recurse;
        o.fEncrypt = encrypt;
        o.fComment = comment;
        o.fLevel = level;
        ZpSetOptions(&o);
        ZpNames names{};
        for (int i = 0; i < files.size(); ++i)
            names.name[i] = files[i].data();
        return ZpArchive(count < 0 ? int32_t(files.size()) : count, archive.data(), &names);
    }
};

} // namespace

class TestZip32 : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &rel) const { return m_dir->filePath(rel); }
    QByteArray bytes(const QString &rel) const { return QFile::encodeName(path(rel)); }
    QStringList folder(const QString &rel) const
    {
        return QDir(path(rel)).entryList(QDir::Files | QDir::Hidden);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        calls = Calls{};
    }
    void cleanup()
    {
        chmod(bytes("out").constData(), 0755); // for the temporary folder's removal
    }

    void packsOneFile_data()
    {
        QTest::addColumn<char>("level");
        QTest::addColumn<quint16>("method");
        QTest::newRow("9 deflates") << '9' << quint16(ZIP_CM_DEFLATE);
        QTest::newRow("1 deflates") << '1' << quint16(ZIP_CM_DEFLATE);
        QTest::newRow("0 stores") << '0' << quint16(ZIP_CM_STORE);
    }
    void packsOneFile()
    {
        QFETCH(char, level);
        QFETCH(quint16, method);
        const QByteArray content = readFile(dataFile("crate.rwx"));
        QVERIFY(!content.isEmpty());
        const qint64 mtime = 1589710831; // an odd second: entry times keep two seconds
        writeFile(path("models/house13.rwx"), content, mtime);
        QDir().mkpath(path("zips"));
        Pack p{"/", 1};
        p.level = level;
        p.files = {bytes("models/house13.rwx")};
        p.archive = bytes("zips/house13.zip");
        QCOMPARE(p.run(), ZE_OK);

        const auto entries = readArchive(path("zips/house13.zip"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QByteArray("house13.rwx"));
        QCOMPARE(entries[0].method, method);
        QCOMPARE(entries[0].data, content);
        QCOMPARE(entries[0].mtime, mtime - 1);
        QCOMPARE(calls.printed, QStringList{"  adding: house13.rwx"});
        QCOMPARE(calls.serviced, QStringList{"house13.rwx"});
        QCOMPARE(calls.sizes, QList<qint32>{qint32(content.size())});
        QVERIFY(calls.fractions.size() >= 2);
        QCOMPARE(calls.fractions.first(), 0.0);
        QCOMPARE(calls.fractions.last(), 1.0);
        QVERIFY(std::is_sorted(calls.fractions.begin(), calls.fractions.end()));
        struct stat st;
        QCOMPARE(stat(bytes("zips/house13.zip").constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0666 & ~currentUmask());
        QCOMPARE(folder("zips"), QStringList{"house13.zip"});
    }

    void entryNames_data()
    {
        // "@" stands for the temporary folder.
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("strip");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QByteArray>("name"); // null: refused with ZE_PARMS, no archive
        QTest::newRow("strip: bare name") << "@" << 1 << "@/a/b/c.rwx" << "@/out.zip" << QByteArray("c.rwx");
        QTest::newRow("relative to root") << "@" << 0 << "@/a/b/c.rwx" << "@/out.zip" << QByteArray("a/b/c.rwx");
        QTest::newRow("relative file name") << "@/a" << 0 << "b/c.rwx" << "@/out.zip" << QByteArray("b/c.rwx");
        QTest::newRow("relative archive path") << "@" << 1 << "@/a/b/c.rwx" << "out.zip" << QByteArray("c.rwx");
        QTest::newRow("UTF-8 name") << "@" << 1 << "@/h\u00e4uschen.rwx" << "@/out.zip" << QByteArray("h\xc3\xa4uschen.rwx");
        QTest::newRow("outside the root") << "@/a/b" << 0 << "@/x.rwx" << "@/out.zip" << QByteArray();
        QTest::newRow("dot-dot") << "@/a" << 0 << "../x.rwx" << "@/out.zip" << QByteArray();
        QTest::newRow("empty name") << "@" << 1 << "" << "@/out.zip" << QByteArray();
    }
    void entryNames()
    {
        QFETCH(QString, root);
        QFETCH(int, strip);
        QFETCH(QString, file);
        QFETCH(QString, archive);
        QFETCH(QByteArray, name);
        for (const char *f : {"a/b/c.rwx", "x.rwx", "h\u00e4uschen.rwx"})
            writeFile(path(QString::fromUtf8(f)), "Vertex 1 2 3\r\n");
        const QString base = m_dir->path();
        Pack p{QFile::encodeName(root.replace('@', base)), strip};
        p.files = {QFile::encodeName(file.replace('@', base))};
        p.archive = QFile::encodeName(archive.replace('@', base));
        QCOMPARE(p.run(), name.isNull() ? ZE_PARMS : ZE_OK);
        const auto entries = readArchive(path("out.zip"));
        QCOMPARE(entries.size(), name.isNull() ? 0 : 1);
        QVERIFY(name.isNull() ? !QFileInfo::exists(path("out.zip")) : entries[0].name == name);
    }

    // Entry names are UTF-8; a file whose name is not is refused.
    void entryNamesMustBeUtf8_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("taken");
        QTest::newRow("two bytes") << QByteArray("h\xc3\xa4us.rwx") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x8f\xa0.rwx") << true;
        QTest::newRow("Latin-1") << QByteArray("h\xe4us.rwx") << false;
        QTest::newRow("overlong") << QByteArray("\xc0\xaf.rwx") << false;
        QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80.rwx") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80.rwx") << false;
        QTest::newRow("cut short at the end") << QByteArray("a.rwx\xe2\x82") << false;
        QTest::newRow("stray continuation") << QByteArray("\x80.rwx") << false;
    }
    void entryNamesMustBeUtf8()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, taken);
        const QByteArray file = QFile::encodeName(m_dir->path()) + "/" + name;
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        QVERIFY(fd >= 0 && ::write(fd, "x", 1) == 1 && ::close(fd) == 0);
        Pack p{bytes(""), 1};
        p.files = {name};
        p.archive = "out.zip";
        QCOMPARE(p.run(), taken ? ZE_OK : ZE_PARMS);
        const auto entries = readArchive(path("out.zip"));
        QCOMPARE(entries.size(), taken ? 1 : 0);
        if (taken)
            QCOMPARE(entries[0].name, name);
    }

    // Entries of the same name are replaced, the others and the archive's mode kept.
    void replacesSameNameKeepsOthers()
    {
        writeFile(path("house13.rwx"), "new text\r\n");
        makeArchive(path("house13.zip"),
                    {{"keep.txt", "kept"}, {"house13.rwx", "old text"}, {"z/other.rwx", "o"}});
        QVERIFY(chmod(bytes("house13.zip").constData(), 0600) == 0);
        Pack p{bytes(""), 1};
        p.files = {"house13.rwx"};
        p.archive = "house13.zip";
        QCOMPARE(p.run(), ZE_OK);
        const auto entries = readArchive(path("house13.zip"));
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].name + "=" + entries[0].data, QByteArray("keep.txt=kept"));
        QCOMPARE(entries[1].name + "=" + entries[1].data, QByteArray("house13.rwx=new text\r\n"));
        QCOMPARE(entries[2].name + "=" + entries[2].data, QByteArray("z/other.rwx=o"));
        QCOMPARE(calls.printed, QStringList{"updating: house13.rwx"});
        struct stat st;
        QCOMPARE(stat(bytes("house13.zip").constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));
    }

    // A failed call leaves the archive path as it was (absent, or the same
    // bytes and mode) and no stray file in its folder.
    void failures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("code"); // -1: any failure
        QTest::newRow("not a zip archive") << "notzip" << ZE_FORM;
        QTest::newRow("truncated zip archive") << "truncated" << ZE_FORM;
        QTest::newRow("archive folder under a regular file") << "parentfile" << -1;
        QTest::newRow("archive folder missing") << "nofolder" << ZE_CREAT;
        QTest::newRow("source missing") << "nosource" << ZE_OPEN;
        QTest::newRow("source missing, archive kept") << "nosource+zip" << ZE_OPEN;
        QTest::newRow("level is the number 9") << "level9" << ZE_PARMS;
        QTest::newRow("count 0") << "count0" << ZE_PARMS;
        QTest::newRow("count 101") << "count101" << ZE_PARMS;
        QTest::newRow("null slot within count") << "nullslot" << ZE_PARMS;
        QTest::newRow("same bare name twice") << "duplicate" << ZE_PARMS;
        QTest::newRow("service aborts, archive kept") << "abort+zip" << ZE_ABORT;
        QTest::newRow("cancelled while writing, archive kept") << "cancel+zip" << ZE_ABORT;
        QTest::newRow("read-only archive") << "readonly+zip" << ZE_CREAT;
        QTest::newRow("read-only folder") << "readonlyfolder" << ZE_CREAT;
        QTest::newRow("read-only folder, archive kept") << "readonlyfolder+zip" << ZE_CREAT;
        QTest::newRow("data before the archive") << "stub+zip" << ZE_FORM;
        QTest::newRow("password cancelled") << "nopassword" << ZE_ABORT;
        QTest::newRow("another program writes it meanwhile") << "race" << ZE_CHANGED;
        QTest::newRow("another program rewrites it meanwhile") << "race+zip" << ZE_CHANGED;
        QTest::newRow("another program removes it meanwhile") << "remove+zip" << ZE_CHANGED;
        QTest::newRow("folder without recursion") << "folder" << ZE_NONE;
        QTest::newRow("freshen, no such entry") << "freshen+zip" << ZE_NONE;
        QTest::newRow("update, entry newer than file") << "update+zip" << ZE_NONE;
    }
    void failures()
    {
        QFETCH(QString, setup);
        QFETCH(int, code);
        writeFile(path("src/a.rwx"), "ModelBegin\r\nModelEnd\r\n", 1500000000);
        writeFile(path("src/sub/a.rwx"), "other\r\n");
        QDir().mkpath(path("out"));
        QString archive = path(setup == "parentfile" ? "out/file/sub/a.zip"
                               : setup == "nofolder" ? "out/missing/a.zip"
                                                     : "out/a.zip");
        Pack p{bytes("src"), 1};
        p.files = {setup.startsWith("nosource") ? "missing.rwx" : setup == "folder" ? "sub" : "a.rwx"};
        p.archive = QFile::encodeName(archive);
        QByteArray before;
        if (setup == "notzip")
            writeFile(archive, before = "ModelBegin\r\nnot a zip at all\r\n");
        if (setup == "truncated")
            writeFile(archive, before = makeArchive(archive, {{"x", "yyyyyyyy"}}).left(30));
        if (setup.endsWith("+zip"))
            before = makeArchive(archive, {{"keep.txt", "kept"}, {"a.rwx", "old"}});
        if (setup == "stub+zip") {
            writeFile(archive, before = withStub(before, "#!/bin/sh\nexec unzip \"$0\"\n"));
            QCOMPARE(readArchive(archive).size(), 2); // libzip reads it as an archive
        }
        if (setup == "readonly+zip")
            QCOMPARE(chmod(QFile::encodeName(archive).constData(), 0444), 0);
        if (setup.startsWith("readonlyfolder"))
            QCOMPARE(chmod(bytes("out").constData(), 0555), 0);
        if (setup == "parentfile")
            writeFile(path("out/file"), "plain");
        p.level = setup == "level9" ? 9 : '9';
        p.count = setup == "count0" ? 0 : setup == "count101" ? 101 : setup == "nullslot" ? 2 : -1;
        if (setup == "duplicate")
            p.files << "sub/a.rwx";
        calls.serviceAnswer = setup == "abort+zip";
        calls.cancelAnswer = setup == "cancel+zip";
        p.encrypt = calls.passwordAnswer = setup == "nopassword";
        calls.password = "secret";
        if (setup == "freshen+zip") {
            p.files = {"sub/a.rwx"};
            p.strip = 0;
            p.freshen = 1;
        }
        p.update = setup == "update+zip"; // the file is from 2017, the entry from now
        if (setup.startsWith("race") || setup.startsWith("remove")) {
            calls.raceArchive = archive;
            calls.raceBytes = before = setup.startsWith("race") ? QByteArray("written meanwhile") : QByteArray();
        }
        const QString archiveFolder = QFileInfo(archive).absolutePath();
        QStringList folderBefore = QDir(archiveFolder).entryList(QDir::Files | QDir::Hidden);
        if (setup == "race")
            folderBefore << "a.zip";
        if (setup == "remove+zip")
            folderBefore.removeAll("a.zip");
        struct stat st;
        const mode_t modeBefore = stat(QFile::encodeName(archive).constData(), &st) == 0 ? st.st_mode : 0;

        const int32_t result = p.run();
        QVERIFY2(code == -1 ? result != ZE_OK : result == code, qPrintable(QString::number(result)));
        if (before.isNull())
            QVERIFY(!QFileInfo::exists(archive));
        else
            QCOMPARE(readFile(archive), before);
        if (modeBefore && setup != "remove+zip") {
            QCOMPARE(stat(QFile::encodeName(archive).constData(), &st), 0);
            QCOMPARE(st.st_mode, modeBefore);
        }
        QCOMPARE(QDir(archiveFolder).entryList(QDir::Files | QDir::Hidden), folderBefore);
    }

    // What a packing killed half-way left beside the archive is removed by
    // the next packing of that archive; anything else is left alone.
    void leftoversOfAKilledPacking_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("removed");
        QTest::newRow("cut short") << "a.zip.ugahjx" << "partial" << true;
        QTest::newRow("nothing written yet") << "a.zip.Q3x9Zk" << "empty" << true;
        QTest::newRow("still being written") << "a.zip.ugahjx" << "held" << false;
        QTest::newRow("a complete archive") << "a.zip.backup" << "complete" << false;
        QTest::newRow("not an archive") << "a.zip.notes1" << "text" << false;
        QTest::newRow("another archive's") << "b.zip.ugahjx" << "partial" << false;
        QTest::newRow("not the temporary pattern") << "a.zip.ugah-x" << "partial" << false;
        QTest::newRow("five characters") << "a.zip.ugahj" << "partial" << false;
        QTest::newRow("a folder") << "a.zip.ugahjx" << "folder" << false;
        QTest::newRow("a link") << "a.zip.ugahjx" << "link" << false;
    }
    void leftoversOfAKilledPacking()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(bool, removed);
        writeFile(path("a.rwx"), "Vertex 1 2 3\r\n");
        const QByteArray complete = makeArchive(path("complete.zip"), {{"a.rwx", "ModelBegin\r\nModelEnd\r\n"}});
        QVERIFY(QFile::remove(path("complete.zip")));
        const QByteArray partial = complete.left(40); // a local header, part of the data
        const QString planted = path(name);
        if (kind == "folder")
            QVERIFY(QDir().mkpath(planted));
        else if (kind == "link")
            QVERIFY(QFile::link(writeFile(path("elsewhere"), partial), planted));
        else
            writeFile(planted, kind == "empty"      ? QByteArray()
                               : kind == "complete" ? complete
                               : kind == "text"     ? QByteArray("my notes")
                                                    : partial);
        QFile held(planted);
        if (kind == "held")
            QVERIFY(held.open(QIODevice::ReadOnly) && flock(held.handle(), LOCK_EX) == 0);
        const QString before = fileState(planted);
        Pack p{bytes(""), 1};
        p.files = {"a.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QCOMPARE(fileState(planted), removed ? QStringLiteral("absent") : before);
        QCOMPARE(readArchive(path("a.zip")).size(), 1);
    }

    void updateAndFreshen_data()
    {
        QTest::addColumn<int>("update");
        QTest::addColumn<QByteArrayList>("names");
        QTest::newRow("update adds and replaces") << 1 << QByteArrayList{"a.rwx", "keep.txt", "new.rwx"};
        QTest::newRow("freshen only replaces") << 0 << QByteArrayList{"a.rwx", "keep.txt"};
    }
    void updateAndFreshen()
    {
        QFETCH(int, update);
        QFETCH(QByteArrayList, names);
        makeArchive(path("a.zip"), {{"a.rwx", "old"}, {"keep.txt", "kept"}});
        writeFile(path("a.rwx"), "newer", QDateTime::currentSecsSinceEpoch() + 3600);
        writeFile(path("new.rwx"), "added");
        Pack p{bytes(""), 1, update, !update};
        p.files = {"a.rwx", "new.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QByteArrayList got;
        for (const ArchiveEntry &e : readArchive(path("a.zip")))
            got << e.name;
        std::sort(got.begin(), got.end());
        QCOMPARE(got, names);
        QCOMPARE(readArchive(path("a.zip"))[0].data, QByteArray("newer"));
    }

    void recursesIntoFolders()
    {
        writeFile(path("m/a.rwx"), "a");
        writeFile(path("m/sub/b.rwx"), "b");
        writeFile(path("m/sub/deeper/c.rwx"), "c");
        Pack p{bytes(""), 0};
        p.recurse = 1;
        p.files = {"m"};
        p.archive = "m.zip";
        QCOMPARE(p.run(), ZE_OK);
        QByteArrayList got;
        for (const ArchiveEntry &e : readArchive(path("m.zip")))
            got << e.name + "=" + e.data;
        QCOMPARE(got, (QByteArrayList{"m/a.rwx=a", "m/sub/b.rwx=b", "m/sub/deeper/c.rwx=c"}));
    }

    void commentAndPassword()
    {
        if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            QSKIP("libzip without AES-256");
        writeFile(path("a.rwx"), "secret model\r\n");
        calls.comment = "made by the tests";
        calls.password = "pa ss";
        Pack p{bytes(""), 1};
        p.encrypt = p.comment = 1;
        p.files = {"a.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QCOMPARE(calls.passwordCalls, 1);
        QByteArray comment;
        const auto entries = readArchive(path("a.zip"), "pa ss", &comment);
        QCOMPARE(comment, QByteArray("made by the tests"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].encryption, quint16(ZIP_EM_AES_256));
        QCOMPARE(entries[0].data, QByteArray("secret model\r\n"));
        QVERIFY(readArchive(path("a.zip"), "wrong")[0].data != "secret model\r\n");
    }

    void refusesCallsFromItsCallbacks()
    {
        writeFile(path("a.rwx"), "a");
        calls.nest = true;
        Pack p{bytes(""), 1};
        p.files = {"a.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QCOMPARE(calls.nestedResult, ZE_LOGIC);
        QCOMPARE(folder(""), (QStringList{"a.rwx", "a.zip"}));
    }
};

ORVANE_CORE_TEST_MAIN(TestZip32)
#include "tst_zip32.moc"

// libzip32.so through its C interface; every archive is read back with libzip.
#include "zip32/zip32.h"
#include "support/testmain.h"

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Calls {
    QStringList printed;
    QStringList serviced;
    QList<qint32> sizes;
    int serviceAnswer = 0;
    QByteArray comment;
    QByteArray password;
    int passwordAnswer = 0;
    int passwordCalls = 0;
    int nestedResult = -100;
    bool nest = false;
};
Calls calls;

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

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data, qint64 mtime = 0)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
    f.close();
    if (mtime) {
        struct timespec times[2] = {{time_t(mtime), 0}, {time_t(mtime), 0}};
        QVERIFY(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0);
    }
}

struct Entry {
    QByteArray name;
    QByteArray data;
    quint16 method = 0;
    quint16 encryption = 0;
    qint64 mtime = 0;
};

// Every entry of the archive, in order; data read with the password if given.
std::vector<Entry> readArchive(const QString &path, const char *password = nullptr,
                               QByteArray *comment = nullptr)
{
    std::vector<Entry> entries;
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!za)
        return entries;
    if (comment) {
        int len = 0;
        const char *c = zip_get_archive_comment(za, &len, ZIP_FL_ENC_RAW);
        *comment = c ? QByteArray(c, len) : QByteArray();
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        Entry e{QByteArray(st.name), {}, st.comp_method, st.encryption_method, qint64(st.mtime)};
        zip_file_t *zf = password ? zip_fopen_index_encrypted(za, zip_uint64_t(i), 0, password)
                                  : zip_fopen_index(za, zip_uint64_t(i), 0);
        if (zf) {
            e.data.resize(qsizetype(st.size));
            if (zip_fread(zf, e.data.data(), st.size) != zip_int64_t(st.size))
                e.data = "<read error>";
            zip_fclose(zf);
        }
        entries.push_back(e);
    }
    zip_close(za);
    return entries;
}

QByteArray makeArchive(const QString &path, const QList<QPair<QByteArray, QByteArray>> &entries)
{
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (const auto &[name, data] : entries) {
        zip_source_t *src = zip_source_buffer(za, data.constData(), zip_uint64_t(data.size()), 0);
        zip_file_add(za, name.constData(), src, 0);
    }
    zip_close(za);
    return readFile(path);
}

mode_t currentUmask()
{
    const mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// One packing call: options, then the archive.
struct Pack {
    QByteArray root;
    bool rootNull = false;
    int strip = 1;
    int update = 0, freshen = 0, recurse = 0, encrypt = 0, comment = 0;
    char level = '9';
    QList<QByteArray> files;
    QByteArray archive;
    int32_t count = -1; // -1: files.size()

    int32_t run()
    {
        ZpCallbacks cb{onPrint, onComment, onPassword, onService};
        ZpInit(&cb);
        ZpOptions o{};
        o.rootFolder = rootNull ? nullptr : root.data();
        o.fStripFolders = strip;
        o.fUpdate = update;
        o.fFreshen = freshen;
        o.fRecurse = recurse;
        o.fEncrypt = encrypt;
        o.fComment = comment;
        o.fLevel = level;
        ZpSetOptions(&o);
        ZpNames names{};
        for (int i = 0; i < files.size() && i < ZP_MAX_FILES; ++i)
            names.name[i] = files[i].data();
        return ZpArchive(count < 0 ? int32_t(files.size()) : count, archive.data(), &names);
    }
};

} // namespace

class TestZip32 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *m_dir = nullptr;
    QString path(const QString &rel) const { return m_dir->filePath(rel); }
    QByteArray bytes(const QString &rel) const { return QFile::encodeName(path(rel)); }

private slots:
    void init()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        calls = Calls{};
    }
    void cleanup()
    {
        delete m_dir;
        m_dir = nullptr;
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
        const QByteArray content = readFile(QStringLiteral(ORVANE_SAMPLES_DIR "/skyw3.rwx"));
        QVERIFY(!content.isEmpty());
        const qint64 mtime = 1589710831; // 2020-05-17 10:20:31 UTC
        writeFile(path("models/house13.rwx"), content, mtime);
        Pack p;
        p.root = "/";
        p.level = level;
        p.files = {bytes("models/house13.rwx")};
        p.archive = bytes("zips/house13.zip");
        QDir().mkpath(path("zips"));
        QCOMPARE(p.run(), ZE_OK);

        const auto entries = readArchive(path("zips/house13.zip"));
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].name, QByteArray("house13.rwx"));
        QCOMPARE(entries[0].method, method);
        QCOMPARE(entries[0].data, content);
        // Entry times are kept to two seconds.
        QVERIFY2(entries[0].mtime <= mtime && entries[0].mtime >= mtime - 1,
                 qPrintable(QString::number(entries[0].mtime)));
        QCOMPARE(calls.printed, QStringList{"  adding: house13.rwx"});
        QCOMPARE(calls.serviced, QStringList{"house13.rwx"});
        QCOMPARE(calls.sizes, QList<qint32>{qint32(content.size())});
        struct stat st;
        QCOMPARE(stat(bytes("zips/house13.zip").constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0666 & ~currentUmask());
        QCOMPARE(QDir(path("zips")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"house13.zip"});
    }

    void entryNames_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("strip");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("name");
        // root "@" stands for the temporary folder, file/archive "@/x" for a path in it.
        QTest::newRow("strip: bare name") << "@" << 1 << "@/a/b/c.rwx" << "@/out.zip" << 0
                                          << QByteArray("c.rwx");
        QTest::newRow("relative to root") << "@" << 0 << "@/a/b/c.rwx" << "@/out.zip" << 0
                                          << QByteArray("a/b/c.rwx");
        QTest::newRow("relative file name") << "@/a" << 0 << "b/c.rwx" << "@/out.zip" << 0
                                            << QByteArray("b/c.rwx");
        QTest::newRow("relative archive path") << "@" << 1 << "@/a/b/c.rwx" << "out.zip" << 0
                                               << QByteArray("c.rwx");
        QTest::newRow("outside root refused") << "@/a/b" << 0 << "@/x.rwx" << "@/out.zip"
                                              << ZE_PARMS << QByteArray();
        QTest::newRow("dot-dot in relative name") << "@/a" << 0 << "../x.rwx" << "@/out.zip"
                                                  << ZE_PARMS << QByteArray();
        QTest::newRow("UTF-8 name") << "@" << 1 << "@/häuschen7.rwx" << "@/out.zip" << 0
                                    << QByteArray("h\xc3\xa4uschen7.rwx");
        QTest::newRow("empty name") << "@" << 1 << "" << "@/out.zip" << ZE_PARMS << QByteArray();
    }
    void entryNames()
    {
        QFETCH(QString, root);
        QFETCH(int, strip);
        QFETCH(QString, file);
        QFETCH(QString, archive);
        QFETCH(int, code);
        QFETCH(QByteArray, name);
        const QString base = m_dir->path();
        writeFile(path("a/b/c.rwx"), "Vertex 1 2 3\r\n");
        writeFile(path("x.rwx"), "Quad 1 2 3 4\r\n");
        writeFile(path("häuschen7.rwx"), "ModelEnd\r\n");
        Pack p;
        p.root = QFile::encodeName(root.replace('@', base));
        p.strip = strip;
        p.files = {QFile::encodeName(file.replace('@', base))};
        p.archive = QFile::encodeName(archive.replace('@', base));
        QCOMPARE(p.run(), code);
        const auto entries = readArchive(path("out.zip"));
        if (code != ZE_OK) {
            QVERIFY(!QFileInfo::exists(path("out.zip")));
            return;
        }
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].name, name);
    }

    void replacesSameNameKeepsOthers()
    {
        writeFile(path("house13.rwx"), "new text\r\n");
        makeArchive(path("house13.zip"),
                    {{"keep.txt", "kept"}, {"house13.rwx", "old text"}, {"z/other.rwx", "o"}});
        QVERIFY(chmod(bytes("house13.zip").constData(), 0600) == 0);
        Pack p;
        p.root = bytes("");
        p.files = {bytes("house13.rwx")};
        p.archive = bytes("house13.zip");
        QCOMPARE(p.run(), ZE_OK);
        const auto entries = readArchive(path("house13.zip"));
        QCOMPARE(entries.size(), size_t(3));
        QCOMPARE(entries[0].name, QByteArray("keep.txt"));
        QCOMPARE(entries[0].data, QByteArray("kept"));
        QCOMPARE(entries[1].name, QByteArray("house13.rwx"));
        QCOMPARE(entries[1].data, QByteArray("new text\r\n"));
        QCOMPARE(entries[2].data, QByteArray("o"));
        QCOMPARE(calls.printed, QStringList{"updating: house13.rwx"});
        struct stat st;
        QCOMPARE(stat(bytes("house13.zip").constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0666 & ~currentUmask());
    }

    // Failed calls: the code, and the archive path exactly as before
    // (absent, or the same bytes), and no stray file in its folder.
    void failures_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("code");
        QTest::newRow("not a zip archive") << "notzip" << ZE_FORM;
        QTest::newRow("truncated zip archive") << "truncated" << ZE_FORM;
        QTest::newRow("archive folder under a regular file") << "parentfile" << -1;
        QTest::newRow("archive folder missing") << "nofolder" << ZE_CREAT;
        QTest::newRow("source missing, no archive") << "nosource" << ZE_OPEN;
        QTest::newRow("source missing, archive kept") << "nosource+zip" << ZE_OPEN;
        QTest::newRow("level is the number 9") << "level9" << ZE_PARMS;
        QTest::newRow("level is a letter") << "levelx" << ZE_PARMS;
        QTest::newRow("count 0") << "count0" << ZE_PARMS;
        QTest::newRow("count 101") << "count101" << ZE_PARMS;
        QTest::newRow("null slot within count") << "nullslot" << ZE_PARMS;
        QTest::newRow("same bare name twice") << "duplicate" << ZE_PARMS;
        QTest::newRow("service aborts, archive kept") << "abort+zip" << ZE_ABORT;
        QTest::newRow("password cancelled") << "nopassword" << ZE_ABORT;
        QTest::newRow("folder without recursion") << "folder" << ZE_NONE;
        QTest::newRow("freshen, entry absent") << "freshen+zip" << ZE_NONE;
        QTest::newRow("update, entry newer") << "update+zip" << ZE_NONE;
    }
    void failures()
    {
        QFETCH(QString, setup);
        QFETCH(int, code);
        writeFile(path("src/a.rwx"), "ModelBegin\r\nModelEnd\r\n", 1500000000);
        writeFile(path("src/sub/a.rwx"), "other\r\n");
        QDir().mkpath(path("out"));
        Pack p;
        p.root = bytes("src");
        p.files = {bytes("src/a.rwx")};
        p.archive = bytes("out/a.zip");
        QString archive = path("out/a.zip");
        QByteArray before;
        if (setup == "notzip")
            writeFile(archive, before = "ModelBegin\r\nnot a zip at all\r\n");
        if (setup == "truncated")
            writeFile(archive, before = makeArchive(archive, {{"x", "yyyyyyyy"}}).left(30));
        if (setup.endsWith("+zip"))
            before = makeArchive(archive, {{"keep.txt", "kept"}, {"a.rwx", "old"}});
        if (setup == "parentfile") {
            writeFile(path("out/file"), "plain");
            archive = path("out/file/sub/a.zip");
            p.archive = QFile::encodeName(archive);
        }
        if (setup == "nofolder") {
            archive = path("out/missing/a.zip");
            p.archive = QFile::encodeName(archive);
        }
        if (setup.startsWith("nosource"))
            p.files = {bytes("src/missing.rwx")};
        if (setup == "level9")
            p.level = 9;
        if (setup == "levelx")
            p.level = 'x';
        if (setup == "count0")
            p.count = 0;
        if (setup == "count101")
            p.count = 101;
        if (setup == "nullslot")
            p.count = 2;
        if (setup == "duplicate")
            p.files = {bytes("src/a.rwx"), bytes("src/sub/a.rwx")};
        if (setup == "abort+zip")
            calls.serviceAnswer = 1;
        if (setup == "nopassword") {
            p.encrypt = 1;
            calls.password = "secret";
            calls.passwordAnswer = 1;
        }
        if (setup == "folder")
            p.files = {bytes("src/sub")};
        if (setup == "freshen+zip") {
            p.freshen = 1;
            p.files = {bytes("src/sub/a.rwx")};
            p.strip = 0;
        }
        if (setup == "update+zip") {
            p.update = 1; // the file is from 2017, the entry from now
        }
        const QStringList folderBefore =
            QDir(QFileInfo(archive).absolutePath()).entryList(QDir::Files | QDir::Hidden);

        const int32_t result = p.run();
        if (code == -1)
            QVERIFY(result != ZE_OK);
        else
            QCOMPARE(result, code);
        if (before.isNull())
            QVERIFY(!QFileInfo::exists(archive));
        else
            QCOMPARE(readFile(archive), before);
        QCOMPARE(QDir(QFileInfo(archive).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                 folderBefore);
    }

    void updateAndFreshenReplaceOlderEntries_data()
    {
        QTest::addColumn<int>("update");
        QTest::addColumn<int>("freshen");
        QTest::addColumn<QByteArrayList>("names");
        QTest::newRow("update adds and replaces")
            << 1 << 0 << QByteArrayList{"a.rwx", "keep.txt", "new.rwx"};
        QTest::newRow("freshen only replaces") << 0 << 1 << QByteArrayList{"a.rwx", "keep.txt"};
    }
    void updateAndFreshenReplaceOlderEntries()
    {
        QFETCH(int, update);
        QFETCH(int, freshen);
        QFETCH(QByteArrayList, names);
        makeArchive(path("a.zip"), {{"a.rwx", "old"}, {"keep.txt", "kept"}});
        writeFile(path("a.rwx"), "newer", QDateTime::currentSecsSinceEpoch() + 3600);
        writeFile(path("new.rwx"), "added");
        Pack p;
        p.root = bytes("");
        p.update = update;
        p.freshen = freshen;
        p.files = {"a.rwx", "new.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        const auto entries = readArchive(path("a.zip"));
        QByteArrayList got;
        for (const Entry &e : entries)
            got << e.name;
        std::sort(got.begin(), got.end());
        QCOMPARE(got, names);
        QCOMPARE(entries[0].data, QByteArray("newer"));
    }

    void recursesIntoFolders()
    {
        writeFile(path("m/a.rwx"), "a");
        writeFile(path("m/sub/b.rwx"), "b");
        writeFile(path("m/sub/deeper/c.rwx"), "c");
        Pack p;
        p.root = bytes("");
        p.strip = 0;
        p.recurse = 1;
        p.files = {"m"};
        p.archive = "m.zip";
        QCOMPARE(p.run(), ZE_OK);
        const auto entries = readArchive(path("m.zip"));
        QCOMPARE(entries.size(), size_t(3));
        QCOMPARE(entries[0].name, QByteArray("m/a.rwx"));
        QCOMPARE(entries[1].name, QByteArray("m/sub/b.rwx"));
        QCOMPARE(entries[2].name, QByteArray("m/sub/deeper/c.rwx"));
        QCOMPARE(entries[2].data, QByteArray("c"));
    }

    void commentAndPassword()
    {
        if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            QSKIP("libzip without AES-256");
        writeFile(path("a.rwx"), "secret model\r\n");
        calls.comment = "made by the tests";
        calls.password = "pa ss";
        Pack p;
        p.root = bytes("");
        p.encrypt = 1;
        p.comment = 1;
        p.files = {"a.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QCOMPARE(calls.passwordCalls, 1);
        QByteArray comment;
        const auto entries = readArchive(path("a.zip"), "pa ss", &comment);
        QCOMPARE(comment, QByteArray("made by the tests"));
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].encryption, quint16(ZIP_EM_AES_256));
        QCOMPARE(entries[0].data, QByteArray("secret model\r\n"));
        QVERIFY(readArchive(path("a.zip"), "wrong")[0].data != "secret model\r\n");
    }

    void refusesCallsFromItsCallbacks()
    {
        writeFile(path("a.rwx"), "a");
        calls.nest = true;
        Pack p;
        p.root = bytes("");
        p.files = {"a.rwx"};
        p.archive = "a.zip";
        QCOMPARE(p.run(), ZE_OK);
        QCOMPARE(calls.nestedResult, ZE_LOGIC);
        QVERIFY(!QFileInfo::exists(path("nested.zip")));
        QCOMPARE(readArchive(path("a.zip")).size(), size_t(1));
    }
};

ORVANE_CORE_TEST_MAIN(TestZip32)
#include "tst_zip32.moc"

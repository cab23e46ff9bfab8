// PackZip end to end: the real libzip32.so found beside the executable,
// archives read back with libzip.
#include "support/testmain.h"
#include "zip/vbzipbas.h"

#include <zip.h>

#include <QFile>
#include <QTemporaryDir>

using namespace VBZipBas;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

struct Entry {
    QByteArray name;
    QByteArray data;
    quint16 method;
    quint16 encryption;
};

QList<Entry> readArchive(const QString &path, const char *password = nullptr)
{
    QList<Entry> entries;
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!za)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(za, zip_uint64_t(i), 0, &st);
        Entry e{st.name, {}, st.comp_method, st.encryption_method};
        zip_file_t *zf = password ? zip_fopen_index_encrypted(za, zip_uint64_t(i), 0, password)
                                  : zip_fopen_index(za, zip_uint64_t(i), 0);
        if (zf) {
            e.data.resize(qsizetype(st.size));
            zip_fread(zf, e.data.data(), st.size);
            zip_fclose(zf);
        }
        entries << e;
    }
    zip_close(za);
    return entries;
}

} // namespace

class TestPack : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // "Save Zip Next" after house12.rwx was dropped: save house13.rwx, pack it.
    qint32 saveAndPack(const QByteArray &text, const QString &archive)
    {
        const QString saved = m_dir.filePath("models/house13.rwx");
        QDir().mkpath(m_dir.filePath("models"));
        QDir().mkpath(m_dir.filePath("zips"));
        writeFile(saved, text);
        encryptFiles = 0;
        stripFolders = 1;
        updateOnly = 0;
        freshenOnly = 0;
        askComment = 0;
        recurseFolders = 0;
        compressionLevel = 57;
        fileCount = 1;
        archivePath = archive;
        fileNames[0] = saved;
        rootFolder = "/";
        return PackZip();
    }

private slots:
    void packsTheSavedFile()
    {
        const QByteArray text = readFile(ORVANE_SAMPLES_DIR "/sv-nutcracker1.rwx");
        QVERIFY(!text.isEmpty());
        const QString archive = m_dir.filePath("zips/house13.zip");
        QCOMPARE(saveAndPack(text, archive), 0);
        auto entries = readArchive(archive);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QByteArray("house13.rwx"));
        QCOMPARE(entries[0].method, quint16(ZIP_CM_DEFLATE));
        QCOMPARE(entries[0].data, text);
        QVERIFY(QFileInfo(archive).size() < text.size() / 2);

        // The same number again replaces the entry.
        QCOMPARE(saveAndPack("ModelBegin\r\nModelEnd\r\n", archive), 0);
        entries = readArchive(archive);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].data, QByteArray("ModelBegin\r\nModelEnd\r\n"));
    }

    void notAZipArchiveIsLeftAlone()
    {
        const QString archive = m_dir.filePath("zips/notes.zip");
        QDir().mkpath(m_dir.filePath("zips"));
        writeFile(archive, "my notes, not an archive\r\n");
        const qint32 code = saveAndPack("Vertex 0 0 0\r\n", archive);
        QCOMPARE(code, ZE_FORM);
        QCOMPARE(readFile(archive), QByteArray("my notes, not an archive\r\n"));
        QCOMPARE(describeResult(code),
                 QStringLiteral("the archive path holds a file that is not a zip archive"));
    }

    void encryptsWithThePromptedPassword()
    {
        if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            QSKIP("libzip without AES-256");
        QStringList prompts;
        setPrompt([&prompts](const QString &text) -> std::optional<QString> {
            prompts << text;
            return text.contains("Password") ? QString("s\u00e9same") : QString("a comment");
        });
        askComment = 1;
        const QString archive = m_dir.filePath("zips/secret.zip");
        const QString saved = m_dir.filePath("models/house13.rwx");
        writeFile(saved, "Quad 1 2 3 4\r\n");
        encryptFiles = 1;
        archivePath = archive;
        fileNames[0] = saved;
        QCOMPARE(PackZip(), 0);
        setPrompt(nullptr);
        encryptFiles = 0;
        askComment = 0;
        QCOMPARE(prompts, (QStringList{"Please Enter The Password!", "Enter the comment"}));
        const auto entries = readArchive(archive, "s\xc3\xa9same");
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].encryption, quint16(ZIP_EM_AES_256));
        QCOMPARE(entries[0].data, QByteArray("Quad 1 2 3 4\r\n"));
    }
};

ORVANE_CORE_TEST_MAIN(TestPack)
#include "tst_pack.moc"

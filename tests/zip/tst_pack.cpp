// PackZip and BackgroundPack end to end: the real libzip32.so found beside
// the executable, archives read back with libzip.
#include "support/testmain.h"
#include "zip/vbzipbas.h"
#include "support/archive.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>


using namespace VBZipBas;
using namespace orvane_test;

class TestPack : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // "Save Zip Next" after house12.rwx was dropped: save house13.rwx, pack it,
    // with the encrypt and comment options as given.
    qint32 saveAndPack(const QByteArray &text, const QString &archive, qint16 encryptAndComment = 0)
    {
        saveAndAssign(text, archive, encryptAndComment);
        return PackZip();
    }
    void saveAndAssign(const QByteArray &text, const QString &archive, qint16 encryptAndComment = 0)
    {
        const QString saved = m_dir.filePath("models/house13.rwx");
        writeFile(saved, text);
        QDir().mkpath(m_dir.filePath("zips"));
        assignSaveNextSettings(archive, saved, QStringLiteral("/"));
        settings().encryptFiles = settings().askComment = encryptAndComment;
    }
    // The same in the background, with the library's questions put to `prompt`.
    qint32 saveAndPackInTheBackground(const QByteArray &text, const QString &archive, qint16 encryptAndComment,
                                      const Prompt &prompt)
    {
        saveAndAssign(text, archive, encryptAndComment);
        BackgroundPack pack(prompt);
        QSignalSpy finished(&pack, &BackgroundPack::finished);
        QString error;
        if (!pack.start(settings(), &error))
            qFatal("%s", qPrintable(error));
        return finished.wait(60000) ? finished[0][0].toInt() : -100;
    }

private slots:
    void packsTheSavedFile()
    {
        const QByteArray text = readFile(dataFile("figure.rwx"));
        QVERIFY(!text.isEmpty());
        const QString archive = m_dir.filePath("zips/house13.zip");
        QCOMPARE(saveAndPack(text, archive), 0);
        auto entries = readArchive(archive);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QByteArray("house13.rwx"));
        QCOMPARE(entries[0].method, quint16(ZIP_CM_DEFLATE));
        QCOMPARE(entries[0].data, text);

        // The same number again replaces the entry.
        QCOMPARE(saveAndPack("ModelBegin\r\nModelEnd\r\n", archive), 0);
        entries = readArchive(archive);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].data, QByteArray("ModelBegin\r\nModelEnd\r\n"));

        // A file that is not an archive is left alone, with a reason to show.
        const QString notes = m_dir.filePath("zips/notes.zip");
        writeFile(notes, "my notes\r\n");
        QCOMPARE(saveAndPack("Vertex 0 0 0\r\n", notes), ZE_FORM);
        QCOMPARE(readFile(notes), QByteArray("my notes\r\n"));
        QCOMPARE(describeResult(ZE_FORM),
                 QStringLiteral("the archive path holds a file that is not a zip archive"));
    }

    // In the background, the questions are asked on this thread.
    void encryptsWithThePromptedPassword()
    {
        if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1))
            QSKIP("libzip without AES-256");
        QStringList prompts;
        const auto prompt = [&prompts](const QString &text) -> std::optional<QString> {
            prompts << text + (QThread::currentThread() == qApp->thread() ? "" : " (on the worker)");
            return text.contains("Password") ? QString("s\u00e9same") : QString("a comment");
        };
        const QString archive = m_dir.filePath("zips/secret.zip");
        const qint32 code = saveAndPackInTheBackground("Quad 1 2 3 4\r\n", archive, 1, prompt);
        settings() = PackingSettings();
        QCOMPARE(code, 0);
        QCOMPARE(prompts, (QStringList{"Please Enter The Password!", "Enter the comment"}));
        QByteArray comment;
        const auto entries = readArchive(archive, "s\xc3\xa9same", &comment);
        QCOMPARE(comment, QByteArray("a comment"));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].encryption, quint16(ZIP_EM_AES_256));
        QCOMPARE(entries[0].data, QByteArray("Quad 1 2 3 4\r\n"));
    }
};

ORVANE_CORE_TEST_MAIN(TestPack)
#include "tst_pack.moc"

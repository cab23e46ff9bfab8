// The packing module against the recording stand-in of the zip library:
// records as the library receives them, write-backs, packing in the
// background, the callback buffers and a missing or damaged library.
#include "recorder.h"
#include "support/files.h"
#include "support/packinggate.h"
#include "support/testmain.h"
#include "zip/vbzipbas.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <dlfcn.h>

#include <algorithm>

using namespace VBZipBas;

namespace {

const QString cancel = QStringLiteral("<Cancel>");
const QString noPrompt = QStringLiteral("<no prompt set>");

QString recorderPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libzip32rec.so");
}

// The bytes a buffer of the stand-in library held after the callback.
QByteArray bufferBytes(const unsigned char *buffer, int size)
{
    return QByteArray(reinterpret_cast<const char *>(buffer), size);
}

} // namespace

class TestVBZipBas : public QObject
{
    Q_OBJECT

    RecorderState *m_rec = nullptr;
    QStringList m_prompts;

    // A prompt that notes each question and gives `answer` (cancel: none).
    Prompt answering(const QString &answer)
    {
        if (answer == noPrompt)
            return nullptr;
        return [this, answer](const QString &text) -> std::optional<QString> {
            m_prompts << text;
            if (answer == cancel)
                return std::nullopt;
            return answer;
        };
    }

    // Starts `pack` on the settings, which must start.
    static void start(BackgroundPack &pack)
    {
        QString error;
        QVERIFY2(pack.start(settings(), &error), qPrintable(error));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(recorderPath()), qPrintable(recorderPath()));
        QLibrary recorder(recorderPath());
        auto get = reinterpret_cast<RecorderState *(*)()>(recorder.resolve("RecorderGetState"));
        QVERIFY(get);
        m_rec = get();
        setLibraryFileName(recorderPath());
    }

    void init()
    {
        const int calls = m_rec->calls;
        *m_rec = RecorderState{};
        m_rec->calls = calls;
        m_prompts.clear();
    }

    // Runs first: nothing has been assigned yet.
    void settingsStartEmpty()
    {
        QCOMPARE(settings().fileCount, qint16(0));
        QCOMPARE(settings().compressionLevel, qint16(0));
        QVERIFY(settings().archivePath.isNull() && settings().rootFolder.isNull() && settings().sinceDate.isNull()
                && settings().tempFolder.isNull());
        for (const QString &name : settings().fileNames)
            QVERIFY(name.isNull());
    }

    void recordsAsTheLibraryReceivesThem()
    {
        const QString saved = QStringLiteral("/tmp/mod\u00e8les/house13.rwx");
        assignSaveNextSettings(QStringLiteral("/tmp/zips/house13.zip"), saved, QStringLiteral("/"));
        m_rec->initResult = 21;
        m_rec->setOptionsResult = 22;
        m_rec->archiveResult = 7;

        QCOMPARE(PackZip(), 7); // the archive call's result
        QCOMPARE(QByteArray(m_rec->sequence), QByteArray("ISA"));

        QVERIFY(m_rec->callbacks.print == &OnZipPrint);
        QVERIFY(m_rec->callbacks.comment == &OnZipComment);
        QVERIFY(m_rec->callbacks.password == &OnZipPassword);
        QVERIFY(m_rec->callbacks.service == &OnZipService);

        QVERIFY(m_rec->date.isNull);
        QVERIFY(m_rec->tempFolder.isNull);
        QVERIFY(!m_rec->rootFolder.isNull);
        QCOMPARE(QByteArray(m_rec->rootFolder.text), QByteArray("/"));
        const int32_t flags[8] = {0, 1, 0, 0, 0, 0, 0, 0};
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m_rec->flags), sizeof flags),
                 QByteArray(reinterpret_cast<const char *>(flags), sizeof flags));
        QCOMPARE(int(m_rec->level), 57);

        QCOMPARE(m_rec->count, 1);
        QVERIFY(!m_rec->archivePath.isNull);
        QCOMPARE(QByteArray(m_rec->archivePath.text), QByteArray("/tmp/zips/house13.zip"));
        QCOMPARE(QByteArray(m_rec->slot0.text), QByteArray("/tmp/mod\xc3\xa8les/house13.rwx"));
        QCOMPARE(m_rec->slotIsNull[0], 0);
        for (int i = 1; i < ZP_MAX_FILES; ++i)
            QVERIFY2(m_rec->slotIsNull[i], qPrintable(QString::number(i)));

        // The settings keep their values.
        QCOMPARE(settings().archivePath, QStringLiteral("/tmp/zips/house13.zip"));
        QCOMPARE(settings().fileNames[0], saved);
        QCOMPARE(settings().compressionLevel, qint16(57));
        QVERIFY(settings().sinceDate.isNull());
        QCOMPARE(m_prompts, QStringList());
    }

    void flagsWidenWithTheirSign()
    {
        assignSaveNextSettings("a.zip", "a.rwx", "");
        settings().encryptFiles = -1;
        settings().askComment = 2;
        settings().compressionLevel = 300; // narrowed to one byte
        settings().sinceDate = "2026-01-02";
        settings().tempFolder = "";
        PackZip();
        QCOMPARE(m_rec->flags[0], -1);
        QCOMPARE(m_rec->flags[4], 2);
        QCOMPARE(int(m_rec->level), 300 & 0xFF);
        QCOMPARE(QByteArray(m_rec->date.text), QByteArray("2026-01-02"));
        QVERIFY(!m_rec->tempFolder.isNull);
        QCOMPARE(QByteArray(m_rec->tempFolder.text), QByteArray());
        QVERIFY(!m_rec->rootFolder.isNull); // empty, not null
        settings() = PackingSettings();
    }

    void libraryWritesReachTheSettings()
    {
        assignSaveNextSettings("/tmp/zips/house13.zip", "/tmp/models/house13.rwx", "/tmp/");
        m_rec->writeBack = 1;
        QCOMPARE(PackZip(), 0);
        QCOMPARE(settings().archivePath, QStringLiteral("/TMP/ZIPS/HOUSE13.ZIP"));
        QCOMPARE(settings().fileNames[0], QStringLiteral("/TMP/MODELS/HOUSE13.RWX"));
        QCOMPARE(settings().fileNames[1], QStringLiteral("written by the library"));
        QCOMPARE(settings().rootFolder, QStringLiteral("/tmp/")); // the setting itself is not the record
        settings() = PackingSettings();
    }

    // While a packing runs in the background, no other starts, on either
    // path, until its end has reached this thread.
    void refusesPackingWhilePacking()
    {
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->archiveResult = 3;
        m_rec->callProgress = 1;
        auto gate = std::make_unique<orvane_test::PackingGate>(recorderPath());
        BackgroundPack pack, other;
        QSignalSpy finished(&pack, &BackgroundPack::finished);
        const int before = m_rec->calls;
        start(pack);
        QVERIFY(pack.isRunning());
        QTRY_VERIFY(gate->holding());
        QCOMPARE(PackZip(), ResultAlreadyRunning);
        QString error;
        QVERIFY(!pack.start(settings(), &error));
        QCOMPARE(error, QStringLiteral("another archive is still being written"));
        QVERIFY(!other.start(settings(), &error));
        QCOMPARE(m_rec->calls - before, 3);
        gate->release();
        QVERIFY(finished.wait());
        gate.reset();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 3);
        QVERIFY(!pack.isRunning());
        QCOMPARE(QByteArray(m_rec->sequence), QByteArray("ISA"));
        // Once it has ended, packing works again.
        QCOMPARE(PackZip(), 3);
        QCOMPARE(m_rec->calls - before, 6);
    }

    // The library's questions from the worker are asked on this thread, and
    // their answers reach the library's buffers.
    void questionsFromTheWorkerAreAskedHere()
    {
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->callPrompts = 3;
        QList<bool> askedHere;
        BackgroundPack pack([&](const QString &text) -> std::optional<QString> {
            m_prompts << text;
            askedHere << (QThread::currentThread() == qApp->thread());
            return text.contains("Password") ? QString("abc") : QString("a comment");
        });
        QSignalSpy finished(&pack, &BackgroundPack::finished);
        start(pack);
        QVERIFY(finished.wait());
        QCOMPARE(m_prompts, (QStringList{"Please Enter The Password!", "Enter the comment"}));
        QCOMPARE(askedHere, (QList<bool>{true, true}));
        QCOMPARE(m_rec->passwordResult, 0);
        QCOMPARE(QByteArray(m_rec->password.text), QByteArray("abc"));
        QCOMPARE(QByteArray(m_rec->comment.text), QByteArray("a comment"));
    }

    // Ending a packing whose question waits for this thread neither waits
    // for an answer nor asks later: the question is given up as on Cancel.
    // The packing ends either by going away or by cancel() while the
    // question is open, the prompt's own event loop handling its end.
    void endedWhileAQuestionWaits_data()
    {
        QTest::addColumn<bool>("cancelInThePrompt");
        QTest::newRow("packing destroyed") << false;
        QTest::newRow("cancelled while the prompt is open") << true;
    }
    void endedWhileAQuestionWaits()
    {
        QFETCH(bool, cancelInThePrompt);
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->callPrompts = 3;
        if (cancelInThePrompt) {
            bool answered = false;
            BackgroundPack pack([&](const QString &text) -> std::optional<QString> {
                m_prompts << text;
                QSignalSpy ended(&pack, &BackgroundPack::finished);
                pack.cancel();
                answered = ended.wait();
                return QString("abc");
            });
            start(pack);
            QTRY_VERIFY(answered);
            QVERIFY(!pack.isRunning());
            QCOMPARE(m_prompts, QStringList{"Please Enter The Password!"});
        } else {
            BackgroundPack pack(answering("abc"));
            start(pack);
            // Until the worker asks (this thread handles no events meanwhile).
            const QDeadlineTimer deadline(30000);
            while (!__atomic_load_n(&m_rec->askingPassword, __ATOMIC_SEQ_CST) && !deadline.hasExpired())
                QThread::yieldCurrentThread();
            QVERIFY(m_rec->askingPassword);
        }
        QCoreApplication::processEvents();
        if (!cancelInThePrompt)
            QCOMPARE(m_prompts, QStringList());
        QCOMPARE(m_rec->passwordResult, 1);
        QCOMPARE(QByteArray(m_rec->password.text), QByteArray());
        QCOMPARE(QByteArray(m_rec->comment.text), QByteArray());
        QCOMPARE(PackZip(), 0); // nothing is left running
    }

    // The password buffer as the library sees it after the callback: each
    // buffer byte starts as 0x55.
    void passwordBuffer_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("bufferSize");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("stored"); // null: buffer untouched
        QTest::newRow("n=10, three characters") << 10 << 16 << "abc" << 0 << QByteArray("abc");
        QTest::newRow("Cancel") << 10 << 16 << cancel << 1 << QByteArray();
        QTest::newRow("empty entry") << 10 << 16 << "" << 1 << QByteArray();
        QTest::newRow("no prompt set") << 10 << 16 << noPrompt << 1 << QByteArray();
        QTest::newRow("blanks count") << 10 << 16 << "  " << 0 << QByteArray("  ");
        QTest::newRow("n-1 characters fit") << 10 << 16 << "123456789" << 0
                                            << QByteArray("123456789");
        QTest::newRow("n characters refused") << 10 << 16 << "1234567890" << 1 << QByteArray();
        QTest::newRow("longer than the buffer") << 10 << 16 << QString(40, 'p') << 1
                                                << QByteArray();
        QTest::newRow("two-byte characters fit")
            << 10 << 16 << "\u00e9\u00e9\u00e9\u00e9" << 0 << QByteArray("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9");
        QTest::newRow("two-byte characters too long")
            << 10 << 16 << "\u00e9\u00e9\u00e9\u00e9\u00e9" << 1 << QByteArray();
        QTest::newRow("n=1 has no room") << 1 << 16 << "a" << 1 << QByteArray();
        QTest::newRow("n=0") << 0 << 16 << "a" << 1 << QByteArray();
        QTest::newRow("n beyond 4097, 4096 characters")
            << 100000 << 5000 << QString(4096, 'x') << 0 << QByteArray(4096, 'x');
        QTest::newRow("n beyond 4097, 4097 characters")
            << 100000 << 5000 << QString(4097, 'x') << 1 << QByteArray();
    }
    void passwordBuffer()
    {
        QFETCH(int, size);
        QFETCH(int, bufferSize);
        QFETCH(QString, answer);
        QFETCH(int, result);
        QFETCH(QByteArray, stored);
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->callPrompts = 1;
        m_rec->fill = 0x55;
        m_rec->passwordBufferSize = bufferSize;
        m_rec->passwordSizeGiven = 1;
        m_rec->passwordSize = size;
        QCOMPARE(PackZip(answering(answer)), 0);
        QCOMPARE(m_rec->passwordResult, result);
        QByteArray expected(bufferSize, '\x55');
        if (!stored.isNull()) {
            const int zeroed = std::min(size, 4097);
            expected.replace(0, zeroed, QByteArray(zeroed, '\0'));
            expected.replace(0, stored.size(), stored);
        }
        QCOMPARE(bufferBytes(m_rec->passwordBuffer, bufferSize), expected);
        if (size >= 2 && answer != noPrompt)
            QCOMPARE(m_prompts, QStringList{"Please Enter The Password!"});
    }

    // The comment buffer as the library sees it after the callback: each
    // byte of a buffer longer than the library's starts as 0x55.
    void commentBuffer_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("stored"); // null: buffer untouched
        QTest::newRow("a comment") << "Made in Orvane" << QByteArray("Made in Orvane");
        QTest::newRow("Cancel") << cancel << QByteArray();
        QTest::newRow("empty entry") << "" << QByteArray();
        QTest::newRow("no prompt set") << noPrompt << QByteArray();
        QTest::newRow("exactly 4096 bytes") << QString(4096, 'c') << QByteArray(4096, 'c');
        QTest::newRow("5000 characters cut to 4096") << QString(5000, 'c') << QByteArray(4096, 'c');
        QTest::newRow("cut between characters")
            << QString("a") + QString(3000, QChar(0xe9))
            << QByteArray("a") + QByteArray("\xc3\xa9").repeated(2047);
    }
    void commentBuffer()
    {
        QFETCH(QString, answer);
        QFETCH(QByteArray, stored);
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->callPrompts = 2;
        m_rec->fill = 0x55;
        m_rec->commentBufferSize = 6000;
        QCOMPARE(PackZip(answering(answer)), 0);
        QCOMPARE(m_rec->commentResult, 1);
        QByteArray expected(6000, '\x55');
        if (!stored.isNull()) {
            expected.replace(0, stored.size(), stored);
            expected[stored.size()] = '\0';
        }
        QCOMPARE(bufferBytes(m_rec->commentBuffer, 6000), expected);
        if (answer != noPrompt)
            QCOMPARE(m_prompts, QStringList{"Enter the comment"});
    }

    // Nothing runs inside the library's calls but the library.
    void printAndServiceAnswerZero()
    {
        int ran = 0;
        QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
        QCOMPARE(OnZipPrint("  adding: a.rwx", 15), 0);
        QCOMPARE(ran, 0);
        QCoreApplication::processEvents();
        QCOMPARE(ran, 1);
        QCOMPARE(OnZipPrint(nullptr, 0), 0);
        QCOMPARE(OnZipService("a.rwx", 1000), 0);
        QCOMPARE(m_prompts, QStringList());
    }

    // Runs last: it swaps the library out. A damaged copy of the real
    // library is never handed to the loader, which would fault on it; a
    // library without the zip entries is let go again. Either way, the right
    // library put in the same place is found at the next call.
    void missingOrDamagedLibrary_data()
    {
        QTest::addColumn<QString>("damage"); // what is at the library's path
        QTest::addColumn<QString>("reason"); // "@": the library's path
        QTest::newRow("no such file") << "missing" << "the zip library could not be found";
        QTest::newRow("library without the entries")
            << "zlib" << "the file found as the zip library, @, lacks the zip entries ZpInit, ZpSetOptions, ZpArchive";
        const QString damaged = "the zip library is damaged or made for another computer (@: ";
        QTest::newRow("cut to half") << "half" << damaged + "it is cut short";
        QTest::newRow("cut by its last byte") << "last byte" << damaged + "it is cut short";
        QTest::newRow("only its ELF header") << "header" << damaged + "it is cut short";
        QTest::newRow("for another processor") << "machine" << damaged + "it is made for another kind of processor";
        QTest::newRow("for 32 bits") << "class" << damaged + "it is made for another kind of computer";
        QTest::newRow("not a library") << "text" << damaged + "it is not an ELF library)";
    }
    void missingOrDamagedLibrary()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString library = dir.filePath("lib/libzip32.so");
        QByteArray bytes = orvane_test::readFile(QCoreApplication::applicationDirPath() + "/libzip32.so");
        QVERIFY(bytes.startsWith("\x7f" "ELF"));
        if (damage == "zlib") {
            // The system's zlib: a whole library, without a single zip entry.
            void *zlib = dlopen("libz.so.1", RTLD_NOW);
            Dl_info info{};
            QVERIFY(zlib && dladdr(dlsym(zlib, "zlibVersion"), &info) && info.dli_fname);
            bytes = orvane_test::readFile(QString::fromLocal8Bit(info.dli_fname));
        } else if (damage == "half")
            bytes.truncate(bytes.size() / 2);
        else if (damage == "last byte")
            bytes.chop(1);
        else if (damage == "header")
            bytes.truncate(64);
        else if (damage == "machine")
            bytes[18] = bytes[18] == char(62) ? char(183) : char(62); // x86-64 <-> AArch64
        else if (damage == "class")
            bytes[4] = 1;
        else
            bytes = "not a library\n";
        if (damage != "missing")
            orvane_test::writeFile(library, bytes);
        const QString archive = dir.filePath("house13.zip");
        assignSaveNextSettings(archive, dir.filePath("house13.rwx"), "/");
        settings().askComment = 1;
        settings().encryptFiles = 1;
        setLibraryFileName(library);
        const int before = m_rec->calls;
        QCOMPARE(PackZip(answering("abc")), ResultNoLibrary);
        BackgroundPack pack(answering("abc"));
        QString error;
        QVERIFY(!pack.start(settings(), &error));
        QVERIFY(!pack.isRunning());
        QVERIFY2(error.startsWith(reason.replace("@", library)), qPrintable(error));
        QCOMPARE(m_rec->calls, before);
        QCOMPARE(m_prompts, QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

        // Once the library is there, the next call finds it.
        settings().askComment = 0;
        settings().encryptFiles = 0;
        QFile::remove(library);
        QVERIFY(QDir().mkpath(dir.filePath("lib")) && QFile::copy(recorderPath(), library));
        QCOMPARE(PackZip(), 0);
        setLibraryFileName(recorderPath());
    }
};

ORVANE_CORE_TEST_MAIN(TestVBZipBas)
#include "tst_vbzipbas.moc"

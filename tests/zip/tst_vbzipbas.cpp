// The packing module against the recording stand-in of the zip library:
// records as the library receives them, write-backs, re-entry, the callback
// buffers and a missing library.
#include "recorder.h"
#include "support/testmain.h"
#include "zip/vbzipbas.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTemporaryDir>

#include <algorithm>

using namespace VBZipBas;

namespace {

const QString cancel = QStringLiteral("<Cancel>");
const QString noPrompt = QStringLiteral("<no prompt set>");

QString recorderPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/libzip32rec.so");
}

} // namespace

class TestVBZipBas : public QObject
{
    Q_OBJECT

    RecorderState *m_rec = nullptr;
    QStringList m_prompts;
    QString m_answer;

    void useAnswer(const QString &answer)
    {
        m_answer = answer;
        m_prompts.clear();
        if (answer == noPrompt)
            return setPrompt(nullptr);
        setPrompt([this](const QString &text) -> std::optional<QString> {
            m_prompts << text;
            if (m_answer == cancel)
                return std::nullopt;
            return m_answer;
        });
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
        useAnswer(cancel);
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

    // Every number back to 0 and every string back to null, not just empty.
    void resetReturnsToTheStart()
    {
        PackingSettings &s = settings();
        assignSaveNextSettings("a.zip", "a.rwx", "");
        s.sinceDate = s.tempFolder = s.fileNames[99] = "";
        s.recurseFolders = s.updateOnly = s.freshenOnly = s.encryptFiles = s.askComment = 1;
        s.reset();
        const QString strings[] = {s.archivePath, s.rootFolder, s.sinceDate, s.tempFolder};
        QVERIFY(std::all_of(std::begin(strings), std::end(strings), std::mem_fn(&QString::isNull)));
        QVERIFY(std::all_of(s.fileNames.begin(), s.fileNames.end(), std::mem_fn(&QString::isNull)));
        const qint16 numbers[] = {s.fileCount,   s.stripFolders, s.recurseFolders, s.updateOnly,
                                  s.freshenOnly, s.encryptFiles, s.askComment,     s.compressionLevel};
        QVERIFY(std::all_of(std::begin(numbers), std::end(numbers), [](qint16 n) { return n == 0; }));
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

        QCOMPARE(m_rec->callbacksAddress, static_cast<const void *>(&zipCallbacks()));
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
        settings().reset();
    }

    void libraryWritesReachTheSettings()
    {
        assignSaveNextSettings("/tmp/zips/house13.zip", "/tmp/models/house13.rwx", "/tmp/");
        m_rec->writeBack = 1;
        QCOMPARE(PackZip(), 0);
        QCOMPARE(settings().archivePath, QStringLiteral("/TMP/ZIPS/HOUSE13.ZIP"));
        QCOMPARE(settings().fileNames[0], QStringLiteral("/TMP/MODELS/HOUSE13.RWX"));
        QCOMPARE(settings().fileNames[1], QStringLiteral("written by the library"));
        QCOMPARE(zipOptions().rootFolder, QStringLiteral("/TMP/"));
        QCOMPARE(zipOptions().fRecurse, 1);
        QCOMPARE(zipOptions().fLevel, quint8('5'));
        QCOMPARE(settings().rootFolder, QStringLiteral("/tmp/")); // the setting itself is not the record
        settings().reset();
    }

    void refusesPackingWhilePacking()
    {
        assignSaveNextSettings("a.zip", "a.rwx", "/");
        m_rec->callPrint = 1;
        m_rec->archiveResult = 3;
        qint32 nested = 12345;
        int nestedRuns = 0;
        // A click that arrives while the library works runs from inside OnZipPrint.
        QMetaObject::invokeMethod(
            qApp,
            [&] {
                nested = PackZip();
                ++nestedRuns;
            },
            Qt::QueuedConnection);
        const int before = m_rec->calls;
        QCOMPARE(PackZip(), 3);
        QCOMPARE(nestedRuns, 1);
        QCOMPARE(nested, ResultAlreadyRunning);
        QCOMPARE(m_rec->calls - before, 3);
        // Once it has finished, packing works again.
        m_rec->callPrint = 0;
        QCOMPARE(PackZip(), 3);
        QCOMPARE(m_rec->calls - before, 6);
    }

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
        useAnswer(answer);
        QByteArray buffer(bufferSize, '\x55');
        QCOMPARE(OnZipPassword(buffer.data(), size, "Password: ", "a.zip"), result);
        QByteArray expected(bufferSize, '\x55');
        if (!stored.isNull()) {
            const int zeroed = std::min(size, 4097);
            expected.replace(0, zeroed, QByteArray(zeroed, '\0'));
            expected.replace(0, stored.size(), stored);
        }
        QCOMPARE(buffer, expected);
        if (size >= 2 && answer != noPrompt)
            QCOMPARE(m_prompts, QStringList{"Please Enter The Password!"});
    }

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
        useAnswer(answer);
        QByteArray buffer(6000, '\x55');
        QCOMPARE(OnZipComment(buffer.data()), 1);
        QByteArray expected(6000, '\x55');
        if (!stored.isNull()) {
            expected.replace(0, stored.size(), stored);
            expected[stored.size()] = '\0';
        }
        QCOMPARE(buffer, expected);
        if (answer != noPrompt)
            QCOMPARE(m_prompts, QStringList{"Enter the comment"});
    }

    void printProcessesEventsAndServiceAnswersZero()
    {
        int ran = 0;
        QMetaObject::invokeMethod(qApp, [&] { ++ran; }, Qt::QueuedConnection);
        QCOMPARE(OnZipPrint("  adding: a.rwx", 15), 0);
        QCOMPARE(ran, 1);
        QCOMPARE(OnZipPrint(nullptr, 0), 0);
        QCOMPARE(OnZipService("a.rwx", 1000), 0);
        QCOMPARE(m_prompts, QStringList());
    }

    // Runs last: it swaps the library out.
    void missingLibraryOrEntry_data()
    {
        QTest::addColumn<QString>("library");
        QTest::newRow("no such file") << "/nonexistent/folder/libzip32.so";
        QTest::newRow("library without the entries") << "libz.so.1";
    }
    void missingLibraryOrEntry()
    {
        QFETCH(QString, library);
        QTemporaryDir dir;
        const QString archive = dir.filePath("house13.zip");
        assignSaveNextSettings(archive, dir.filePath("house13.rwx"), "/");
        settings().askComment = 1;
        settings().encryptFiles = 1;
        setLibraryFileName(library);
        const int before = m_rec->calls;
        QCOMPARE(PackZip(), ResultLibraryNotFound);
        QCOMPARE(PackZip(), ResultLibraryNotFound);
        QCOMPARE(m_rec->calls, before);
        QCOMPARE(m_prompts, QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList());
        QVERIFY(ResultLibraryNotFound != 0 && ResultLibraryNotFound != ResultAlreadyRunning);
        QCOMPARE(describeResult(ResultLibraryNotFound),
                 QStringLiteral("the zip library could not be found"));

        // Once the library is there, the next call finds it.
        settings().askComment = 0;
        settings().encryptFiles = 0;
        setLibraryFileName(recorderPath());
        QCOMPARE(PackZip(), 0);
        QCOMPARE(m_rec->calls, before + 3);
    }
};

ORVANE_CORE_TEST_MAIN(TestVBZipBas)
#include "tst_vbzipbas.moc"

// RWX support attached to a bare QsciScintilla: marks at the right bytes,
// tooltips, the pause before a check, checks on the worker thread drawn only
// for the text they read, the cap on marks, line numbers, and a text and undo
// history left exactly as they were.
#include "editor/lexer.h"
#include "editor/livechecks.h"
#include "editor/snapshotworker.h"

#include "support/files.h"
#include "support/testmain.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <atomic>

using rwx::LiveChecks;

namespace {

using Sci = QsciScintillaBase;

int indicatorAt(QsciScintilla &ed, int indicator, qsizetype pos)
{
    return int(ed.SendScintilla(Sci::SCI_INDICATORVALUEAT, static_cast<unsigned long>(indicator), long(pos)));
}

// The byte ranges where an indicator is set, as "start-end".
QStringList indicatorRuns(QsciScintilla &ed, int indicator)
{
    QStringList runs;
    const long length = ed.SendScintilla(Sci::SCI_GETLENGTH);
    long pos = 0;
    while (pos < length) {
        const long end = ed.SendScintilla(Sci::SCI_INDICATOREND, static_cast<unsigned long>(indicator), pos);
        if (end <= pos)
            break;
        if (indicatorAt(ed, indicator, pos))
            runs << QStringLiteral("%1-%2").arg(pos).arg(end);
        pos = end;
    }
    return runs;
}

// The tooltip's text as the tooltip label shows it: rich text when Qt
// takes it for such, else as it is.
QString shownTooltip()
{
    const QString tip = QToolTip::text();
    QTextDocument shown;
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    return shown.toPlainText();
}

QString fresh(QsciScintilla &ed, const QString &text)
{
    ed.setText(text);
    ed.SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
    ed.setModified(false);
    return text;
}

// A check that waits on the worker thread until the test lets it go. It
// outlives the test that made it, and a test that fails opens the gate for
// good, so that no check is left waiting.
struct GatedChecker : std::enable_shared_from_this<GatedChecker> {
    std::atomic<int> entered{0}; // checks started
    std::atomic<int> stopped{0}; // checks told to stop
    QSemaphore go;               // lets one check run
    QSemaphore left;             // a check has ended

    static std::shared_ptr<GatedChecker> make() { return std::make_shared<GatedChecker>(); }
    LiveChecks::Checker checker()
    {
        return [self = shared_from_this()](QStringView text, const rwx::CheckLimits &limits) {
            ++self->entered;
            self->go.acquire();
            rwx::CheckResult result = rwx::checkScript(text, limits);
            self->stopped += result.cancelled;
            self->left.release();
            return result;
        };
    }
    // Lets the check held at the gate run to its end.
    bool runOne()
    {
        go.release();
        return left.tryAcquire(1, 30000);
    }
    auto openOnExit()
    {
        return qScopeGuard([this] { go.release(1000); });
    }
};

} // namespace

class TestLiveChecks : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void marksAtBytes_data();
    void marksAtBytes();
    void storedBytes_data();
    void storedBytes();
    void tooltip();
    void textAndUndoUntouched();
    void onePausedCheck();
    void editDuringCheck();
    void marksCapped();
    void deployMarks();
    void destroyedWhileChecking();
    void lineNumberMargin();
    void followsPalette();
    void attachOnce();
};

// Checks told to stop end on their own; none outlives its test.
void TestLiveChecks::cleanup()
{
    QTRY_COMPARE(editor::SnapshotWorker::threadsRunning(), 0);
}

void TestLiveChecks::marksAtBytes_data()
{
    QTest::addColumn<QString>("lineBreak");
    QTest::newRow("LF") << QStringLiteral("\n");
    QTest::newRow("CRLF") << QStringLiteral("\r\n");
    QTest::newRow("CR") << QStringLiteral("\r");
}

void TestLiveChecks::marksAtBytes()
{
    QFETCH(QString, lineBreak);
    QsciScintilla ed;
    ed.setUtf8(true);
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    // Non-ASCII before the faults on the same line: two-, three- and
    // four-byte characters.
    const QString text = fresh(ed, QString::fromUtf8(
        "ModelBegin\n"
        "ClumpBegin # é€😀\n"
        "Vertex 0 0 0\n"
        "Texture bäume€😀 #! Triangle 1 1 77\n"
        "  Frobnicäte 1 #! Quad 1 1 1 88\n"
        "ModelEnd").replace(u'\n', lineBreak));
    support->checkNow();

    const QByteArray bytes = text.toUtf8();
    const int at77 = int(bytes.indexOf(" 77")) + 1;
    const int at88 = int(bytes.indexOf(" 88")) + 1;
    const int atFrob = int(bytes.indexOf("Frobni"));
    const int atClump = int(bytes.indexOf("ClumpBegin"));
    const int frobBytes = int(QByteArray("Frobnicäte").size());
    QCOMPARE(frobBytes, 11);

    const QList<LiveChecks::Mark> &marks = support->marks();
    QCOMPARE(marks.size(), 4);
    QCOMPARE(marks[0].start, atClump);
    QCOMPARE(marks[0].end, atClump + 10);
    QCOMPARE(marks[0].message, QStringLiteral("ClumpBegin without ClumpEnd"));
    QCOMPARE(marks[1].start, at77);
    QCOMPARE(marks[1].end, at77 + 2);
    QCOMPARE(marks[1].message, QStringLiteral("vertex 77 does not exist in this clump (1 vertex)"));
    QCOMPARE(marks[2].start, atFrob);
    QCOMPARE(marks[2].end, atFrob + frobBytes);
    QCOMPARE(marks[2].severity, rwx::Severity::Warning);
    QCOMPARE(marks[3].start, at88);

    // Drawn in the editor exactly there, errors and warnings apart.
    QCOMPARE(indicatorRuns(ed, support->errorIndicator()),
             (QStringList{QStringLiteral("%1-%2").arg(atClump).arg(atClump + 10),
                          QStringLiteral("%1-%2").arg(at77).arg(at77 + 2),
                          QStringLiteral("%1-%2").arg(at88).arg(at88 + 2)}));
    QCOMPARE(indicatorRuns(ed, support->warningIndicator()),
             QStringList{QStringLiteral("%1-%2").arg(atFrob).arg(atFrob + frobBytes)});

    // A fix removes its mark at the next check.
    const int line77 = int(ed.SendScintilla(Sci::SCI_LINEFROMPOSITION, long(at77)));
    ed.SendScintilla(Sci::SCI_SETTARGETRANGE, static_cast<unsigned long>(at77), long(at77 + 2));
    ed.SendScintilla(Sci::SCI_REPLACETARGET, -1L, "1");
    support->checkNow();
    QCOMPARE(support->marks().size(), 3);
    QCOMPARE(indicatorAt(ed, support->errorIndicator(), at77), 0);
    QCOMPARE(line77, 3);
}

void TestLiveChecks::storedBytes_data()
{
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("UTF-8") << true << QByteArray("ModelBegin\r\n# caf\xC3\xA9\r\nTexture \xC3\xA9t\xC3\xA9 #! Frob 1\r\nModelEnd");
    QTest::newRow("stray 8-bit bytes") << true << QByteArray("ModelBegin\r\n# caf\xE9 \xFF\r\nTexture \xE9t\xE9 \x80#! Frob 1\r\nModelEnd");
    QTest::newRow("8-bit editor") << false << QByteArray("ModelBegin\r\n# caf\xE9\r\nTexture \xE9t\xE9 #! Frob 1\r\nModelEnd");
}

void TestLiveChecks::storedBytes()
{
    QFETCH(bool, utf8);
    QFETCH(QByteArray, document);
    QsciScintilla ed;
    ed.setUtf8(utf8);
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    ed.SendScintilla(Sci::SCI_ADDTEXT, static_cast<unsigned long>(document.size()), document.constData());
    QCOMPARE(ed.SendScintilla(Sci::SCI_GETLENGTH), long(document.size()));
    support->checkNow();
    const int at = int(document.indexOf("Frob"));
    QCOMPARE(support->marks().size(), 1);
    QCOMPARE(support->marks()[0].start, at);
    QCOMPARE(support->marks()[0].end, at + 4);
    QCOMPARE(indicatorRuns(ed, support->warningIndicator()),
             QStringList{QStringLiteral("%1-%2").arg(at).arg(at + 4)});
    QCOMPARE(support->messageAt(at + 3), QStringLiteral("unknown keyword \"Frob\""));
}

void TestLiveChecks::tooltip()
{
    QsciScintilla ed;
    ed.setUtf8(true);
    ed.resize(500, 300);
    ed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ed));
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    const QString text = fresh(ed, QStringLiteral("ClumpBegin\nVertex 0 0 0\nPolygon 4 1 1 1 1 9\nClumpEnd\n"));
    support->checkNow();

    const int polygon = int(text.indexOf(u'P'));
    const int nine = int(text.indexOf(u'9'));
    QCOMPARE(support->messageAt(polygon), QStringLiteral("Polygon 4 lists 5 vertices"));
    // Overlapping marks give both messages, in order of position.
    QCOMPARE(support->messageAt(nine),
             QStringLiteral("Polygon 4 lists 5 vertices\nvertex 9 does not exist in this clump (1 vertex)"));
    QCOMPARE(support->messageAt(nine + 1), QString());
    QCOMPARE(support->messageAt(0), QString());
    QCOMPARE(support->messageAt(-1), QString());

    emit ed.SCN_DWELLSTART(nine, 20, 20);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(shownTooltip(), support->messageAt(nine));
    emit ed.SCN_DWELLEND(nine, 20, 20);
    QTRY_VERIFY(!QToolTip::isVisible());
    // No tooltip away from the marks.
    emit ed.SCN_DWELLSTART(0, 5, 5);
    QCoreApplication::processEvents();
    QVERIFY(!QToolTip::isVisible());
    QCOMPARE(ed.SendScintilla(Sci::SCI_GETMOUSEDWELLTIME), long(LiveChecks::DwellMs));

    // Markup in the script is shown as the characters it is made of.
    const int heading = int(fresh(ed, QStringLiteral("ModelBegin\n<h1>x</h1> 1\nModelEnd\n")).indexOf(u'<')) + 1;
    support->checkNow();
    QCOMPARE(support->messageAt(heading), QStringLiteral("unknown keyword \"<h1>x</h1>\""));
    emit ed.SCN_DWELLSTART(heading, 20, 20);
    QTRY_COMPARE(shownTooltip(), support->messageAt(heading));
}

void TestLiveChecks::textAndUndoUntouched()
{
    QsciScintilla ed;
    ed.setUtf8(true);
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    const QString text = fresh(ed, QStringLiteral("ModelBegin\r\nFoo 1\r\nClumpEnd\r\n"));
    support->checkNow();
    QCOMPARE(support->marks().size(), 3);
    QCOMPARE(ed.text(), text);
    QVERIFY(!ed.isUndoAvailable());
    QVERIFY(!ed.isModified());
    QVERIFY(!support->checkPending());

    // One edit, checks in between, one undo gives the text back.
    ed.insertAt(QStringLiteral("Bar\r\n"), 1, 0);
    support->checkNow();
    support->checkNow();
    QVERIFY(ed.isUndoAvailable());
    ed.undo();
    QCOMPARE(ed.text(), text);
    QVERIFY(!ed.isUndoAvailable());
    QVERIFY(!ed.isModified());
}

void TestLiveChecks::onePausedCheck()
{
    QsciScintilla ed;
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    QCOMPARE(support->pause(), LiveChecks::DefaultPauseMs);
    // The test drives the pause: one no test outlasts, ended by a pause of 0.
    auto *timer = support->findChild<QTimer *>();
    QVERIFY(timer);
    timer->setTimerType(Qt::PreciseTimer);
    const int longPause = 60000;
    QVERIFY(support->checkPending()); // the text found at attach is checked too
    QCOMPARE(support->checkCount(), 0);
    support->setPause(0);
    QTRY_COMPARE(support->checkCount(), 1);

    support->setPause(longPause);
    QSignalSpy checked(support, &LiveChecks::checked);
    ed.insertAt(QStringLiteral("Foo\n"), 0, 0);
    QTRY_VERIFY(timer->remainingTime() <= longPause - 200);
    for (int i = 0; i < 19; ++i)
        ed.insertAt(QStringLiteral("Foo\n"), 0, 0);
    QVERIFY2(timer->remainingTime() > longPause - 200, "a change starts the pause again");
    QCoreApplication::processEvents();
    QCOMPARE(checked.size(), 0);
    QVERIFY(support->checkPending());
    support->setPause(0);
    QTRY_COMPARE(checked.size(), 1);
    QVERIFY(!support->checkPending());
    QCoreApplication::processEvents();
    QCOMPARE(checked.size(), 1);
    QCOMPARE(support->checkCount(), 2);
    // Drawing the marks is no change to the text and starts no new check.
    QCOMPARE(support->marks().size(), 0); // no RWX statement at all: nothing to say
    support->setPause(longPause);
    ed.insertAt(QStringLiteral("ModelBegin\n"), 0, 0);
    support->setPause(0);
    QTRY_COMPARE(support->checkCount(), 3);
    QCOMPARE(support->marks().size(), 21);
    QVERIFY(!support->checkPending());
}

void TestLiveChecks::editDuringCheck()
{
    QsciScintilla ed;
    ed.setUtf8(true);
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    const auto gate = GatedChecker::make();
    const auto opened = gate->openOnExit();
    support->setChecker(gate->checker());
    QSignalSpy checked(support, &LiveChecks::checked);
    const QByteArray script("ModelBegin\nClumpBegin\nVertex 0 0 0\nTriangle 1 1 7\nClumpEnd\nModelEnd\n");
    fresh(ed, QString::fromUtf8(script));
    support->setPause(0);
    QTRY_COMPARE(gate->entered.load(), 1);
    QVERIFY(support->checkRunning());

    // A line typed above the fault while the check reads the old text: its
    // marks would sit one line too high. They are not drawn.
    const QByteArray typed("# caf\xC3\xA9\n");
    support->setPause(60000);
    ed.insertAt(QString::fromUtf8(typed), 1, 0);
    QVERIFY(gate->runOne());
    QTRY_VERIFY(!support->checkRunning());
    QCOMPARE(checked.size(), 0);
    QVERIFY(support->marks().isEmpty());
    QCOMPARE(indicatorRuns(ed, support->errorIndicator()), QStringList());
    QVERIFY(support->checkPending()); // the pause for the new text runs

    // A change stops the check still running; the next one draws its marks.
    support->setPause(0);
    QTRY_COMPARE(gate->entered.load(), 2);
    ed.insertAt(QString::fromUtf8(typed), 1, 0);
    QTRY_VERIFY(!support->findChild<QTimer *>()->isActive());
    QVERIFY(gate->runOne());
    QTRY_COMPARE(gate->entered.load(), 3);
    QVERIFY(gate->runOne());
    QTRY_COMPARE(checked.size(), 1);
    QCOMPARE(gate->stopped.load(), 2);
    const QByteArray now = ed.text().toUtf8();
    const int at7 = int(now.indexOf(" 7\n")) + 1;
    QCOMPARE(now, QByteArray(script).insert(11, typed + typed));
    QCOMPARE(support->marks().size(), 1);
    QCOMPARE(support->marks()[0].start, at7);
    QCOMPARE(indicatorRuns(ed, support->errorIndicator()), QStringList{QStringLiteral("%1-%2").arg(at7).arg(at7 + 1)});
    QVERIFY(!support->checkPending());
}

void TestLiveChecks::marksCapped()
{
    QsciScintilla ed;
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    // Three faults a line, and the first mark at the top, found last.
    const int faces = 11000;
    fresh(ed, QStringLiteral("ModelBegin\n") + QStringLiteral("Triangle 1 2 3\n").repeated(faces));
    support->checkNow();
    const QList<LiveChecks::Mark> &marks = support->marks();
    QCOMPARE(marks.size(), LiveChecks::MaxMarks);
    QCOMPARE(support->findingCount(), 3 * faces + 1);
    QCOMPARE(support->messageAt(0), QStringLiteral("ModelBegin without ModelEnd\nand 32 001 more"));
    QCOMPARE(support->messageAt(marks[1].start), QStringLiteral("vertex 1 does not exist in this script (0 vertices)"));
    // The last mark drawn is the 999th fault, the third of the 333rd face; nothing after it.
    const QStringList runs = indicatorRuns(ed, support->errorIndicator());
    QCOMPARE(runs.size(), LiveChecks::MaxMarks);
    const int lineLength = 15;
    const int last = 11 + 332 * lineLength + 13;
    QCOMPARE(marks.last().start, last);
    QCOMPARE(runs.last(), QStringLiteral("%1-%2").arg(last).arg(last + 1));
}

// Textures a world's server would not find are marked, as advice, once the
// script's folder is known, and checked again when the folder changes.
void TestLiveChecks::deployMarks()
{
    QTemporaryDir base;
    const QString folder = base.filePath(QStringLiteral("rwx/"));
    orvane_test::writeFile(folder + QStringLiteral("wood.jpg"), "x");
    QsciScintilla ed;
    ed.setUtf8(true);
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    QSignalSpy checked(support, &LiveChecks::checked);
    const QByteArray text = fresh(ed, QStringLiteral("ModelBegin\nTexture Wood Mask m\nClumpEnd\nModelEnd\n")).toUtf8();
    const int wood = int(text.indexOf("Wood")), mask = int(text.indexOf(" m\n")) + 1, end = int(text.indexOf("ClumpEnd"));
    auto messages = [support] {
        QStringList all;
        for (const LiveChecks::Mark &m : support->marks())
            all << QStringLiteral("%1 %2").arg(m.start).arg(m.message);
        return all;
    };
    const QString structure = QStringLiteral("%1 ClumpEnd without ClumpBegin").arg(end);
    support->setPause(0);
    QTRY_COMPARE(checked.size(), 1);
    QCOMPARE(messages(), QStringList{structure}); // no folder: nothing looked up

    support->setScriptFolder(folder);
    QTRY_COMPARE(checked.size(), 2);
    QCOMPARE(messages(),
             QStringList({QStringLiteral("%1 texture Wood.jpg is found only as wood.jpg: servers are case-sensitive").arg(wood),
                          QStringLiteral("%1 mask m not found").arg(mask), structure}));
    QCOMPARE(support->marks()[0].severity, rwx::Severity::Info);
    QCOMPARE(indicatorRuns(ed, support->infoIndicator()),
             QStringList({QStringLiteral("%1-%2").arg(wood).arg(wood + 4), QStringLiteral("%1-%2").arg(mask).arg(mask + 1)}));
    QCOMPARE(indicatorRuns(ed, support->errorIndicator()), QStringList{QStringLiteral("%1-%2").arg(end).arg(end + 8)});
    auto style = [&ed](int indicator) { return ed.SendScintilla(Sci::SCI_INDICGETSTYLE, static_cast<unsigned long>(indicator)); };
    QVERIFY(style(support->infoIndicator()) != style(support->errorIndicator()));
    QVERIFY(style(support->infoIndicator()) != style(support->warningIndicator()));
    QCOMPARE(support->messageAt(mask), QStringLiteral("mask m not found"));

    // Put right in the file manager: the marks go without a keystroke.
    QVERIFY(QFile::rename(folder + QStringLiteral("wood.jpg"), folder + QStringLiteral("Wood.jpg")));
    orvane_test::writeFile(folder + QStringLiteral("m.zip"), "x");
    QTRY_COMPARE(messages(), QStringList{structure});
    QCOMPARE(indicatorRuns(ed, support->infoIndicator()), QStringList());

    QVERIFY(QFile::remove(folder + QStringLiteral("m.zip")));
    support->setScriptFolder(QString());
    const int before = int(checked.size());
    QTRY_COMPARE(checked.size(), before + 1);
    QCOMPARE(messages(), QStringList{structure});
}

void TestLiveChecks::destroyedWhileChecking()
{
    const auto gate = GatedChecker::make();
    const auto opened = gate->openOnExit();
    auto *ed = new QsciScintilla;
    LiveChecks *support = rwx::attachLiveChecks(ed);
    support->setChecker(gate->checker());
    ed->setText(QStringLiteral("ModelBegin\nFoo\n").repeated(10000));
    support->setPause(0);
    QTRY_COMPARE(gate->entered.load(), 1);
    delete ed;
    // The check reads its own copy of the text and is told to stop.
    QVERIFY(gate->runOne());
    QCOMPARE(gate->stopped.load(), 1);
    QCoreApplication::processEvents();
}

void TestLiveChecks::lineNumberMargin()
{
    QsciScintilla ed;
    rwx::attachLiveChecks(&ed);
    QCOMPARE(ed.marginType(0), QsciScintilla::NumberMargin);
    auto lines = [](int n) { return QStringLiteral("ModelBegin\n").repeated(n - 1) + QStringLiteral("ModelEnd"); };
    ed.setText(lines(9));
    const int w9 = ed.marginWidth(0);
    ed.setText(lines(99));
    const int w99 = ed.marginWidth(0);
    ed.setText(lines(100));
    const int w100 = ed.marginWidth(0);
    ed.setText(lines(999));
    const int w999 = ed.marginWidth(0);
    ed.setText(lines(1000));
    const int w1000 = ed.marginWidth(0);
    QVERIFY(w9 > 0);
    QCOMPARE(w99, w9);
    QVERIFY(w100 > w99);
    QCOMPARE(w999, w100);
    QVERIFY(w1000 > w999);
    // Typing back under a thousand lines narrows it again.
    ed.setSelection(998, 0, 999, 8);
    ed.removeSelectedText();
    QCOMPARE(ed.lines(), 999);
    QCOMPARE(ed.marginWidth(0), w999);
}

void TestLiveChecks::followsPalette()
{
    QsciScintilla ed;
    LiveChecks *support = rwx::attachLiveChecks(&ed);
    QPalette dark = ed.palette();
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    ed.setPalette(dark);
    QCOMPARE(support->lexer()->paper(rwx::RwxLexer::Keyword), QColor(0x20, 0x20, 0x20));
    QVERIFY(rwx::contrastRatio(support->lexer()->color(rwx::RwxLexer::Keyword), QColor(0x20, 0x20, 0x20)) >= 4.5);
    const long back = ed.SendScintilla(Sci::SCI_STYLEGETBACK, static_cast<unsigned long>(rwx::RwxLexer::Keyword));
    QCOMPARE(back, long(0x202020));
    const long caret = ed.SendScintilla(Sci::SCI_GETCARETFORE);
    QCOMPARE(caret, long(0xe0e0e0));

    const int narrow = ed.marginWidth(0);
    support->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 20));
    QCOMPARE(support->lexer()->font(rwx::RwxLexer::Comment).pointSize(), 20);
    QCOMPARE(ed.SendScintilla(Sci::SCI_STYLEGETSIZE, static_cast<unsigned long>(rwx::RwxLexer::Keyword)), 20L);
    QVERIFY(ed.marginWidth(0) > narrow); // the line numbers grow with the font
    static_cast<QWidget &>(ed).setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 7));
    QCOMPARE(support->lexer()->font(rwx::RwxLexer::Name).pointSize(), 7);
    QVERIFY(ed.marginWidth(0) < narrow);
}

void TestLiveChecks::attachOnce()
{
    QsciScintilla ed;
    LiveChecks *a = rwx::attachLiveChecks(&ed);
    QCOMPARE(rwx::attachLiveChecks(&ed), a);
    QCOMPARE(ed.lexer(), static_cast<QsciLexer *>(a->lexer()));
    QCOMPARE(a->parent(), &ed);
    QCOMPARE(rwx::attachLiveChecks(nullptr), nullptr);
}

ORVANE_GUI_TEST_MAIN(TestLiveChecks)
#include "tst_livechecks.moc"

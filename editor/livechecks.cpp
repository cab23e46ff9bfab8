#include "editor/livechecks.h"

#include "editor/lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFutureWatcher>
#include <QPalette>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>

namespace rwx {

using Sci = QsciScintillaBase;

namespace {

// One worker thread for the checks of every editor: a stopped check still
// finishing does not run beside the next one.
QThreadPool *checkThreads()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        // A child of the application, which waits for it when it ends.
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setObjectName(QStringLiteral("rwxChecks"));
        pool->setMaxThreadCount(1);
    }
    return pool;
}

// The bytes copied from the editor in one turn of the event loop, so that
// the copy of a large script never holds the window up for long.
constexpr long kCopyBytesPerTurn = 4 * 1024 * 1024;

// Appends up to `most` more of the editor's bytes to `bytes`; true once all
// are there. The editor keeps its bytes in two parts, either side of a gap;
// a part is never read across the gap, which would move the text inside the
// editor. The text must not change between calls.
bool copyDocumentPart(const QsciScintilla &ed, QByteArray &bytes, long most)
{
    static_assert(sizeof(long) == sizeof(const char *), "SendScintilla answers pointers as long");
    const long length = ed.SendScintilla(Sci::SCI_GETLENGTH);
    const long gap = std::clamp(ed.SendScintilla(Sci::SCI_GETGAPPOSITION), 0L, length);
    const long from = long(bytes.size());
    if (from >= length)
        return true;
    const long count = std::min((from < gap ? gap : length) - from, most);
    if (bytes.capacity() < length)
        bytes.reserve(length);
    bytes.append(reinterpret_cast<const char *>(
                     ed.SendScintilla(Sci::SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), count)),
                 count);
    return bytes.size() >= length;
}

QByteArray documentCopy(const QsciScintilla &ed)
{
    QByteArray bytes;
    while (!copyDocumentPart(ed, bytes, std::numeric_limits<long>::max())) {
    }
    return bytes;
}

// The text as the editor's text() gives it: a byte that is not UTF-8 is one
// unit of its own, and an 8-bit document has one unit per byte.
QString decode(const QByteArray &bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// 31998 as "31 998".
QString groupedDigits(qsizetype n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u' ');
    return digits;
}

} // namespace

LiveChecks::LiveChecks(QsciScintilla *editor)
    : QObject(editor), m_editor(editor),
      m_checker([](QStringView text, const CheckLimits &limits) { return checkScript(text, limits); })
{
    setObjectName(QStringLiteral("liveChecks"));
    m_lexer = new RwxLexer(editor);
    m_lexer->applyFont(editor->font());
    m_lexer->applyPalette(editor->palette());
    editor->setLexer(m_lexer);

    editor->setMarginType(0, QsciScintilla::NumberMargin);
    editor->setMarginLineNumbers(0, true);
    editor->setMarginsFont(editor->font());

    m_errorIndicator = editor->indicatorDefine(QsciScintilla::SquiggleIndicator);
    m_warningIndicator = editor->indicatorDefine(QsciScintilla::SquiggleLowIndicator);
    applyPalette();
    updateMargin();

    editor->SendScintilla(Sci::SCI_SETMOUSEDWELLTIME, DwellMs);
    connect(editor, &QsciScintillaBase::SCN_DWELLSTART, this, &LiveChecks::showTooltip);
    connect(editor, &QsciScintillaBase::SCN_DWELLEND, this, [] { QToolTip::hideText(); });

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(DefaultPauseMs);
    connect(m_timer, &QTimer::timeout, this, &LiveChecks::startCheck);
    m_copyTimer = new QTimer(this);
    m_copyTimer->setSingleShot(true);
    m_copyTimer->setInterval(0);
    connect(m_copyTimer, &QTimer::timeout, this, &LiveChecks::copyMore);
    connect(editor, &QsciScintilla::textChanged, this, [this] {
        ++m_textVersion;
        m_timer->start();
    });
    connect(editor, &QsciScintilla::linesChanged, this, &LiveChecks::updateMargin);
    editor->installEventFilter(this);
    m_timer->start();
}

int LiveChecks::pause() const
{
    return m_timer->interval();
}

void LiveChecks::setPause(int ms)
{
    m_timer->setInterval(std::max(0, ms));
}

LiveChecks::~LiveChecks()
{
    // The worker finishes on its own copy of the text and tells no one.
    stopRunningCheck();
}

bool LiveChecks::checkPending() const
{
    return m_timer->isActive() || checkRunning();
}

bool LiveChecks::checkRunning() const
{
    return m_copyTimer->isActive() || m_running;
}

void LiveChecks::setChecker(Checker checker)
{
    m_checker = std::move(checker);
}

void LiveChecks::stopRunningCheck()
{
    m_copyTimer->stop();
    m_copy = QByteArray();
    if (!m_running)
        return;
    m_running->future().cancel();
    delete m_running; // its result, if any, is never delivered
    m_running = nullptr;
}

void LiveChecks::checkNow()
{
    m_timer->stop();
    stopRunningCheck();
    if (!m_editor)
        return;
    const QString text = decode(documentCopy(*m_editor), m_editor->isUtf8());
    drawMarks(m_checker(text, CheckLimits{MaxMarks, {}}));
}

void LiveChecks::startCheck()
{
    m_timer->stop();
    stopRunningCheck();
    m_copyVersion = m_textVersion;
    copyMore();
}

void LiveChecks::copyMore()
{
    // A change to the text has started the pause for a newer check.
    if (!m_editor || m_copyVersion != m_textVersion) {
        m_copy = QByteArray();
        return;
    }
    if (!copyDocumentPart(*m_editor, m_copy, kCopyBytesPerTurn)) {
        m_copyTimer->start();
        return;
    }
    auto promise = std::make_shared<QPromise<CheckResult>>();
    auto *watcher = new QFutureWatcher<CheckResult>(this);
    m_running = watcher;
    const quint64 version = m_copyVersion;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, version] {
        m_running = nullptr;
        watcher->deleteLater();
        // Marks for a text that has changed since would be drawn at the wrong
        // places; the change has started the pause for a newer check.
        if (version == m_textVersion && watcher->future().resultCount() > 0)
            drawMarks(watcher->future().result());
    });
    watcher->setFuture(promise->future());
    promise->start();
    checkThreads()->start([promise, bytes = std::exchange(m_copy, QByteArray()), utf8 = m_editor->isUtf8(),
                           checker = m_checker]() mutable {
        if (!promise->isCanceled()) {
            const QString text = decode(bytes, utf8);
            bytes = QByteArray();
            CheckResult result = checker(text, CheckLimits{MaxMarks, [&promise] { return promise->isCanceled(); }});
            if (!result.cancelled)
                promise->addResult(std::move(result));
        }
        promise->finish();
    });
}

void LiveChecks::drawMarks(const CheckResult &result)
{
    QsciScintilla *ed = m_editor;
    if (!ed)
        return;
    const QList<Finding> &findings = result.findings;
    const long docLength = ed->SendScintilla(Sci::SCI_GETLENGTH);

    m_marks.clear();
    m_findingCount = result.total;
    m_marks.reserve(findings.size());
    // The checker counts UTF-16 units; the editor stores bytes and converts
    // with its own document (a stray byte that is not UTF-8 is one unit, as
    // in the text the check read; an 8-bit document has one byte per unit).
    // Findings come in order of line and column, so within a line each
    // conversion carries on from the previous finding: linear in the length
    // of the text.
    int line = -1;
    long lineEnd = 0, lastPos = 0;
    int lastColumn = 0;
    auto advance = [ed, &lineEnd](long from, long units) {
        if (units <= 0)
            return from;
        const long to = ed->SendScintilla(Sci::SCI_POSITIONRELATIVECODEUNITS, static_cast<unsigned long>(from), units);
        return to <= from ? lineEnd : std::min(to, lineEnd);
    };
    for (const Finding &f : findings) {
        if (f.line != line || f.column < lastColumn) {
            line = f.line;
            lastPos = ed->SendScintilla(Sci::SCI_POSITIONFROMLINE, long(line));
            lineEnd = ed->SendScintilla(Sci::SCI_GETLINEENDPOSITION, long(line));
            lastColumn = 0;
            if (lastPos < 0 || lineEnd < lastPos)
                break; // no such line: the text changed under us; cannot happen in one event
        }
        lastPos = advance(lastPos, f.column - lastColumn);
        lastColumn = f.column;
        Mark m;
        m.start = int(lastPos);
        m.end = int(advance(lastPos, f.length));
        m.severity = f.severity;
        m.message = f.message;
        m_marks.append(std::move(m));
    }

    for (const int indicator : {m_errorIndicator, m_warningIndicator}) {
        if (indicator < 0)
            continue;
        ed->SendScintilla(Sci::SCI_SETINDICATORCURRENT, indicator);
        ed->SendScintilla(Sci::SCI_INDICATORCLEARRANGE, 0UL, docLength);
        const Severity severity = indicator == m_errorIndicator ? Severity::Error : Severity::Warning;
        for (const Mark &m : std::as_const(m_marks)) {
            if (m.severity == severity && m.end > m.start)
                ed->SendScintilla(Sci::SCI_INDICATORFILLRANGE, static_cast<unsigned long>(m.start),
                                  long(m.end - m.start));
        }
    }
    ++m_checkCount;
    emit checked();
}

QString LiveChecks::messageAt(int position) const
{
    if (!m_editor || position < 0 || m_marks.isEmpty())
        return QString();
    const long line = m_editor->SendScintilla(Sci::SCI_LINEFROMPOSITION, long(position));
    const long lineStart = m_editor->SendScintilla(Sci::SCI_POSITIONFROMLINE, line);
    // Marks never span lines and are ordered by start: look back from the
    // last mark starting at or before the position to the line's start.
    auto it = std::upper_bound(m_marks.cbegin(), m_marks.cend(), position,
                               [](int pos, const Mark &m) { return pos < m.start; });
    QStringList messages;
    bool firstMark = false;
    while (it != m_marks.cbegin()) {
        --it;
        if (it->start < lineStart)
            break;
        if (position < it->end) {
            messages.prepend(it->message);
            firstMark = firstMark || it == m_marks.cbegin();
        }
    }
    // The first mark also tells of the findings left without one.
    if (firstMark && m_findingCount > m_marks.size())
        messages << QStringLiteral("and %1 more").arg(groupedDigits(m_findingCount - m_marks.size()));
    return messages.join(u'\n');
}

void LiveChecks::showTooltip(int position, int x, int y)
{
    if (!m_editor)
        return;
    const QString text = messageAt(position);
    if (text.isEmpty())
        return;
    // The messages quote the script, which may hold anything, markup too:
    // they are shown as plain text, line breaks kept.
    const QString plain = QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
    QToolTip::showText(m_editor->viewport()->mapToGlobal(QPoint(x, y)), plain, m_editor->viewport());
}

void LiveChecks::updateMargin()
{
    if (!m_editor)
        return;
    int digits = 1;
    for (int n = std::max(1, m_editor->lines()); n >= 10; n /= 10)
        ++digits;
    digits = std::max(digits, 2);
    if (digits == m_marginDigits)
        return;
    m_marginDigits = digits;
    // One digit's width to spare keeps the numbers off the text.
    m_editor->setMarginWidth(0, QString(digits + 1, u'9'));
}

void LiveChecks::setFont(const QFont &font)
{
    if (!m_editor)
        return;
    m_lexer->applyFont(font);
    m_editor->setMarginsFont(font);
    m_marginDigits = 0;
    updateMargin();
}

void LiveChecks::applyPalette()
{
    if (!m_editor)
        return;
    const QPalette pal = m_editor->palette();
    const QColor base = pal.color(QPalette::Active, QPalette::Base);
    const QColor text = pal.color(QPalette::Active, QPalette::Text);
    m_lexer->applyPalette(pal);
    m_editor->setCaretForegroundColor(text);
    m_editor->setMarginsBackgroundColor(pal.color(QPalette::Active, QPalette::Window));
    m_editor->setMarginsForegroundColor(mixColors(pal.color(QPalette::Active, QPalette::WindowText),
                                                  pal.color(QPalette::Active, QPalette::Window), 0.35));
    m_editor->setIndicatorForegroundColor(readableColor(0, 220, base, 3.0), m_errorIndicator);
    m_editor->setIndicatorForegroundColor(mixColors(text, base, 0.5), m_warningIndicator);
}

bool LiveChecks::eventFilter(QObject *watched, QEvent *event)
{
    // Compares plain object addresses: the editor may be half destroyed when
    // its last events arrive.
    const QEvent::Type type = event->type();
    if ((type == QEvent::FontChange || type == QEvent::PaletteChange) && watched == parent() && m_editor) {
        if (type == QEvent::FontChange)
            setFont(m_editor->font());
        else
            applyPalette();
    }
    return QObject::eventFilter(watched, event);
}

LiveChecks *attachLiveChecks(QsciScintilla *editor)
{
    if (!editor)
        return nullptr;
    if (auto *existing = editor->findChild<LiveChecks *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new LiveChecks(editor);
}

} // namespace rwx

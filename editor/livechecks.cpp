#include "editor/livechecks.h"

#include "editor/documentcopy.h"
#include "editor/lexer.h"
#include "scene/deploycheck.h"
#include "scene/textures.h"

#include <Qsci/qsciscintilla.h>

#include <QEvent>
#include <QFileSystemWatcher>
#include <QPalette>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace rwx {

using Sci = QsciScintillaBase;

namespace {

// 31998 as "31 998".
QString groupedDigits(qsizetype n)
{
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u' ');
    return digits;
}

// The structure check, then for a script with a folder the texture lookups:
// their findings together in order of line and column, the first `keep`.
CheckResult runChecks(const LiveChecks::Checker &checker, QStringView text, const QString &folder,
                      const CheckLimits &limits)
{
    CheckResult result = checker(text, limits);
    if (result.cancelled || folder.isEmpty())
        return result;
    return mergeResults(std::move(result), checkDeployment(text, folder, limits), limits.keep);
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
    m_infoIndicator = editor->indicatorDefine(QsciScintilla::DashesIndicator);
    applyPalette();
    updateMargin();

    editor->SendScintilla(Sci::SCI_SETMOUSEDWELLTIME, DwellMs);
    connect(editor, &QsciScintillaBase::SCN_DWELLSTART, this, &LiveChecks::showTooltip);
    connect(editor, &QsciScintillaBase::SCN_DWELLEND, this, [] { QToolTip::hideText(); });

    m_worker = new editor::SnapshotWorker([this] { return checkJob(); }, this);
    m_worker->setObjectName(QStringLiteral("liveChecksWorker"));
    connect(editor, &QsciScintilla::textChanged, m_worker, &editor::SnapshotWorker::changed);
    connect(editor, &QsciScintilla::linesChanged, this, &LiveChecks::updateMargin);
    editor->installEventFilter(this);
    m_worker->changed();
}

int LiveChecks::pause() const
{
    return m_worker->pause();
}

void LiveChecks::setPause(int ms)
{
    m_worker->setPause(ms);
}

// The worker stops a check still running and tells it nothing more.
LiveChecks::~LiveChecks() = default;

bool LiveChecks::checkPending() const
{
    return m_worker->pending();
}

bool LiveChecks::checkRunning() const
{
    return m_worker->busy();
}

void LiveChecks::setChecker(Checker checker)
{
    m_checker = std::move(checker);
}

void LiveChecks::setScriptFolder(const QString &folder)
{
    if (folder == m_scriptFolder)
        return;
    m_scriptFolder = folder;
    // Textures copied, renamed or zipped in the file manager show at once.
    delete m_folderWatcher;
    m_folderWatcher = nullptr;
    if (const QStringList folders = scriptTextureFolders(folder); !folders.isEmpty()) {
        m_folderWatcher = new QFileSystemWatcher(folders, this);
        connect(m_folderWatcher, &QFileSystemWatcher::directoryChanged, m_worker, &editor::SnapshotWorker::changed);
    }
    m_worker->changed();
}

void LiveChecks::checkNow()
{
    m_worker->stop();
    if (!m_editor)
        return;
    const QString text = editor::documentText(editor::documentCopy(*m_editor), m_editor->isUtf8());
    drawMarks(runChecks(m_checker, text, m_scriptFolder, CheckLimits{MaxMarks, {}}));
}

editor::SnapshotWorker::Job LiveChecks::checkJob()
{
    if (!m_editor)
        return {};
    auto work = [this, utf8 = m_editor->isUtf8(), checker = m_checker,
                 folder = m_scriptFolder](QByteArray bytes, std::stop_token stop) -> editor::SnapshotWorker::Apply {
        const QString text = editor::documentText(bytes, utf8);
        bytes = QByteArray();
        auto result = std::make_shared<CheckResult>(
            runChecks(checker, text, folder, CheckLimits{MaxMarks, [&stop] { return stop.stop_requested(); }}));
        if (result->cancelled)
            return {};
        // Runs on the window's thread, only while the text is the one checked.
        return [this, result] { drawMarks(*result); };
    };
    return {editor::documentCopySteps(m_editor), std::move(work)};
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

    for (const auto &[indicator, severity] : {std::pair{m_errorIndicator, Severity::Error},
                                             std::pair{m_warningIndicator, Severity::Warning},
                                             std::pair{m_infoIndicator, Severity::Info}}) {
        if (indicator < 0)
            continue;
        ed->SendScintilla(Sci::SCI_SETINDICATORCURRENT, indicator);
        ed->SendScintilla(Sci::SCI_INDICATORCLEARRANGE, 0UL, docLength);
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
    m_editor->setIndicatorForegroundColor(readableColor(210, 200, base, 3.0), m_infoIndicator);
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

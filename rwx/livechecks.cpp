#include "rwx/livechecks.h"

#include "rwx/lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QEvent>
#include <QPalette>
#include <QTimer>
#include <QToolTip>

#include <algorithm>

namespace rwx {

using Sci = QsciScintillaBase;

LiveChecks::LiveChecks(QsciScintilla *editor) : QObject(editor), m_editor(editor)
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
    connect(m_timer, &QTimer::timeout, this, &LiveChecks::checkNow);
    connect(editor, &QsciScintilla::textChanged, m_timer, qOverload<>(&QTimer::start));
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

bool LiveChecks::checkPending() const
{
    return m_timer->isActive();
}

void LiveChecks::checkNow()
{
    m_timer->stop();
    if (!m_editor)
        return;
    QsciScintilla *ed = m_editor;
    const QString text = ed->text();
    const QList<Finding> findings = checkScript(text);
    const long docLength = ed->SendScintilla(Sci::SCI_GETLENGTH);

    m_marks.clear();
    m_marks.reserve(findings.size());
    // The checker counts UTF-16 units; the editor stores bytes and converts
    // with its own document (a stray byte that is not UTF-8 is one unit, as
    // in the text read above; an 8-bit document has one byte per unit).
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
    while (it != m_marks.cbegin()) {
        --it;
        if (it->start < lineStart)
            break;
        if (position < it->end)
            messages.prepend(it->message);
    }
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

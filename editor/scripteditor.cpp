#include "editor/scripteditor.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHashFunctions>
#include <QMimeData>

#include "editor/livechecks.h"

#include <algorithm>
#include <cstdint>

namespace {
// True when every printable ASCII character is as wide as a blank, which
// keeps a script's columns lined up. Whether the font calls itself fixed
// pitch does not matter: some whose ASCII is even (Noto Sans Mono) do not.
bool hasEvenAscii(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal blank = metrics.horizontalAdvance(QLatin1Char(' '));
    for (char c = '!'; c <= '~'; ++c) {
        if (metrics.horizontalAdvance(QLatin1Char(c)) != blank)
            return false;
    }
    return blank > 0;
}

// "Lucida Console" where it is installed, else the first font with even
// ASCII among the system's fixed-pitch font and a few common ones. The pane
// draws each style in a font it looks up by family name alone, so the font
// is judged, and named, as a name alone finds it.
QFont paneFont()
{
    const QStringList families = {QStringLiteral("Lucida Console"),
                                  QFontDatabase::systemFont(QFontDatabase::FixedFont).family(),
                                  QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                                  QStringLiteral("Noto Sans Mono"), QStringLiteral("Noto Mono"),
                                  QStringLiteral("monospace")};
    QFont font;
    for (const QString &family : families) {
        font = QFont(QFontInfo(QFont(family)).family());
        font.setPointSizeF(9.75);
        font.setWeight(QFont::Normal);
        if (hasEvenAscii(font))
            return font;
    }
    return font;
}

int scintillaEolMode(LineBreak lineBreak)
{
    switch (lineBreak) {
    case LineBreak::Lf:
        return QsciScintillaBase::SC_EOL_LF;
    case LineBreak::Cr:
        return QsciScintillaBase::SC_EOL_CR;
    case LineBreak::CrLf:
        break;
    }
    return QsciScintillaBase::SC_EOL_CRLF;
}
} // namespace

ScriptEditor::ScriptEditor(QWidget *parent)
    : QsciScintilla(parent)
{
    setUtf8(true);
    setFont(paneFont());
    setWrapMode(QsciScintilla::WrapNone);
    setMarginWidth(1, 0);
    // RWX highlighting, line numbers and structure marks.
    m_liveChecks = rwx::attachLiveChecks(this);
    SendScintilla(SCI_SETHSCROLLBAR, 1L);
    SendScintilla(SCI_SETVSCROLLBAR, 1L);
    SendScintilla(SCI_SETSCROLLWIDTH, 1L);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1L);
    SendScintilla(SCI_SETPASTECONVERTENDINGS, 1L);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setLineBreak(LineBreak::CrLf);
}

void ScriptEditor::setLineBreak(LineBreak lineBreak)
{
    m_lineBreak = lineBreak;
    SendScintilla(SCI_SETEOLMODE, scintillaEolMode(lineBreak));
}

QByteArrayView ScriptEditor::documentBytes() const
{
    const long length = SendScintilla(SCI_GETLENGTH);
    const auto *data = static_cast<const char *>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    return QByteArrayView(data, length);
}

QString ScriptEditor::wholeText() const
{
    const QByteArrayView bytes = documentBytes();
    const LineBreakCounts counts = countLineBreaks(bytes);
    const QString text = textFromPaneBytes(bytes);
    return counts.lf == 0 && counts.cr == 0 ? text : breaksToCrLf(text);
}

QByteArray ScriptEditor::paneBytesFor(const QString &text) const
{
    const QByteArrayView held = documentBytes();
    const LineBreakCounts counts = countLineBreaks(held);
    if (counts.kinds() > 1) {
        if (const std::optional<QString> kept = restoreLineBreaks(textFromPaneBytes(held), text))
            return kept->toUtf8();
    }
    // With one kind of break, the text's breaks all take it.
    return breaksFromCrLf(text, counts.kinds() == 1 ? counts.mostUsed() : m_lineBreak).toUtf8();
}

void ScriptEditor::replaceBytes(qsizetype from, qsizetype to, QByteArrayView bytes)
{
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(from), static_cast<long>(to));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size()), bytes.data());
}

void ScriptEditor::replaceWholeText(const QString &text)
{
    const QByteArray wanted = paneBytesFor(text);
    const QByteArrayView held = documentBytes();
    const qsizetype common = std::min(held.size(), wanted.size());
    qsizetype head = std::mismatch(held.begin(), held.begin() + common, wanted.begin()).first - held.begin();
    qsizetype tail = 0;
    while (tail < common - head && held[held.size() - 1 - tail] == wanted[wanted.size() - 1 - tail])
        ++tail;
    // Keep a multi-byte character whole at both edges of the change.
    auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    while (head > 0 && head < held.size() && isContinuation(held[head]))
        --head;
    while (tail > 0 && isContinuation(held[held.size() - tail]))
        --tail;

    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const qsizetype heldEnd = held.size() - tail;
    const qsizetype wantedEnd = wanted.size() - tail;
    if (heldEnd > head || wantedEnd > head) {
        beginUndoAction();
        replaceBytes(head, heldEnd, QByteArrayView(wanted).sliced(head, wantedEnd - head));
        endUndoAction();
    }
    long newCaret = caret;
    if (caret >= heldEnd)
        newCaret = caret - long(heldEnd) + long(wantedEnd);
    else if (caret > head)
        newCaret = long(wantedEnd);
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(newCaret));
}

void ScriptEditor::replaceSelection(const QString &text)
{
    const QByteArray bytes = breaksFromCrLf(text, m_lineBreak).toUtf8();
    beginUndoAction();
    const long from = SendScintilla(SCI_GETSELECTIONSTART);
    const long to = SendScintilla(SCI_GETSELECTIONEND);
    replaceBytes(from, to, bytes);
    endUndoAction();
    SendScintilla(SCI_SETEMPTYSELECTION, static_cast<unsigned long>(from + bytes.size()));
    SendScintilla(SCI_SCROLLCARET);
}

void ScriptEditor::loadDocument(QByteArrayView utf8, LineBreak lineBreak)
{
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(utf8.size() + 1));
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(utf8.size()), utf8.data());
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    markSaved();
    setLineBreak(lineBreak);
    SendScintilla(SCI_GOTOPOS, 0L);
    setReadOnly(wasReadOnly);
}

void ScriptEditor::markSaved()
{
    SendScintilla(SCI_SETSAVEPOINT);
    const QByteArrayView bytes = documentBytes();
    m_savedLength = bytes.size();
    m_savedHash = qHashBits(bytes.data(), size_t(bytes.size()));
}

bool ScriptEditor::differsFromSaved() const
{
    // At the save point the text is the saved one; away from it, it may
    // still be, when what was typed was deleted again.
    if (!SendScintilla(SCI_GETMODIFY))
        return false;
    const QByteArrayView bytes = documentBytes();
    return bytes.size() != m_savedLength || qHashBits(bytes.data(), size_t(bytes.size())) != m_savedHash;
}

void ScriptEditor::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void ScriptEditor::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData() && event->mimeData()->hasUrls() && event->possibleActions().testFlag(Qt::CopyAction)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ScriptEditor::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
}

void ScriptEditor::dropEvent(QDropEvent *event)
{
    if (!event->possibleActions().testFlag(Qt::CopyAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit dropped(event->mimeData());
}

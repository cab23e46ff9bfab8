#pragma once
// Copying a QsciScintilla document's text for work on another thread: in
// parts of a few megabytes, one a turn of the event loop (SnapshotWorker's
// copy step), or whole. Header only: the preview uses it without linking the
// editor's widgets.
#include "editor/snapshotworker.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QPointer>
#include <QString>

#include <algorithm>
#include <limits>

namespace editor {

// The bytes copied from the editor in one turn of the event loop, so that
// the copy of a large script never holds the window up for long.
inline constexpr long DocumentCopyBytesPerTurn = 4 * 1024 * 1024;

// Appends up to `most` more of the editor's bytes to `bytes`; true once all
// are there. The editor keeps its bytes in two parts, either side of a gap;
// a part is never read across the gap, which would move the text inside the
// editor. The text must not change between calls.
inline bool copyDocumentPart(const QsciScintilla &ed, QByteArray &bytes, long most)
{
    using Sci = QsciScintillaBase;
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

inline QByteArray documentCopy(const QsciScintilla &ed)
{
    QByteArray bytes;
    while (!copyDocumentPart(ed, bytes, std::numeric_limits<long>::max())) {
    }
    return bytes;
}

// SnapshotWorker's copy step for the editor's text. An editor that has gone
// leaves the snapshot as it is.
inline SnapshotWorker::CopyStep documentCopySteps(QsciScintilla *editor)
{
    return [editor = QPointer<QsciScintilla>(editor)](QByteArray &bytes) {
        return !editor || copyDocumentPart(*editor, bytes, DocumentCopyBytesPerTurn);
    };
}

// The text as the editor's text() gives it: a byte that is not UTF-8 is one
// unit of its own, and an 8-bit document has one unit per byte.
inline QString documentText(const QByteArray &bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

} // namespace editor

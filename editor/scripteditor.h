#pragma once
// The editing pane: a QScintilla editor for one RWX script. It keeps the
// script's bytes and line breaks exactly as loaded, and shows every CR LF,
// LF and lone CR as a line break. Its whole-text and selection operations
// speak CR LF; new text takes the script's usual line break.
#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "rwx/scripttext.h"

class QMimeData;
namespace rwx {
class LiveChecks;
}

class ScriptEditor : public QsciScintilla {
    Q_OBJECT
public:
    explicit ScriptEditor(QWidget *parent = nullptr);

    // The whole text, every line break as CR LF.
    QString wholeText() const;
    // Replaces the whole text as one undoable step. Only the part that
    // differs is touched, so the caret and the view stay where they were
    // when the change is elsewhere. When the text is the whole text with
    // characters deleted (as a clean-up leaves it), every line break kept
    // keeps its kind; otherwise its CR LF pairs take the script's usual break.
    void replaceWholeText(const QString &text);

    // The text replaces the selection, or goes in at the caret, as one
    // undoable step; the caret ends after it and nothing is selected.
    void replaceSelection(const QString &text);

    // A new document: the text (UTF-8) and the line break new text takes.
    // The undo history starts afresh.
    void loadDocument(QByteArrayView utf8, LineBreak lineBreak);
    // The document exactly as held: UTF-8, line breaks as typed. Valid until
    // the next change to the text.
    QByteArrayView documentBytes() const;

    // The text as it stands is what the file holds now (loading a document
    // marks it too).
    void markSaved();
    // True when the text differs from the one last loaded or marked saved;
    // edits that were undone, or typed and deleted again, leave it false.
    bool differsFromSaved() const;
    // Highlighting, line numbers and the live structure marks.
    rwx::LiveChecks *liveChecks() const { return m_liveChecks; }

signals:
    // Something was dropped on the pane; it inserts nothing by itself.
    void dropped(const QMimeData *data);

protected:
    // Files may be dropped, and only copied: the drop never answers Move, so
    // the program a file came from never removes its original. Dragged text
    // has nowhere to go.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void replaceBytes(qsizetype from, qsizetype to, QByteArrayView bytes);
    QByteArray paneBytesFor(const QString &text) const;
    void setLineBreak(LineBreak lineBreak);

    LineBreak m_lineBreak = LineBreak::CrLf;
    qsizetype m_savedLength = 0;
    size_t m_savedHash = 0;
    rwx::LiveChecks *m_liveChecks = nullptr;
};

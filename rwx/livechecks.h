#pragma once
// Live structure checks of an RWX script in a QsciScintilla editor. After
// every change to the text a single-shot timer waits for a pause in typing,
// then the checker runs once over the whole text and its findings are drawn
// as squiggles (dimmer ones for unknown keywords); resting the mouse on a
// mark shows its message as a tooltip. Attaching also gives the editor RWX
// highlighting and a line-number margin sized to the line count. Nothing
// here changes the text or its undo history.
#include "rwx/checker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <Qsci/qsciscintilla.h>
class QTimer;

namespace rwx {

class RwxLexer;

class LiveChecks : public QObject {
    Q_OBJECT
public:
    // A drawn mark, in the editor's byte positions: [start, end).
    struct Mark {
        int start = 0;
        int end = 0;
        Severity severity = Severity::Error;
        QString message;
    };

    static constexpr int DefaultPauseMs = 500;
    static constexpr int DwellMs = 400;

    // Use attachLiveChecks(); the object is a child of the editor and lives as
    // long as it does.
    explicit LiveChecks(QsciScintilla *editor);

    QsciScintilla *editor() const { return m_editor; }
    RwxLexer *lexer() const { return m_lexer; }

    // The font of the script and the line numbers. Use this rather than the
    // editor's setFont(), which a lexer overrides; a font set on the widget
    // itself is followed too.
    void setFont(const QFont &font);

    // The pause after the last change before the check runs.
    int pause() const;
    void setPause(int ms);

    // Runs the check at once (and cancels a pending one).
    void checkNow();
    // Whether a check is waiting for the pause to end.
    bool checkPending() const;
    // Checks run so far.
    int checkCount() const { return m_checkCount; }

    // The marks drawn by the last check, in order of position.
    const QList<Mark> &marks() const { return m_marks; }
    // The messages of the marks covering a byte position, one per line;
    // empty when there is none. This is the tooltip text.
    QString messageAt(int position) const;

    // Indicator numbers used for the marks.
    int errorIndicator() const { return m_errorIndicator; }
    int warningIndicator() const { return m_warningIndicator; }

signals:
    // A check has run and its marks are drawn.
    void checked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyPalette();
    void updateMargin();
    void showTooltip(int position, int x, int y);

    QPointer<QsciScintilla> m_editor;
    RwxLexer *m_lexer = nullptr;
    QTimer *m_timer = nullptr;
    QList<Mark> m_marks;
    int m_errorIndicator = -1;
    int m_warningIndicator = -1;
    int m_marginDigits = 0;
    int m_checkCount = 0;
};

// Gives the editor RWX highlighting, line numbers and live structure marks.
// Takes the editor's current font and palette (and follows later changes).
// Calling it again on the same editor returns the same object.
LiveChecks *attachLiveChecks(QsciScintilla *editor);

} // namespace rwx

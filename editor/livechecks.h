#pragma once
// Live structure checks of an RWX script in a QsciScintilla editor. After
// every change to the text a SnapshotWorker waits for a pause in typing;
// then the text is copied, a few megabytes per turn of the event loop, and
// the checker runs once over the copy on a worker thread. Its findings are
// drawn as squiggles (dimmer ones for unknown keywords) if the text is still
// the one it read; a change stops the check under way. At most MaxMarks
// marks are drawn, the first ones in the text; resting the mouse on a mark
// shows its message as a tooltip, and the first mark's also says how many
// more there are. Attaching also gives the editor RWX highlighting and a
// line-number margin sized to the line count. Nothing here changes the text
// or its undo history.
//
// Once the script's folder is known, the same check also looks up the
// textures and masks its `Texture` lines name, as a world's server would
// find them (scene/deploycheck.h), and marks those it would not with a
// dashed underline of another colour: advice, never a fault. The lookups run
// on the worker thread with the rest; a script without a folder looks
// nothing up. A change in one of the texture folders checks again.
#include "editor/snapshotworker.h"
#include "rwx/checker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <Qsci/qsciscintilla.h>

#include <functional>

class QFileSystemWatcher;

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

    static constexpr int DefaultPauseMs = editor::TypingPauseMs;
    static constexpr int DwellMs = 400;
    static constexpr int MaxMarks = 1000;

    // The check run over the text. The worker thread calls it on its own
    // copy of the text; it must honour limits.stop to be stopped early. The
    // texture lookups run after it, whatever it is.
    using Checker = std::function<CheckResult(QStringView text, const CheckLimits &limits)>;

    // Use attachLiveChecks(); the object is a child of the editor and lives as
    // long as it does.
    explicit LiveChecks(QsciScintilla *editor);
    ~LiveChecks() override;

    QsciScintilla *editor() const { return m_editor; }
    RwxLexer *lexer() const { return m_lexer; }

    // The font of the script and the line numbers. Use this rather than the
    // editor's setFont(), which a lexer overrides; a font set on the widget
    // itself is followed too.
    void setFont(const QFont &font);

    // The pause after the last change before the check runs.
    int pause() const;
    void setPause(int ms);

    // Runs the check at once on this thread, and stops a pending or running one.
    void checkNow();
    // Whether a check is waiting for the pause to end or running.
    bool checkPending() const;
    // Whether a check is copying the text or running on a worker thread.
    bool checkRunning() const;
    // Checks whose marks were drawn so far.
    int checkCount() const { return m_checkCount; }

    // Replaces the check run over the text (the structure checker by default).
    void setChecker(Checker checker);

    // The folder of the script (ending in a separator or not), where its
    // textures are looked for; empty for a text that was never saved, which
    // looks nothing up. A new folder checks the text again.
    void setScriptFolder(const QString &folder);

    // The marks drawn by the last check, in order of position.
    const QList<Mark> &marks() const { return m_marks; }
    // All findings of the last check, those without a mark included.
    qsizetype findingCount() const { return m_findingCount; }
    // The messages of the marks covering a byte position, one per line;
    // empty when there is none. This is the tooltip text.
    QString messageAt(int position) const;

    // Indicator numbers used for the marks.
    int errorIndicator() const { return m_errorIndicator; }
    int warningIndicator() const { return m_warningIndicator; }
    int infoIndicator() const { return m_infoIndicator; }

signals:
    // A check has run and its marks are drawn.
    void checked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    editor::SnapshotWorker::Job checkJob();
    void drawMarks(const CheckResult &result);
    void applyPalette();
    void updateMargin();
    void showTooltip(int position, int x, int y);

    QPointer<QsciScintilla> m_editor;
    RwxLexer *m_lexer = nullptr;
    editor::SnapshotWorker *m_worker = nullptr;
    Checker m_checker;
    QList<Mark> m_marks;
    qsizetype m_findingCount = 0;
    int m_errorIndicator = -1;
    int m_warningIndicator = -1;
    int m_infoIndicator = -1;
    QString m_scriptFolder;
    QFileSystemWatcher *m_folderWatcher = nullptr;
    int m_marginDigits = 0;
    int m_checkCount = 0;
};

// Gives the editor RWX highlighting, line numbers and live structure marks.
// Takes the editor's current font and palette (and follows later changes).
// Calling it again on the same editor returns the same object.
LiveChecks *attachLiveChecks(QsciScintilla *editor);

} // namespace rwx

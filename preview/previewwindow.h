#pragma once
// The window "Orvane. 3D preview": the picture of what the editor's script
// draws, kept up to date as it is typed, and linked to the text both ways.
//
// After every change to the text a SnapshotWorker waits for the same pause
// as the structure marks; then a snapshot of the text is built into a scene,
// textures and all, on a worker thread. The result is shown only if the
// text and the folder have not changed since the snapshot; a change, or
// closing the window, stops the build under way, and nothing ever waits for
// it (a build stuck reading a texture holds up no later one). The camera
// stays where the user left it, except when the window opens and after
// rebuildNow(Fit::Fit); a script newly opened shows from the first view's
// angles. The window never changes the text, its undo history or any file
// but the pictures it is told to save.
//
// Clicking a face puts the editor's caret at the start of the line that made
// it and scrolls there; the focus stays where it was. When the caret stands
// on a line that made triangles, they are outlined.
//
// A tool bar above the picture saves it as a PNG file (Save Picture…,
// Ctrl+S), goes back to the first view (Home), and toggles the animation
// (Pause, P), the tagged faces (Show Tags, T) and the origin's axes (Axes,
// A). The line under the picture gives the triangle count, the object's
// size in metres, why nothing can be seen when nothing can, the textures
// that are missing and, with the tags shown, the aspect of the sign
// surfaces.
//
// Where the platform has no usable OpenGL the window shows one line saying
// so instead of the picture; everything else goes on working.
#include "preview/previewview.h"

#include "editor/snapshotworker.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class QAction;
class QLabel;
class QToolBar;
class QsciScintilla;

namespace preview {

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Title = QStringLiteral("Orvane. 3D preview");
    static inline const QString NoOpenGLMessage = QStringLiteral("The 3D preview needs OpenGL 2.1 or later.");

    explicit PreviewWindow(QsciScintilla *editor, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // The folder of the script in the editor, where its textures are looked
    // for (with textures/ and ../textures/); empty before a file is open.
    void setScriptFolder(const QString &folder);
    QString scriptFolder() const { return m_folder; }

    // Builds the scene from the text at once (cancelling a pending wait);
    // with Fit::Fit the camera frames the result, with Fit::Reset from the
    // first view's angles.
    void rebuildNow(PreviewView::Fit fit = PreviewView::Fit::Keep);
    // Another script was opened in the editor: its scene shows from the
    // first view's angles, at once if the window is open, else when it opens.
    void openedNewScript();

    // What saving the picture needs from the main window: the script's path
    // (empty when none is open), for the picture's usual name beside it, and
    // the file chooser, question and message, which go through the main
    // window's dialogs, over this window.
    struct Questions {
        std::function<QString()> scriptPath;
        std::function<std::optional<QString>(QWidget *parent, const QString &suggested)> pictureFile;
        std::function<bool(QWidget *parent, const QString &question)> yesNo;
        std::function<void(QWidget *parent, const QString &message)> error;
    };
    void setQuestions(Questions questions);
    // Save Picture…: asks where (the script's name with .png, beside it, at
    // first), asks before replacing a file, and writes the view as it is
    // shown (without the caret's outline) as a PNG file; a failure is
    // reported with the file's name and the reason.
    void savePicture();

    // The pause after the last change before the scene is rebuilt.
    int pause() const;
    void setPause(int ms);
    // Whether a rebuild is waiting for the pause or running.
    bool rebuildPending() const;
    // Replaces how a snapshot is made into a scene (prepareScene by default);
    // it runs on a worker thread.
    using Builder = std::function<PreparedScene(QStringView script, const QString &scriptFolder, std::stop_token stop)>;
    void setBuilder(Builder builder);
    // Scenes shown so far.
    int sceneCount() const { return m_sceneCount; }

    // The picture; null where there is no usable OpenGL.
    PreviewView *view() const { return m_view; }
    // The line under the picture: triangle count, size, hints and missing
    // textures, or the message that OpenGL is missing.
    QLabel *statusLine() const { return m_status; }
    // A note on the object as a whole (its name, say) that the status line
    // ends with; empty for none.
    void setObjectNote(const QString &note);
    // The tool bar's commands; null where there is no usable OpenGL.
    QToolBar *toolBar() const { return m_toolBar; }

signals:
    // The user closed the window.
    void closed();
    // A rebuilt scene is showing.
    void sceneShown();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void textChanged();
    editor::SnapshotWorker::Job buildJob();
    void showScene(const std::shared_ptr<const PreparedScene> &scene);
    void updateStatus();
    void makeToolBar();
    void showNoOpenGL();
    void followCaret();
    void goToLine(int line);

    QPointer<QsciScintilla> m_editor;
    PreviewView *m_view = nullptr;
    QLabel *m_status = nullptr;
    QToolBar *m_toolBar = nullptr;
    QAction *m_pause = nullptr;
    Questions m_questions;
    editor::SnapshotWorker *m_worker = nullptr;
    Builder m_builder;
    QString m_folder;
    QString m_objectNote;
    PreviewView::Fit m_fitNext = PreviewView::Fit::Keep;
    int m_sceneCount = 0;
};

} // namespace preview

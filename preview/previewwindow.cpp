#include "preview/previewwindow.h"

#include "editor/documentcopy.h"
#include "preview/picturefile.h"

#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QToolBar>
#include <QVBoxLayout>

namespace preview {

namespace {

// The stronger of two requests to frame the scene.
PreviewView::Fit stronger(PreviewView::Fit a, PreviewView::Fit b)
{
    return std::max(a, b);
}

} // namespace

PreviewWindow::PreviewWindow(QsciScintilla *editor, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_editor(editor)
    , m_builder(prepareScene)
{
    setObjectName(QStringLiteral("previewWindow"));
    setWindowTitle(Title);
    resize(640, 560);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("previewStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setContentsMargins(6, 3, 6, 3);
    // A long list of missing textures must not widen the window; the
    // tooltip holds all of it.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    if (openGLAvailable()) {
        m_view = new PreviewView(this);
        m_view->setObjectName(QStringLiteral("previewView"));
        makeToolBar();
        layout->addWidget(m_toolBar);
        layout->addWidget(m_view, 1);
        connect(m_view, &PreviewView::lineClicked, this, &PreviewWindow::goToLine);
        connect(m_view, &PreviewView::openGLUnusable, this, &PreviewWindow::showNoOpenGL, Qt::QueuedConnection);
        connect(m_view, &PreviewView::emptyViewHintChanged, this, &PreviewWindow::updateStatus);
    } else {
        m_status->setText(NoOpenGLMessage);
        m_status->setAlignment(Qt::AlignCenter);
    }
    layout->addWidget(m_status, m_view ? 0 : 1);

    m_worker = new editor::SnapshotWorker([this] { return buildJob(); }, this);
    m_worker->setObjectName(QStringLiteral("previewWorker"));
    if (m_editor && m_view) {
        connect(m_editor, &QsciScintilla::textChanged, this, &PreviewWindow::textChanged);
        connect(m_editor, &QsciScintilla::cursorPositionChanged, this, &PreviewWindow::followCaret);
    }
}

// The worker stops a build under way and waits for none.
PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::makeToolBar()
{
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("previewToolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [this](const QString &text, const char *name, const QKeySequence &keys, const QString &tip) {
        QAction *action = m_toolBar->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(keys);
        action->setToolTip(keys.isEmpty() ? tip : QStringLiteral("%1 (%2)").arg(tip, keys.toString(QKeySequence::NativeText)));
        return action;
    };
    connect(add(QStringLiteral("Save Picture\u2026"), "previewSavePicture", QKeySequence(Qt::CTRL | Qt::Key_S),
                QStringLiteral("Save the view as a PNG picture, by default beside the script under its name")),
            &QAction::triggered, this, &PreviewWindow::savePicture);
    QAction *home = add(QStringLiteral("Home"), "previewHome", {},
                        QStringLiteral("Back to the first view of the whole object (Home)"));
    connect(home, &QAction::triggered, m_view, &PreviewView::resetCamera);
    m_toolBar->addSeparator();
    m_pause = add(QStringLiteral("Pause"), "previewPause", QKeySequence(Qt::Key_P),
                  QStringLiteral("Stop animated textures where they are, for a still picture"));
    m_pause->setCheckable(true);
    m_pause->setEnabled(false); // until a scene animates
    connect(m_pause, &QAction::toggled, m_view, &PreviewView::setAnimationPaused);
    QAction *tags = add(QStringLiteral("Show Tags"), "previewShowTags", QKeySequence(Qt::Key_T),
                        QStringLiteral("Tint tagged faces (signs, tag 100, blue; pictures, tag 200, orange; others "
                                       "violet), label signs and pictures, and give each sign's width : height"));
    tags->setCheckable(true);
    connect(tags, &QAction::toggled, this, [this](bool on) {
        m_view->setTagsShown(on);
        updateStatus();
    });
    QAction *axes = add(QStringLiteral("Axes"), "previewAxes", QKeySequence(Qt::Key_A),
                        QStringLiteral("Show the axes through the origin: x red, y green, z blue"));
    axes->setCheckable(true);
    connect(axes, &QAction::toggled, m_view, &PreviewView::setAxesShown);
}

void PreviewWindow::setScriptFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    // A build under way reads the old folder's textures: it starts again.
    if (m_worker->busy())
        m_worker->startNow();
}

int PreviewWindow::pause() const
{
    return m_worker->pause();
}

void PreviewWindow::setPause(int ms)
{
    m_worker->setPause(ms);
}

bool PreviewWindow::rebuildPending() const
{
    return m_worker->pending();
}

void PreviewWindow::setBuilder(Builder builder)
{
    m_builder = std::move(builder);
}

void PreviewWindow::setQuestions(Questions questions)
{
    m_questions = std::move(questions);
}

void PreviewWindow::textChanged()
{
    if (isVisible())
        m_worker->changed();
    else
        m_worker->stop();
}

void PreviewWindow::rebuildNow(PreviewView::Fit fit)
{
    if (!m_view)
        return;
    m_fitNext = stronger(m_fitNext, fit);
    m_worker->startNow();
}

void PreviewWindow::openedNewScript()
{
    m_fitNext = PreviewView::Fit::Reset;
    if (isVisible())
        rebuildNow();
}

editor::SnapshotWorker::Job PreviewWindow::buildJob()
{
    if (!m_view || !m_editor)
        return {};
    // The worker gets the text's bytes, taken in parts on this thread, and
    // copies of the folder and the builder; it touches nothing else.
    auto work = [this, utf8 = m_editor->isUtf8(), folder = m_folder, build = m_builder](
                    QByteArray bytes, std::stop_token stop) -> editor::SnapshotWorker::Apply {
        const QString text = editor::documentText(bytes, utf8);
        bytes = QByteArray();
        auto scene = std::make_shared<const PreparedScene>(build(text, folder, stop));
        if (scene->cancelled)
            return {};
        return [this, scene] { showScene(scene); };
    };
    return {editor::documentCopySteps(m_editor), std::move(work)};
}

void PreviewWindow::showScene(const std::shared_ptr<const PreparedScene> &scene)
{
    const PreviewView::Fit fit = std::exchange(m_fitNext, PreviewView::Fit::Keep);
    m_view->setScene(scene, fit);
    m_pause->setEnabled(scene->animates());
    followCaret();
    updateStatus();
    ++m_sceneCount;
    emit sceneShown();
}

void PreviewWindow::setObjectNote(const QString &note)
{
    m_objectNote = note;
    updateStatus();
}

void PreviewWindow::updateStatus()
{
    if (!m_view || !m_view->scene())
        return;
    const PreparedScene &prepared = *m_view->scene();
    const qsizetype triangles = prepared.scene.triangleCount();
    QStringList parts{triangles == 1 ? QStringLiteral("1 triangle") : QStringLiteral("%1 triangles").arg(triangles)};
    if (triangles > 0)
        parts << sizeInMetres(prepared.scene.boundsMin(), prepared.scene.boundsMax());
    if (!m_view->emptyViewHint().isEmpty())
        parts << m_view->emptyViewHint();
    if (const QString signs = m_view->tagsShown() ? signAspects(prepared) : QString(); !signs.isEmpty())
        parts << signs;
    if (prepared.scene.incomplete)
        parts << QStringLiteral("too large: only the first %1 triangles are drawn").arg(rwx::Scene::MaxTriangles);
    parts << prepared.notes;
    if (!m_objectNote.isEmpty())
        parts << m_objectNote;
    m_status->setText(parts.join(QStringLiteral("; ")));
    m_status->setToolTip(parts.join(u'\n'));
}

void PreviewWindow::savePicture()
{
    if (!m_view || !m_questions.pictureFile)
        return;
    const QString script = m_questions.scriptPath ? m_questions.scriptPath() : QString();
    const std::optional<QString> chosen = m_questions.pictureFile(this, pictureNameFor(script, QDir::homePath()));
    if (!chosen || chosen->isEmpty())
        return;
    const QString &path = *chosen;
    const QFileInfo target(path);
    if (target.exists() && m_questions.yesNo
        && !m_questions.yesNo(this, QStringLiteral("%1 already exists. Replace it?").arg(target.fileName())))
        return;
    const QImage picture = m_view->picture();
    QString reason;
    if (picture.isNull())
        reason = QStringLiteral("The picture could not be drawn.");
    else
        writePicture(picture, path, &reason);
    if (!reason.isEmpty() && m_questions.error)
        m_questions.error(this, QStringLiteral("Could not save %1\n%2").arg(path, reason));
}

void PreviewWindow::showNoOpenGL()
{
    if (!m_view)
        return;
    m_worker->stop();
    m_view->hide();
    m_view->deleteLater();
    m_view = nullptr;
    m_toolBar->hide();
    m_toolBar->deleteLater();
    m_toolBar = nullptr;
    m_pause = nullptr;
    m_status->setText(NoOpenGLMessage);
    m_status->setToolTip(QString());
    m_status->setAlignment(Qt::AlignCenter);
    static_cast<QVBoxLayout *>(layout())->setStretchFactor(m_status, 1);
}

void PreviewWindow::followCaret()
{
    if (!m_view || !m_editor)
        return;
    int line = 0, index = 0;
    m_editor->getCursorPosition(&line, &index);
    m_view->setOutlinedLine(line + 1);
}

void PreviewWindow::goToLine(int line)
{
    if (!m_editor || line < 1 || line > m_editor->lines())
        return;
    // Moving the caret changes neither the text nor the focus.
    m_editor->setCursorPosition(line - 1, 0);
    m_editor->ensureLineVisible(line - 1);
}

void PreviewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        rebuildNow(PreviewView::Fit::Fit);
}

void PreviewWindow::closeEvent(QCloseEvent *event)
{
    m_worker->stop();
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace preview

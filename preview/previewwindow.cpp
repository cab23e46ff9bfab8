#include "preview/previewwindow.h"

#include "editor/documentcopy.h"

#include <Qsci/qsciscintilla.h>

#include <QCloseEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace preview {

namespace {
QString describe(const PreparedScene &prepared)
{
    const qsizetype triangles = prepared.scene.triangleCount();
    QStringList parts{triangles == 1 ? QStringLiteral("1 triangle") : QStringLiteral("%1 triangles").arg(triangles)};
    if (prepared.scene.incomplete)
        parts << QStringLiteral("too large: only the first %1 triangles are drawn").arg(rwx::Scene::MaxTriangles);
    parts << prepared.notes;
    return parts.join(QStringLiteral("; "));
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
        layout->addWidget(m_view, 1);
        connect(m_view, &PreviewView::lineClicked, this, &PreviewWindow::goToLine);
        connect(m_view, &PreviewView::openGLUnusable, this, &PreviewWindow::showNoOpenGL, Qt::QueuedConnection);
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
    m_fitNext = m_fitNext || fit == PreviewView::Fit::Fit;
    m_worker->startNow();
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
    const bool fit = m_fitNext;
    m_fitNext = false;
    m_view->setScene(scene, fit ? PreviewView::Fit::Fit : PreviewView::Fit::Keep);
    followCaret();
    m_sceneStatus = describe(*scene);
    m_sceneNotes = scene->notes;
    showStatus();
    ++m_sceneCount;
    emit sceneShown();
}

void PreviewWindow::setObjectNote(const QString &note)
{
    m_objectNote = note;
    showStatus();
}

void PreviewWindow::showStatus()
{
    if (!m_view)
        return; // the line says that OpenGL is missing
    QStringList line, tip = m_sceneNotes;
    if (!m_sceneStatus.isEmpty())
        line << m_sceneStatus;
    if (!m_objectNote.isEmpty()) {
        line << m_objectNote;
        tip << m_objectNote;
    }
    m_status->setText(line.join(QStringLiteral("; ")));
    m_status->setToolTip(tip.join(u'\n'));
}

void PreviewWindow::showNoOpenGL()
{
    if (!m_view)
        return;
    m_worker->stop();
    m_view->hide();
    m_view->deleteLater();
    m_view = nullptr;
    m_status->setText(NoOpenGLMessage);
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

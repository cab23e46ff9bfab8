#include "preview/previewwindow.h"

#include "editor/typingpause.h"

#include <Qsci/qsciscintilla.h>

#include <QCloseEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

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

    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(editor::TypingPauseMs);
    connect(m_timer, &QTimer::timeout, this, &PreviewWindow::startBuild);
    connect(&m_watcher, &QFutureWatcher<Build>::finished, this, &PreviewWindow::buildFinished);
    if (m_editor && m_view) {
        connect(m_editor, &QsciScintilla::textChanged, this, &PreviewWindow::textChanged);
        connect(m_editor, &QsciScintilla::cursorPositionChanged, this, &PreviewWindow::followCaret);
    }
}

PreviewWindow::~PreviewWindow()
{
    // The worker holds only its own copies; wait for it so nothing outlives
    // the window.
    m_watcher.waitForFinished();
}

void PreviewWindow::setScriptFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    ++m_generation;
}

int PreviewWindow::pause() const
{
    return m_timer->interval();
}

void PreviewWindow::setPause(int ms)
{
    m_timer->setInterval(ms);
}

bool PreviewWindow::rebuildPending() const
{
    return m_timer->isActive() || m_watcher.isRunning();
}

void PreviewWindow::textChanged()
{
    ++m_generation;
    if (isVisible())
        m_timer->start();
}

void PreviewWindow::rebuildNow(PreviewView::Fit fit)
{
    if (!m_view)
        return;
    m_timer->stop();
    m_fitNext = m_fitNext || fit == PreviewView::Fit::Fit;
    startBuild();
}

void PreviewWindow::startBuild()
{
    if (!m_view || !m_editor)
        return;
    if (m_watcher.isRunning()) {
        m_buildAgain = true;
        return;
    }
    // The snapshot: the document's bytes and the folder, copied here on the
    // window's thread; the worker touches nothing else.
    const int length = m_editor->length();
    const QByteArray bytes = m_editor->bytes(0, length).left(length);
    const bool utf8 = m_editor->isUtf8();
    const QString folder = m_folder;
    const quint64 generation = m_generation;
    m_watcher.setFuture(QtConcurrent::run([bytes, utf8, folder, generation] {
        const QString text = utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
        return Build{generation, std::make_shared<const PreparedScene>(prepareScene(text, folder))};
    }));
}

void PreviewWindow::buildFinished()
{
    const Build build = m_watcher.result();
    if (m_buildAgain) {
        m_buildAgain = false;
        startBuild();
    }
    if (build.generation == m_generation)
        showScene(build.scene);
}

void PreviewWindow::showScene(const std::shared_ptr<const PreparedScene> &scene)
{
    const bool fit = m_fitNext;
    m_fitNext = false;
    m_view->setScene(scene, fit ? PreviewView::Fit::Fit : PreviewView::Fit::Keep);
    followCaret();
    m_status->setText(describe(*scene));
    m_status->setToolTip(scene->notes.join(u'\n'));
    ++m_sceneCount;
    emit sceneShown();
}

void PreviewWindow::showNoOpenGL()
{
    if (!m_view)
        return;
    m_timer->stop();
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
    m_timer->stop();
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace preview

// PreviewView: the scene shown, the camera, the animation, and the mouse and
// keys that move the camera or pick a line. The drawing itself is
// PreviewRenderer's, in the native window PreviewSurface.
#include "preview/previewview.h"

#include "preview/facing.h"
#include "preview/picking.h"
#include "preview/previewrenderer.h"
#include "preview/previewsurface.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace preview {

namespace {

// Degrees a pixel of drag, and a press of an arrow key, turn.
constexpr float kDegreesPerPixel = 0.4f;
constexpr float kDegreesPerKey = 5.0f;
constexpr float kZoomPerKey = 0.8f;
constexpr float kZoomPerWheelStep = 0.85f;
// Further than this between press and release is a drag, not a click.
constexpr qreal kClickSlop = 4.0;
constexpr int kStepMs = 1000 / PreviewView::AnimationStepsPerSecond;

} // namespace

bool openGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext context;
        return context.create() && usableVersion(context.format(), context.isOpenGLES());
    }();
    return available;
}

PreviewView::PreviewView(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    m_surface = new PreviewSurface(this);
    m_surface->installEventFilter(this);
    m_container = QWidget::createWindowContainer(m_surface, this);
    m_container->setFocusPolicy(Qt::NoFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_container);
    connect(m_surface, &PreviewSurface::unusable, this, &PreviewView::openGLUnusable);
    connect(m_surface, &QOpenGLWindow::frameSwapped, this, &PreviewView::frameSwapped);
    m_animation.setInterval(kStepMs / 4); // checks the clock a few times a step
    connect(&m_animation, &QTimer::timeout, this, &PreviewView::animate);
}

PreviewView::~PreviewView()
{
    // The surface and its renderer go while the view they read is whole.
    delete m_container;
}

float PreviewView::aspect() const
{
    return float(std::max(1, width())) / float(std::max(1, height()));
}

QString PreviewView::rendererName() const
{
    return m_surface->renderer() ? m_surface->renderer()->rendererName() : QString();
}

void PreviewView::requestFrame()
{
    m_surface->update();
    // The platform asks for the frame an update wants only a few
    // milliseconds later, which at the frame rates of a software renderer
    // costs a fifth of them; the window is asked at once instead, once a
    // frame (the later request finds nothing left to draw).
    if (!m_frameAsked && m_surface->isExposed()) {
        m_frameAsked = true;
        QCoreApplication::postEvent(m_surface, new QEvent(QEvent::UpdateRequest));
    }
}

void PreviewView::bounds(QVector3D *low, QVector3D *high) const
{
    if (m_scene)
        turnedBounds(m_scene->scene, low, high);
    else
        *low = *high = QVector3D();
}

QMatrix4x4 PreviewView::turn() const
{
    return m_scene ? facingTurn(m_scene->scene.axisAlignment, m_camera.eye(), m_camera.forward()) : QMatrix4x4();
}

void PreviewView::setScene(std::shared_ptr<const PreparedScene> scene, Fit fit)
{
    m_scene = std::move(scene);
    if (!m_scene)
        m_scene = std::make_shared<const PreparedScene>();
    QVector3D low, high;
    bounds(&low, &high);
    if (fit == Fit::Reset)
        m_camera.resetAngles();
    if (fit == Fit::Keep)
        m_camera.setSceneBounds(low, high);
    else
        m_camera.fit(low, high, aspect());
    upload();
    updateAnimation();
    requestFrame();
}

void PreviewView::upload()
{
    if (!m_surface->renderer())
        return; // when it first draws
    m_surface->makeCurrent();
    m_surface->renderer()->upload(m_scene);
    m_surface->doneCurrent();
}

void PreviewView::rendererReady()
{
    m_surface->renderer()->upload(m_scene); // the context is current
}

void PreviewView::setOutlinedLine(int line)
{
    if (line == m_outlinedLine)
        return;
    m_outlinedLine = line;
    requestFrame();
}

void PreviewView::fitCamera()
{
    QVector3D low, high;
    bounds(&low, &high);
    m_camera.fit(low, high, aspect());
    requestFrame();
}

void PreviewView::resetCamera()
{
    m_camera.resetAngles();
    fitCamera();
}

void PreviewView::setAnimationPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    // Going on, the animation takes up where it stood.
    m_stepBase = m_step;
    m_clock.start();
    updateAnimation();
}

void PreviewView::setTagsShown(bool shown)
{
    m_tags = shown;
    requestFrame();
}

void PreviewView::setAxesShown(bool shown)
{
    m_axes = shown;
    requestFrame();
}

void PreviewView::updateAnimation()
{
    const bool run = m_scene && m_scene->animates() && !m_paused && isVisible();
    if (run && !m_animation.isActive()) {
        m_stepBase = m_step;
        m_clock.start();
        m_animation.start();
    } else if (!run) {
        m_animation.stop();
    }
}

void PreviewView::animate()
{
    const qint64 step = m_stepBase + m_clock.elapsed() / kStepMs;
    if (step != m_step) {
        m_step = step;
        requestFrame();
    }
}

void PreviewView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateAnimation();
}

void PreviewView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateAnimation();
}

Frame PreviewView::frame() const
{
    Frame frame;
    frame.camera = m_camera;
    frame.pixelRatio = m_surface->devicePixelRatio();
    frame.pixels = (QSizeF(m_surface->size()) * frame.pixelRatio).toSize();
    frame.tick = m_step;
    frame.outlinedLine = m_outlinedLine;
    frame.tags = m_tags;
    frame.axes = m_axes;
    return frame;
}

void PreviewView::framePainted()
{
    m_frameAsked = false;
    const QString hint = m_scene ? preview::emptyViewHint(emptyView(*m_scene, turn(), m_camera, aspect()),
                                                 m_scene->scene.triangleCount())
                                 : QString();
    if (hint != m_emptyViewHint) {
        m_emptyViewHint = hint;
        emit emptyViewHintChanged(hint);
    }
}

QImage PreviewView::render(bool outline)
{
    PreviewRenderer *renderer = m_surface->renderer();
    if (!renderer)
        return {};
    Frame shown = frame();
    if (!outline)
        shown.outlinedLine = 0;
    m_surface->makeCurrent();
    QImage image = renderer->render(shown);
    m_surface->doneCurrent();
    image.setDevicePixelRatio(shown.pixelRatio);
    return image;
}

QImage PreviewView::grabFramebuffer()
{
    return render(true);
}

QImage PreviewView::picture()
{
    return render(false);
}

void PreviewView::pickAt(QPointF position)
{
    if (!m_scene)
        return;
    const Ray ray = m_camera.rayThrough(toNdc(position, size()), aspect());
    // The object may be turned towards the eye: the ray goes into its space.
    const QMatrix4x4 back = turn().inverted();
    const Ray inScene{back.map(ray.origin), back.mapVector(ray.direction).normalized()};
    const auto cutAway = [this](int mesh, QVector2D uv) { return m_scene->cutAway(mesh, uv, m_step); };
    if (const std::optional<Pick> pick = pickTriangle(m_scene->scene, inScene, cutAway))
        emit lineClicked(pick->line);
}

bool PreviewView::eventFilter(QObject *watched, QEvent *event)
{
    // What the native window receives is handled as if the view received it.
    if (watched != m_surface)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        mousePressEvent(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseMove:
        mouseMoveEvent(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseButtonRelease:
        mouseReleaseEvent(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseButtonDblClick:
        mouseDoubleClickEvent(static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    case QEvent::KeyPress:
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return event->isAccepted();
    default:
        return false;
    }
}

void PreviewView::mousePressEvent(QMouseEvent *event)
{
    if (m_dragButton == Qt::NoButton) {
        m_dragButton = event->button();
        m_pressPosition = m_lastPosition = event->position();
        m_dragged = false;
    }
    event->accept();
}

void PreviewView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragButton == Qt::NoButton)
        return;
    const QPointF delta = event->position() - m_lastPosition;
    m_lastPosition = event->position();
    if ((event->position() - m_pressPosition).manhattanLength() > kClickSlop)
        m_dragged = true;
    if (!m_dragged)
        return;
    if (m_dragButton == Qt::LeftButton)
        m_camera.orbit(-float(delta.x()) * kDegreesPerPixel, float(delta.y()) * kDegreesPerPixel);
    else if (m_dragButton == Qt::RightButton || m_dragButton == Qt::MiddleButton)
        m_camera.pan(delta, size());
    requestFrame();
}

void PreviewView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != m_dragButton)
        return;
    const bool click = !m_dragged && m_dragButton == Qt::LeftButton;
    m_dragButton = Qt::NoButton;
    if (click)
        pickAt(event->position());
}

void PreviewView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        fitCamera();
}

void PreviewView::wheelEvent(QWheelEvent *event)
{
    const float steps = float(event->angleDelta().y()) / 120.0f;
    if (steps != 0.0f) {
        m_camera.zoomToward(toNdc(event->position(), size()), std::pow(kZoomPerWheelStep, steps), aspect());
        requestFrame();
    }
    event->accept();
}

void PreviewView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        m_camera.orbit(kDegreesPerKey, 0);
        break;
    case Qt::Key_Right:
        m_camera.orbit(-kDegreesPerKey, 0);
        break;
    case Qt::Key_Up:
        m_camera.orbit(0, kDegreesPerKey);
        break;
    case Qt::Key_Down:
        m_camera.orbit(0, -kDegreesPerKey);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        m_camera.zoomToward({}, kZoomPerKey, aspect());
        break;
    case Qt::Key_Minus:
        m_camera.zoomToward({}, 1.0f / kZoomPerKey, aspect());
        break;
    case Qt::Key_Home:
        resetCamera();
        return;
    default:
        event->ignore();
        return;
    }
    event->accept();
    requestFrame();
}

} // namespace preview

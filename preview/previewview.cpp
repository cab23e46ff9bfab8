// PreviewView: the scene shown, the camera, and the mouse and keys that move
// it or pick a line. The drawing itself is in previewgl.cpp.
#include "preview/previewview.h"

#include "preview/picking.h"

#include <QKeyEvent>
#include <QMouseEvent>
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

} // namespace

void PreviewView::setScene(std::shared_ptr<const PreparedScene> scene, Fit fit)
{
    m_scene = std::move(scene);
    if (!m_scene)
        m_scene = std::make_shared<const PreparedScene>();
    if (fit == Fit::Fit)
        m_camera.fit(m_scene->scene.boundsMin(), m_scene->scene.boundsMax(), aspect());
    else
        m_camera.setSceneBounds(m_scene->scene.boundsMin(), m_scene->scene.boundsMax());
    m_uploadPending = true;
    m_outlinePending = true;
    if (m_ready) {
        makeCurrent();
        upload();
        doneCurrent();
    }
    update();
}

void PreviewView::setOutlinedLine(int line)
{
    if (line == m_outlinedLine)
        return;
    m_outlinedLine = line;
    m_outlinePending = true;
    update();
}

void PreviewView::fitCamera()
{
    if (m_scene)
        m_camera.fit(m_scene->scene.boundsMin(), m_scene->scene.boundsMax(), aspect());
    else
        m_camera.fit({}, {}, aspect());
    update();
}

void PreviewView::pickAt(QPointF position)
{
    if (!m_scene)
        return;
    const Ray ray = m_camera.rayThrough(toNdc(position, size()), aspect());
    if (const std::optional<Pick> pick = pickTriangle(m_scene->scene, ray))
        emit lineClicked(pick->line);
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
    update();
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
        update();
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
        fitCamera();
        return;
    default:
        QOpenGLWidget::keyPressEvent(event);
        return;
    }
    update();
}

} // namespace preview

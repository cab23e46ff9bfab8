#pragma once
// The 3D picture: draws a prepared scene with OpenGL (2.1 or later, or
// OpenGL ES 3), with a headlight and ambient light, a ground grid in metres
// at y = 0 and, on request, the outline of the triangles one script line
// made, the tagged faces tinted and labelled, and the origin's axes.
// Animated textures run at a steady AnimationStepsPerSecond unless paused.
//
// Mouse: left-drag orbits, the wheel zooms toward the pointer, right- or
// middle-drag pans, a click on a face reports the line that made it (a
// click on the part of a masked face that is cut away goes through it), a
// double-click fits the model. Keys: arrows orbit, + and - zoom, Home goes
// back to the first view of the whole model.
#include "preview/camera.h"
#include "preview/preparedscene.h"
#include "preview/viewnotes.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace preview {

class PreviewRenderer;
class PreviewSurface;
struct Frame;

// Whether this platform can give the preview a context it can use. Checked
// once; the offscreen platform, for one, has no OpenGL.
bool openGLAvailable();

class PreviewView : public QWidget {
    Q_OBJECT
public:
    static constexpr int AnimationStepsPerSecond = 5;

    explicit PreviewView(QWidget *parent = nullptr);
    ~PreviewView() override;

    // Shows a new scene. Its buffers and textures are uploaded at once when
    // the view has its context, else when it first draws. The camera stays
    // where it is (Keep), frames the scene from where it looks (Fit), or
    // frames it from the first view's angles (Reset).
    enum class Fit { Keep, Fit, Reset };
    void setScene(std::shared_ptr<const PreparedScene> scene, Fit fit);
    const std::shared_ptr<const PreparedScene> &scene() const { return m_scene; }

    // Outlines the triangles made by this 1-based line; 0 outlines nothing.
    void setOutlinedLine(int line);
    int outlinedLine() const { return m_outlinedLine; }

    // Frames the whole scene, keeping the angles.
    void fitCamera();
    // Frames the whole scene from the first view's angles.
    void resetCamera();
    Camera &camera() { return m_camera; }
    float aspect() const;
    // Draws the picture anew soon (after a change to the camera, say).
    void requestFrame();

    // Animated textures stand still while paused.
    void setAnimationPaused(bool paused);
    bool animationPaused() const { return m_paused; }
    // The animation step shown: frame (step mod n) of a strip of n frames.
    qint64 animationStep() const { return m_step; }
    void setTagsShown(bool shown);
    bool tagsShown() const { return m_tags; }
    void setAxesShown(bool shown);
    bool axesShown() const { return m_axes; }

    // Why nothing can be seen, as the status line says it; empty when
    // something can. Known once the picture has been drawn.
    QString emptyViewHint() const { return m_emptyViewHint; }

    // The picture as it is shown, drawn anew at the view's size; a null
    // image before the view has first been drawn.
    QImage grabFramebuffer();
    // The same without the caret's outline, for saving.
    QImage picture();

    // The OpenGL renderer's name, once the view has drawn.
    QString rendererName() const;

    // For the surface it draws in.
    Frame frame() const;
    void rendererReady();
    void framePainted();

signals:
    // A click landed on a face the given 1-based line made.
    void lineClicked(int line);
    // The context the view got is missing or too old to draw with.
    void openGLUnusable();
    // A frame has been put on the screen.
    void frameSwapped();
    void emptyViewHintChanged(const QString &hint);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void bounds(QVector3D *low, QVector3D *high) const;
    QMatrix4x4 turn() const;
    void pickAt(QPointF position);
    QImage render(bool outline);
    void upload();
    void animate();
    void updateAnimation();

    Camera m_camera;
    std::shared_ptr<const PreparedScene> m_scene;
    PreviewSurface *m_surface = nullptr;
    QWidget *m_container = nullptr;
    int m_outlinedLine = 0;
    bool m_frameAsked = false; // an update request is on its way to the surface
    bool m_tags = false;
    bool m_axes = false;
    QString m_emptyViewHint;

    // The animation: a step every 1/AnimationStepsPerSecond second.
    QTimer m_animation;
    QElapsedTimer m_clock;
    qint64 m_stepBase = 0; // the step when the clock started
    qint64 m_step = 0;
    bool m_paused = false;

    // The mouse drag under way.
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPointF m_pressPosition;
    QPointF m_lastPosition;
    bool m_dragged = false;
};

} // namespace preview

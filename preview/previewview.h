#pragma once
// The 3D picture: draws a prepared scene with OpenGL (2.1 or later, or
// OpenGL ES 3), with a headlight and ambient light, a faint ground grid at
// y = 0 and, on request, the outline of the triangles one script line made.
//
// Mouse: left-drag orbits, the wheel zooms toward the pointer, right- or
// middle-drag pans, a click on a face reports the line that made it, a
// double-click fits the model. Keys: arrows orbit, + and - zoom, Home fits.
#include "preview/camera.h"
#include "preview/preparedscene.h"

#include <QColor>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>

#include <memory>

namespace preview {

// Whether this platform can give the preview a context it can use. Checked
// once; the offscreen platform, for one, has no OpenGL.
bool openGLAvailable();

class PreviewView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    static constexpr QColor BackgroundColor{70, 76, 86};
    static constexpr QColor OutlineColor{255, 200, 0};

    explicit PreviewView(QWidget *parent = nullptr);
    ~PreviewView() override;

    // Shows a new scene. Its buffers and textures are uploaded at once when
    // the view has its context, else when it first draws. The camera stays
    // where it is unless `fit` is set.
    enum class Fit { Keep, Fit };
    void setScene(std::shared_ptr<const PreparedScene> scene, Fit fit);
    const std::shared_ptr<const PreparedScene> &scene() const { return m_scene; }

    // Outlines the triangles made by this 1-based line; 0 outlines nothing.
    void setOutlinedLine(int line);
    int outlinedLine() const { return m_outlinedLine; }

    // Frames the whole scene, keeping the angles.
    void fitCamera();
    Camera &camera() { return m_camera; }
    float aspect() const;

    // The OpenGL renderer's name, once the view has drawn.
    QString rendererName() const { return m_renderer; }

signals:
    // A click landed on a face the given 1-based line made.
    void lineClicked(int line);
    // The context the view got is missing or too old to draw with.
    void openGLUnusable();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct GpuMesh;
    struct GpuScene;

    void upload();
    void uploadOutline();
    void uploadGrid();
    void releaseGl();
    void drawMeshes(bool transparentPass);
    void drawLines(GLuint buffer, int count, QColor color, float width);
    void pickAt(QPointF position);

    Camera m_camera;
    std::shared_ptr<const PreparedScene> m_scene;
    std::unique_ptr<GpuScene> m_gpu;
    bool m_uploadPending = false;
    bool m_outlinePending = false;
    int m_outlinedLine = 0;
    bool m_ready = false;
    QMetaObject::Connection m_contextGone;
    QString m_renderer;
    std::unique_ptr<QOpenGLShaderProgram> m_program;

    // The mouse drag under way.
    Qt::MouseButton m_dragButton = Qt::NoButton;
    QPointF m_pressPosition;
    QPointF m_lastPosition;
    bool m_dragged = false;
};

} // namespace preview

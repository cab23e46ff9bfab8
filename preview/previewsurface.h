#pragma once
// The native window PreviewView draws in: OpenGL straight into the window.
// A QOpenGLWidget would draw into a texture that the window then copies
// into its own picture every frame, which on a software renderer costs as
// much as drawing a large model.
#include <QOpenGLWindow>

#include <memory>

namespace preview {

class PreviewRenderer;
class PreviewView;

class PreviewSurface : public QOpenGLWindow {
    Q_OBJECT
public:
    explicit PreviewSurface(PreviewView *view);
    ~PreviewSurface() override;

    // Null until the window first draws, and where OpenGL is unusable.
    PreviewRenderer *renderer() const { return m_renderer.get(); }

signals:
    // The context is missing or too old to draw with.
    void unusable();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseRenderer();

    PreviewView *m_view;
    std::unique_ptr<PreviewRenderer> m_renderer;
    QMetaObject::Connection m_contextGone;
};

// Whether a context of this format can draw the preview: OpenGL 2.1, or
// OpenGL ES 3.
bool usableVersion(const QSurfaceFormat &format, bool isEs);

} // namespace preview

#include "preview/previewsurface.h"

#include "preview/previewrenderer.h"
#include "preview/previewview.h"

#include <QOpenGLContext>

namespace preview {

bool usableVersion(const QSurfaceFormat &format, bool isEs)
{
    const auto version = qMakePair(format.majorVersion(), format.minorVersion());
    return isEs ? version >= qMakePair(3, 0) : version >= qMakePair(2, 1);
}

PreviewSurface::PreviewSurface(PreviewView *view)
    : m_view(view)
{
    // Faces hide what lies behind them only with a depth buffer.
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    setFormat(format);
}

PreviewSurface::~PreviewSurface()
{
    disconnect(m_contextGone);
    releaseRenderer();
}

void PreviewSurface::releaseRenderer()
{
    if (!m_renderer)
        return;
    makeCurrent();
    m_renderer.reset();
    doneCurrent();
}

void PreviewSurface::initializeGL()
{
    QOpenGLContext *ctx = context();
    if (!ctx || !usableVersion(ctx->format(), ctx->isOpenGLES())) {
        emit unusable();
        return;
    }
    disconnect(m_contextGone);
    m_contextGone = connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, &PreviewSurface::releaseRenderer);
    m_renderer = std::make_unique<PreviewRenderer>();
    if (!m_renderer->ready()) {
        m_renderer.reset();
        emit unusable();
        return;
    }
    m_view->rendererReady();
}

void PreviewSurface::paintGL()
{
    if (!m_renderer)
        return;
    m_renderer->paint(m_view->frame(), defaultFramebufferObject());
    m_view->framePainted();
}

} // namespace preview

#pragma once
// The preview's OpenGL side: the shader programs, a scene's buffers and
// textures on the GPU, and drawing a frame into a framebuffer. It lives
// while its context does and is used only with that context current.
//
// A frame draws, in order: the opaque faces; the ground grid; the
// see-through faces, back to front; on request the tint of tagged faces
// and the origin's axes; the outline of the caret's line; and the labels
// of the sign and picture faces and of the axes. An object that faces the
// viewer is turned towards the eye first.
#include "preview/camera.h"
#include "preview/preparedscene.h"

#include <QColor>
#include <QImage>
#include <QMatrix4x4>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

#include <array>
#include <memory>

namespace preview {

// What one frame shows.
struct Frame {
    Camera camera;
    QSize pixels;           // device pixels
    qreal pixelRatio = 1.0;
    qint64 tick = 0;        // the animation step
    int outlinedLine = 0;   // 0: none
    bool tags = false;
    bool axes = false;
};

class PreviewRenderer : protected QOpenGLFunctions {
public:
    static constexpr QColor BackgroundColor{70, 76, 86};
    static constexpr QColor OutlineColor{255, 200, 0};
    static constexpr QColor SignTint{60, 140, 255, 150};
    static constexpr QColor PictureTint{255, 150, 40, 150};
    static constexpr QColor OtherTagTint{190, 90, 230, 130};

    // With the context current. ready() says whether it can draw.
    PreviewRenderer();
    ~PreviewRenderer();
    PreviewRenderer(const PreviewRenderer &) = delete;
    PreviewRenderer &operator=(const PreviewRenderer &) = delete;

    bool ready() const { return m_ready; }
    QString rendererName() const { return m_rendererName; }

    // Puts the scene's buffers and textures on the GPU, in place of the
    // last one's (nothing is drawn for a null scene).
    void upload(const std::shared_ptr<const PreparedScene> &scene);
    // Draws the frame, with the scene uploaded last, into `framebuffer`.
    void paint(const Frame &frame, GLuint framebuffer);
    // Draws the frame into an image of frame.pixels; null if it cannot.
    QImage render(const Frame &frame);

private:
    struct Program;
    struct GpuMesh;
    struct Lines {
        GLuint buffer = 0;
        GLsizei count = 0;
    };

    void release();
    void uploadLines(Lines &lines, const QList<QVector3D> &points);
    void uploadDecorations();
    void useProgram(Program &program, const QMatrix4x4 &model);
    void bindTexture(int image, rwx::TextureAddressMode mode, qint64 tick);
    void setCulling(bool culled);
    void drawMesh(const GpuMesh &mesh, const QMatrix4x4 &turn, qint64 tick);
    void drawSeeThrough(const QMatrix4x4 &turn, QVector3D eye, qint64 tick);
    // Lines (or, with another mode, triangles) in one colour, unlit.
    void drawLines(const Lines &lines, const QMatrix4x4 &model, QColor color, float width, GLenum mode = GL_LINES,
                   GLint first = 0, GLsizei count = -1);
    void drawLabels(const Frame &frame, const QMatrix4x4 &turn);

    bool m_ready = false;
    QString m_rendererName;
    std::array<std::unique_ptr<Program>, 3> m_programs; // plain, prelit, batched
    Program *m_current = nullptr;
    QMatrix4x4 m_view, m_projection;
    qreal m_pixelRatio = 1.0;
    int m_cull = -1; // the face-culling state set: -1 unknown, 0 off, 1 on

    std::shared_ptr<const PreparedScene> m_scene;
    QList<GpuMesh> m_meshes;
    QList<QList<GLuint>> m_textures; // an image's frames
    GLuint m_seeThroughVertices = 0, m_seeThroughIndices = 0;
    QList<DrawRun> m_seeThroughRuns;
    QList<quint32> m_sortedIndices;
    QVector3D m_sortedFrom; // the eye the see-through faces were sorted for
    bool m_sorted = false;
    Lines m_grid, m_strongGrid, m_axes, m_tags, m_outline;
    float m_axisLength = 1.0f;
    int m_outlineLine = 0; // the line m_outline holds
};

} // namespace preview

// PreviewView's OpenGL side: the shader program, the scene's buffers and
// textures on the GPU, and drawing a frame.
#include "preview/previewview.h"

#include "preview/picking.h"
#include "preview/previewshaders.h"

#include <QOpenGLContext>

#include <cmath>

#ifndef GL_MIRRORED_REPEAT
#define GL_MIRRORED_REPEAT 0x8370
#endif
#ifndef GL_PROGRAM_POINT_SIZE
#define GL_PROGRAM_POINT_SIZE 0x8642
#endif

namespace preview {

using namespace shaders;

namespace {

// Light: a little from everywhere, plus a lamp at the eye.
constexpr float kAmbientLight = 0.8f;
constexpr float kHeadlight = 0.8f;
constexpr float kPointSize = 3.0f;
constexpr float kOutlineWidth = 2.0f;

// A round step near `wanted`: 1, 2 or 5 times a power of ten.
float niceStep(float wanted)
{
    const float power = std::pow(10.0f, std::floor(std::log10(wanted)));
    for (const float m : {1.0f, 2.0f, 5.0f})
        if (m * power >= wanted)
            return m * power;
    return 10.0f * power;
}

GLint wrapMode(rwx::TextureAddressMode mode)
{
    switch (mode) {
    case rwx::TextureAddressMode::Mirror:
        return GL_MIRRORED_REPEAT;
    case rwx::TextureAddressMode::Clamp:
        return GL_CLAMP_TO_EDGE;
    case rwx::TextureAddressMode::Wrap:
        break;
    }
    return GL_REPEAT;
}

bool usableVersion(const QSurfaceFormat &format, bool isEs)
{
    const auto version = qMakePair(format.majorVersion(), format.minorVersion());
    return isEs ? version >= qMakePair(3, 0) : version >= qMakePair(2, 1);
}

} // namespace

bool openGLAvailable()
{
    static const bool available = [] {
        QOpenGLContext context;
        return context.create() && usableVersion(context.format(), context.isOpenGLES());
    }();
    return available;
}

struct PreviewView::GpuMesh {
    GLuint positions = 0, normals = 0, uvs = 0, indices = 0, edges = 0;
    GLsizei vertexCount = 0, indexCount = 0, edgeCount = 0;
    Shading shading;
    rwx::GeometrySampling sampling = rwx::GeometrySampling::Solid;
    bool culled = true;
    GLuint texture = 0;
    bool masked = false;
    bool lit = true;
    GLint wrap = GL_REPEAT;
};

struct PreviewView::GpuScene {
    QList<GpuMesh> meshes;
    QList<GLuint> textures;
    GLuint grid = 0;
    GLsizei gridCount = 0;
    GLuint outline = 0;
    GLsizei outlineCount = 0;
};

PreviewView::PreviewView(QWidget *parent)
    : QOpenGLWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
}

PreviewView::~PreviewView()
{
    // The base class destroys the context later; by then this is no PreviewView.
    disconnect(m_contextGone);
    releaseGl();
}

float PreviewView::aspect() const
{
    return float(std::max(1, width())) / float(std::max(1, height()));
}

void PreviewView::initializeGL()
{
    initializeOpenGLFunctions();
    QOpenGLContext *ctx = context();
    if (!ctx || !usableVersion(ctx->format(), ctx->isOpenGLES())) {
        emit openGLUnusable();
        return;
    }
    disconnect(m_contextGone);
    m_contextGone = connect(ctx, &QOpenGLContext::aboutToBeDestroyed, this, &PreviewView::releaseGl);
    m_renderer = QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    m_program = std::make_unique<QOpenGLShaderProgram>();
    m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader);
    m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader);
    m_program->bindAttributeLocation("position", PositionSlot);
    m_program->bindAttributeLocation("normal", NormalSlot);
    m_program->bindAttributeLocation("uv", UvSlot);
    if (!m_program->link()) {
        qWarning("3D preview: the shaders do not link: %s", qPrintable(m_program->log()));
        m_program.reset();
        emit openGLUnusable();
        return;
    }
    m_gpu = std::make_unique<GpuScene>();
    glGenBuffers(1, &m_gpu->grid);
    glGenBuffers(1, &m_gpu->outline);
    m_ready = true;
    m_uploadPending = true;
    m_outlinePending = true;
}

void PreviewView::releaseGl()
{
    if (!m_ready)
        return;
    makeCurrent();
    for (const GpuMesh &mesh : std::as_const(m_gpu->meshes)) {
        const GLuint buffers[] = {mesh.positions, mesh.normals, mesh.uvs, mesh.indices, mesh.edges};
        glDeleteBuffers(5, buffers);
    }
    if (!m_gpu->textures.isEmpty())
        glDeleteTextures(GLsizei(m_gpu->textures.size()), m_gpu->textures.constData());
    glDeleteBuffers(1, &m_gpu->grid);
    glDeleteBuffers(1, &m_gpu->outline);
    m_gpu.reset();
    m_program.reset();
    m_ready = false;
    doneCurrent();
}

void PreviewView::upload()
{
    m_uploadPending = false;
    // The old scene's buffers and textures go first.
    for (const GpuMesh &mesh : std::as_const(m_gpu->meshes)) {
        const GLuint buffers[] = {mesh.positions, mesh.normals, mesh.uvs, mesh.indices, mesh.edges};
        glDeleteBuffers(5, buffers);
    }
    m_gpu->meshes.clear();
    if (!m_gpu->textures.isEmpty())
        glDeleteTextures(GLsizei(m_gpu->textures.size()), m_gpu->textures.constData());
    m_gpu->textures.clear();
    uploadGrid();
    if (!m_scene)
        return;

    for (const QImage &image : m_scene->textures) {
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width(), image.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     image.constBits());
        glGenerateMipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        m_gpu->textures << texture;
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    auto buffer = [this](GLenum target, const void *data, qsizetype bytes) {
        GLuint name = 0;
        glGenBuffers(1, &name);
        glBindBuffer(target, name);
        glBufferData(target, GLsizeiptr(bytes), data, GL_STATIC_DRAW);
        return name;
    };
    const rwx::Scene &scene = m_scene->scene;
    m_gpu->meshes.reserve(scene.meshes.size());
    for (qsizetype i = 0; i < scene.meshes.size(); ++i) {
        const rwx::Mesh &mesh = scene.meshes[i];
        const PreparedMesh &extra = m_scene->meshes.value(i);
        GpuMesh gpu;
        gpu.vertexCount = GLsizei(mesh.positions.size());
        gpu.indexCount = GLsizei(mesh.indices.size());
        gpu.edgeCount = GLsizei(extra.edges.size());
        gpu.positions = buffer(GL_ARRAY_BUFFER, mesh.positions.constData(), mesh.positions.size() * sizeof(QVector3D));
        gpu.normals = buffer(GL_ARRAY_BUFFER, mesh.normals.constData(), mesh.normals.size() * sizeof(QVector3D));
        gpu.uvs = buffer(GL_ARRAY_BUFFER, mesh.uvs.constData(), mesh.uvs.size() * sizeof(QVector2D));
        gpu.indices = buffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indices.constData(), mesh.indices.size() * sizeof(quint32));
        gpu.edges = buffer(GL_ELEMENT_ARRAY_BUFFER, extra.edges.constData(), extra.edges.size() * sizeof(quint32));
        gpu.shading = extra.shading;
        gpu.sampling = mesh.material.geometrySampling;
        gpu.culled = culledFromBehind(mesh.material);
        if (extra.texture >= 0 && extra.texture < m_gpu->textures.size()) {
            gpu.texture = m_gpu->textures[extra.texture];
            gpu.masked = extra.masked;
            gpu.lit = mesh.material.textureModes.testFlag(rwx::TextureMode::Lit);
        }
        gpu.wrap = wrapMode(mesh.material.addressMode);
        m_gpu->meshes << gpu;
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void PreviewView::uploadGrid()
{
    // Square cells of a round size, about a tenth of the scene across,
    // reaching a few scene radii around the point under its centre.
    const float radius = m_camera.sceneRadius();
    const QVector3D centre = m_camera.sceneCentre();
    const float step = niceStep(radius / 4.0f);
    const int half = int(std::ceil(2.5f * radius / step));
    const float x0 = std::round(centre.x() / step) * step;
    const float z0 = std::round(centre.z() / step) * step;
    const float reach = float(half) * step;
    QList<QVector3D> points;
    for (int i = -half; i <= half; ++i) {
        const float offset = float(i) * step;
        points << QVector3D(x0 + offset, 0, z0 - reach) << QVector3D(x0 + offset, 0, z0 + reach)
               << QVector3D(x0 - reach, 0, z0 + offset) << QVector3D(x0 + reach, 0, z0 + offset);
    }
    glBindBuffer(GL_ARRAY_BUFFER, m_gpu->grid);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(points.size() * sizeof(QVector3D)), points.constData(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_gpu->gridCount = GLsizei(points.size());
}

void PreviewView::uploadOutline()
{
    m_outlinePending = false;
    const QList<QVector3D> points = m_scene ? outlineOfLine(m_scene->scene, m_outlinedLine) : QList<QVector3D>();
    glBindBuffer(GL_ARRAY_BUFFER, m_gpu->outline);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(points.size() * sizeof(QVector3D)), points.constData(), GL_DYNAMIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m_gpu->outlineCount = GLsizei(points.size());
}

void PreviewView::paintGL()
{
    glClearColor(BackgroundColor.redF(), BackgroundColor.greenF(), BackgroundColor.blueF(), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_ready)
        return;
    if (m_uploadPending)
        upload();
    if (m_outlinePending)
        uploadOutline();

    const QMatrix4x4 view = m_camera.view();
    m_program->bind();
    m_program->setUniformValue("viewProjection", m_camera.projection(aspect()) * view);
    m_program->setUniformValue("view", view);
    m_program->setUniformValue("normalMatrix", view.normalMatrix());
    m_program->setUniformValue("pointSize", kPointSize * float(devicePixelRatioF()));
    m_program->setUniformValue("light", QVector2D(kAmbientLight, kHeadlight));
    m_program->setUniformValue("image", 0);
    if (!context()->isOpenGLES())
        glEnable(GL_PROGRAM_POINT_SIZE);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    drawMeshes(false);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    drawLines(m_gpu->grid, m_gpu->gridCount, QColor(255, 255, 255, 40), 1.0f);
    drawMeshes(true);

    glDisable(GL_DEPTH_TEST);
    drawLines(m_gpu->outline, m_gpu->outlineCount, OutlineColor, kOutlineWidth);

    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glLineWidth(1.0f);
    m_program->release();
}

void PreviewView::drawMeshes(bool transparentPass)
{
    glEnableVertexAttribArray(PositionSlot);
    glEnableVertexAttribArray(NormalSlot);
    glEnableVertexAttribArray(UvSlot);
    for (const GpuMesh &mesh : std::as_const(m_gpu->meshes)) {
        if ((mesh.shading.opacity < 1.0f) != transparentPass)
            continue;
        const Shading &s = mesh.shading;
        m_program->setUniformValue("color", QVector4D(s.color, s.opacity));
        m_program->setUniformValue("surface", QVector3D(s.ambient, s.diffuse, s.specular));
        m_program->setUniformValue("lighting", GLint(mesh.lit));
        m_program->setUniformValue("textured", GLint(mesh.texture != 0));
        m_program->setUniformValue("masked", GLint(mesh.masked));
        if (mesh.texture) {
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, mesh.texture);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, mesh.wrap);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, mesh.wrap);
        }
        if (mesh.culled) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(GL_CCW);
        } else {
            glDisable(GL_CULL_FACE);
        }
        glBindBuffer(GL_ARRAY_BUFFER, mesh.positions);
        glVertexAttribPointer(PositionSlot, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, mesh.normals);
        glVertexAttribPointer(NormalSlot, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, mesh.uvs);
        glVertexAttribPointer(UvSlot, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
        switch (mesh.sampling) {
        case rwx::GeometrySampling::Solid:
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indices);
            glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_INT, nullptr);
            break;
        case rwx::GeometrySampling::Wireframe:
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.edges);
            glDrawElements(GL_LINES, mesh.edgeCount, GL_UNSIGNED_INT, nullptr);
            break;
        case rwx::GeometrySampling::PointCloud:
            glDrawArrays(GL_POINTS, 0, mesh.vertexCount);
            break;
        }
        if (mesh.texture)
            glBindTexture(GL_TEXTURE_2D, 0);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glDisableVertexAttribArray(NormalSlot);
    glDisableVertexAttribArray(UvSlot);
    glDisableVertexAttribArray(PositionSlot);
    glDisable(GL_CULL_FACE);
}

void PreviewView::drawLines(GLuint buffer, int count, QColor color, float width)
{
    if (count <= 0)
        return;
    m_program->setUniformValue("color", QVector4D(color.redF(), color.greenF(), color.blueF(), color.alphaF()));
    m_program->setUniformValue("lighting", GLint(0));
    m_program->setUniformValue("textured", GLint(0));
    m_program->setUniformValue("masked", GLint(0));
    glVertexAttrib3f(NormalSlot, 0.0f, 1.0f, 0.0f);
    glVertexAttrib2f(UvSlot, 0.0f, 0.0f);
    glEnableVertexAttribArray(PositionSlot);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glVertexAttribPointer(PositionSlot, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glLineWidth(width * float(devicePixelRatioF()));
    glDrawArrays(GL_LINES, 0, count);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableVertexAttribArray(PositionSlot);
}

} // namespace preview

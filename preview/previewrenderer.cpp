// PreviewRenderer's set-up: the programs, and a scene's buffers and textures
// put on the GPU. Drawing a frame is in previewdraw.cpp.
#include "preview/previewrenderer.h"

#include "preview/facing.h"
#include "preview/groundgrid.h"
#include "preview/picking.h"
#include "preview/previewrendererparts.h"
#include "preview/previewshaders.h"

#include <QOpenGLContext>

namespace preview {

using namespace shaders;

PreviewRenderer::PreviewRenderer()
{
    initializeOpenGLFunctions();
    m_rendererName = QString::fromLatin1(reinterpret_cast<const char *>(glGetString(GL_RENDERER)));
    const char *defines[] = {"", kPrelitDefine, kBatchedDefine};
    for (size_t i = 0; i < m_programs.size(); ++i) {
        auto program = std::make_unique<Program>();
        QOpenGLShaderProgram &p = program->program;
        p.addShaderFromSourceCode(QOpenGLShader::Vertex, QByteArray(defines[i]) + kVertexShader);
        p.addShaderFromSourceCode(QOpenGLShader::Fragment, QByteArray(defines[i]) + kFragmentShader);
        const char *names[SlotCount] = {"position", "normal", "uv", "prelight",
                                        "materialColor", "materialSurface", "materialCulled"};
        for (GLuint slot = 0; slot < SlotCount; ++slot)
            p.bindAttributeLocation(names[slot], int(slot));
        if (!p.link()) {
            qWarning("3D preview: the shaders do not link: %s", qPrintable(p.log()));
            return;
        }
        program->locate();
        m_programs[i] = std::move(program);
    }
    for (Lines *lines : {&m_grid, &m_strongGrid, &m_axes, &m_tags, &m_outline})
        glGenBuffers(1, &lines->buffer);
    glGenBuffers(1, &m_seeThroughVertices);
    glGenBuffers(1, &m_seeThroughIndices);
    m_ready = true;
}

PreviewRenderer::~PreviewRenderer()
{
    if (!m_ready)
        return;
    release();
    for (Lines *lines : {&m_grid, &m_strongGrid, &m_axes, &m_tags, &m_outline})
        glDeleteBuffers(1, &lines->buffer);
    glDeleteBuffers(1, &m_seeThroughVertices);
    glDeleteBuffers(1, &m_seeThroughIndices);
}

void PreviewRenderer::release()
{
    for (const GpuMesh &mesh : std::as_const(m_meshes)) {
        const GLuint buffers[] = {mesh.positions, mesh.normals, mesh.uvs, mesh.prelight, mesh.indices, mesh.edges};
        glDeleteBuffers(6, buffers);
    }
    m_meshes.clear();
    for (const QList<GLuint> &frames : std::as_const(m_textures))
        glDeleteTextures(GLsizei(frames.size()), frames.constData());
    m_textures.clear();
    m_seeThroughRuns.clear();
    m_sorted = false;
    m_scene.reset();
}

void PreviewRenderer::upload(const std::shared_ptr<const PreparedScene> &scene)
{
    if (!m_ready)
        return;
    release();
    m_scene = scene;
    m_outlineLine = -1;
    uploadDecorations();
    if (!m_scene)
        return;

    for (qsizetype i = 0; i < m_scene->textures.size(); ++i) {
        const QImage &image = m_scene->textures[i];
        const int frames = std::max(1, m_scene->frames.value(i, 1));
        const int frameHeight = image.height() / frames;
        QList<GLuint> names(frames);
        glGenTextures(frames, names.data());
        for (int f = 0; f < frames; ++f) {
            glBindTexture(GL_TEXTURE_2D, names[f]);
            // Rows of RGBA8888 are whole words: a frame's rows follow one another.
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width(), frameHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         image.constScanLine(f * frameHeight));
            glGenerateMipmap(GL_TEXTURE_2D);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        }
        m_textures << names;
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    auto buffer = [this](GLenum target, const void *data, qsizetype bytes) -> GLuint {
        if (bytes == 0)
            return 0;
        GLuint name = 0;
        glGenBuffers(1, &name);
        glBindBuffer(target, name);
        glBufferData(target, GLsizeiptr(bytes), data, GL_STATIC_DRAW);
        return name;
    };
    const rwx::Scene &built = m_scene->scene;
    m_meshes.reserve(built.meshes.size());
    for (qsizetype i = 0; i < built.meshes.size(); ++i) {
        const rwx::Mesh &mesh = built.meshes[i];
        const PreparedMesh &extra = m_scene->meshes[i];
        GpuMesh gpu;
        gpu.vertexCount = GLsizei(mesh.positions.size());
        gpu.indexCount = GLsizei(mesh.indices.size());
        gpu.edgeCount = GLsizei(extra.edges.size());
        gpu.sampling = mesh.material.geometrySampling;
        gpu.seeThrough = extra.shading.opacity < 1.0f;
        if (extra.seeThrough) { // drawn from the see-through batch
            m_meshes << gpu;
            continue;
        }
        gpu.positions = buffer(GL_ARRAY_BUFFER, mesh.positions.constData(), mesh.positions.size() * sizeof(QVector3D));
        gpu.normals = buffer(GL_ARRAY_BUFFER, mesh.normals.constData(), mesh.normals.size() * sizeof(QVector3D));
        gpu.uvs = buffer(GL_ARRAY_BUFFER, mesh.uvs.constData(), mesh.uvs.size() * sizeof(QVector2D));
        gpu.prelight = buffer(GL_ARRAY_BUFFER, mesh.prelight.constData(), mesh.prelight.size() * sizeof(QVector3D));
        gpu.indices = buffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indices.constData(), mesh.indices.size() * sizeof(quint32));
        gpu.edges = buffer(GL_ELEMENT_ARRAY_BUFFER, extra.edges.constData(), extra.edges.size() * sizeof(quint32));
        gpu.shading = extra.shading;
        gpu.culled = culledFromBehind(mesh.material);
        gpu.image = extra.texture < m_textures.size() ? extra.texture : -1;
        gpu.masked = extra.masked;
        gpu.lit = gpu.image < 0 || mesh.material.textureModes.testFlag(rwx::TextureMode::Lit);
        gpu.addressMode = mesh.material.addressMode;
        m_meshes << gpu;
    }
    const SeeThroughFaces &seeThrough = m_scene->seeThrough;
    glBindBuffer(GL_ARRAY_BUFFER, m_seeThroughVertices);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(seeThrough.vertices.size() * sizeof(SeeThroughVertex)),
                 seeThrough.vertices.constData(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_seeThroughIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(seeThrough.indices.size() * sizeof(quint32)), nullptr,
                 GL_STREAM_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// The grid, the axes and the tags' tint: they follow the scene's size.
void PreviewRenderer::uploadDecorations()
{
    QVector3D low, high;
    if (m_scene)
        turnedBounds(m_scene->scene, &low, &high);
    Camera bounds;
    bounds.setSceneBounds(low, high);
    const GroundGrid grid = groundGrid(bounds.sceneCentre(), bounds.sceneRadius());
    uploadLines(m_grid, grid.lines);
    uploadLines(m_strongGrid, grid.strongLines);
    // From the origin to a little beyond the object's far side.
    m_axisLength = std::max(bounds.sceneCentre().length() + bounds.sceneRadius(), 0.1f) * 1.1f;
    uploadLines(m_axes, {{}, {m_axisLength, 0, 0}, {}, {0, m_axisLength, 0}, {}, {0, 0, m_axisLength}});
    uploadLines(m_tags, m_scene ? m_scene->taggedTriangles : QList<QVector3D>());
}

void PreviewRenderer::uploadLines(Lines &lines, const QList<QVector3D> &points)
{
    glBindBuffer(GL_ARRAY_BUFFER, lines.buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(points.size() * sizeof(QVector3D)), points.constData(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    lines.count = GLsizei(points.size());
}

} // namespace preview

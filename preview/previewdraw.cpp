// PreviewRenderer: drawing a frame.
#include "preview/facing.h"
#include "preview/picking.h"
#include "preview/previewrendererparts.h"
#include "preview/previewshaders.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <optional>

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
constexpr QColor kGridColor{255, 255, 255, 28};
constexpr QColor kStrongGridColor{255, 255, 255, 80};
constexpr QColor kAxisColors[3] = {{235, 70, 70}, {80, 210, 80}, {80, 140, 255}};

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

QVector4D rgba(QColor color)
{
    return QVector4D(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

} // namespace

void PreviewRenderer::useProgram(Program &program, const QMatrix4x4 &model)
{
    if (m_current != &program) {
        program.program.bind();
        m_current = &program;
    }
    QOpenGLShaderProgram &p = program.program;
    const QMatrix4x4 modelView = m_view * model;
    p.setUniformValue(program.clip, m_projection * modelView);
    p.setUniformValue(program.modelView, modelView);
    p.setUniformValue(program.normalMatrix, modelView.normalMatrix());
    p.setUniformValue(program.pointSize, kPointSize * float(m_pixelRatio));
    p.setUniformValue(program.light, QVector2D(kAmbientLight, kHeadlight));
    p.setUniformValue(program.image, 0);
}

void PreviewRenderer::setCulling(bool culled)
{
    if (int(culled) == m_cull)
        return;
    m_cull = culled;
    if (culled) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(GL_CCW);
    } else {
        glDisable(GL_CULL_FACE);
    }
}

void PreviewRenderer::bindTexture(int image, rwx::TextureAddressMode mode, qint64 tick)
{
    const QList<GLuint> &frames = m_textures[image];
    glBindTexture(GL_TEXTURE_2D, frames.value(m_scene->frameAt(image, tick), frames.first()));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapMode(mode));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapMode(mode));
}

void PreviewRenderer::paint(const Frame &frame, GLuint framebuffer)
{
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, frame.pixels.width(), frame.pixels.height());
    glClearColor(BackgroundColor.redF(), BackgroundColor.greenF(), BackgroundColor.blueF(), 1.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!m_ready)
        return;
    // Whatever drew last (labels) may have left arrays, programs or buffers set.
    for (GLuint slot = 0; slot < SlotCount; ++slot)
        glDisableVertexAttribArray(slot);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    m_current = nullptr;
    m_cull = -1;
    m_pixelRatio = frame.pixelRatio;
    m_view = frame.camera.view();
    m_projection = frame.camera.projection(float(std::max(1, frame.pixels.width()))
                                           / float(std::max(1, frame.pixels.height())));
    const QMatrix4x4 turn = m_scene ? facingTurn(m_scene->scene.axisAlignment, frame.camera.eye(), frame.camera.forward())
                                    : QMatrix4x4();
    if (frame.outlinedLine != m_outlineLine) {
        m_outlineLine = frame.outlinedLine;
        uploadLines(m_outline, m_scene ? outlineOfLine(m_scene->scene, m_outlineLine) : QList<QVector3D>());
    }
    const QMatrix4x4 world;

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_BLEND);
    if (!QOpenGLContext::currentContext()->isOpenGLES())
        glEnable(GL_PROGRAM_POINT_SIZE);
    glActiveTexture(GL_TEXTURE0);
    for (const GpuMesh &mesh : std::as_const(m_meshes))
        if (!mesh.seeThrough)
            drawMesh(mesh, turn, frame.tick);

    // See-through things blend over what lies behind them, writing no depth
    // and keeping the picture opaque.
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ZERO, GL_ONE);
    glDepthMask(GL_FALSE);
    drawLines(m_grid, world, kGridColor, 1.0f);
    drawLines(m_strongGrid, world, kStrongGridColor, 1.0f);
    drawSeeThrough(turn, frame.camera.eye(), frame.tick);
    for (const GpuMesh &mesh : std::as_const(m_meshes))
        if (mesh.seeThrough && mesh.positions)
            drawMesh(mesh, turn, frame.tick);
    if (frame.tags && m_tags.count > 0 && m_scene) {
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(-1.0f, -2.0f);
        const GLint signs = GLint(m_scene->signCorners), pictures = GLint(m_scene->pictureCorners);
        drawLines(m_tags, turn, SignTint, 1.0f, GL_TRIANGLES, 0, signs);
        drawLines(m_tags, turn, PictureTint, 1.0f, GL_TRIANGLES, signs, pictures);
        drawLines(m_tags, turn, OtherTagTint, 1.0f, GL_TRIANGLES, signs + pictures, m_tags.count - signs - pictures);
        glDisable(GL_POLYGON_OFFSET_FILL);
    }

    glDisable(GL_DEPTH_TEST);
    if (frame.axes)
        for (int axis = 0; axis < 3; ++axis)
            drawLines(m_axes, world, kAxisColors[axis], 2.0f, GL_LINES, 2 * axis, 2);
    drawLines(m_outline, turn, OutlineColor, kOutlineWidth);

    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    setCulling(false);
    glLineWidth(1.0f);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (m_current)
        m_current->program.release();
    m_current = nullptr;
    drawLabels(frame, turn);
}

void PreviewRenderer::drawMesh(const GpuMesh &mesh, const QMatrix4x4 &turn, qint64 tick)
{
    Program &program = *m_programs[mesh.prelight ? 1 : 0];
    useProgram(program, turn);
    QOpenGLShaderProgram &p = program.program;
    const Shading &s = mesh.shading;
    p.setUniformValue(program.color, QVector4D(s.color, s.opacity));
    p.setUniformValue(program.surface, QVector4D(s.ambient, s.diffuse, s.specular, mesh.lit ? 1.0f : 0.0f));
    p.setUniformValue(program.textured, GLint(mesh.image >= 0));
    p.setUniformValue(program.masked, GLint(mesh.masked));
    if (mesh.image >= 0)
        bindTexture(mesh.image, mesh.addressMode, tick);
    setCulling(mesh.culled);
    const struct {
        GLuint slot, buffer;
        GLint size;
    } arrays[] = {{PositionSlot, mesh.positions, 3}, {NormalSlot, mesh.normals, 3}, {UvSlot, mesh.uvs, 2},
                  {PrelightSlot, mesh.prelight, 3}};
    for (const auto &array : arrays) {
        if (!array.buffer) {
            glDisableVertexAttribArray(array.slot);
            continue;
        }
        glBindBuffer(GL_ARRAY_BUFFER, array.buffer);
        glEnableVertexAttribArray(array.slot);
        glVertexAttribPointer(array.slot, array.size, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
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
}

void PreviewRenderer::drawSeeThrough(const QMatrix4x4 &turn, QVector3D eye, qint64 tick)
{
    if (!m_scene || m_scene->seeThrough.isEmpty())
        return;
    const SeeThroughFaces &faces = m_scene->seeThrough;
    const QVector3D eyeInScene = turn.inverted().map(eye);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_seeThroughIndices);
    if (!m_sorted || eyeInScene != m_sortedFrom) {
        sortBackToFront(faces, eyeInScene, &m_sortedIndices, &m_seeThroughRuns);
        glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, GLsizeiptr(m_sortedIndices.size() * sizeof(quint32)),
                        m_sortedIndices.constData());
        m_sortedFrom = eyeInScene;
        m_sorted = true;
    }
    Program &program = *m_programs[2];
    useProgram(program, turn);
    setCulling(false); // the shader leaves out the backs of one-sided faces
    glBindBuffer(GL_ARRAY_BUFFER, m_seeThroughVertices);
    const struct {
        GLuint slot;
        GLint size;
        size_t offset;
    } arrays[] = {{PositionSlot, 3, offsetof(SeeThroughVertex, position)},
                  {NormalSlot, 3, offsetof(SeeThroughVertex, normal)},
                  {UvSlot, 2, offsetof(SeeThroughVertex, uv)},
                  {PrelightSlot, 3, offsetof(SeeThroughVertex, prelight)},
                  {ColorSlot, 4, offsetof(SeeThroughVertex, color)},
                  {SurfaceSlot, 4, offsetof(SeeThroughVertex, surface)},
                  {CulledSlot, 1, offsetof(SeeThroughVertex, culled)}};
    for (const auto &array : arrays) {
        glEnableVertexAttribArray(array.slot);
        glVertexAttribPointer(array.slot, array.size, GL_FLOAT, GL_FALSE, sizeof(SeeThroughVertex),
                              reinterpret_cast<const void *>(array.offset));
    }
    for (const DrawRun &run : std::as_const(m_seeThroughRuns)) {
        const SeeThroughGroup &group = faces.groups[run.group];
        const bool textured = group.texture >= 0 && group.texture < m_textures.size();
        program.program.setUniformValue(program.textured, GLint(textured));
        program.program.setUniformValue(program.masked, GLint(group.masked));
        if (textured)
            bindTexture(group.texture, group.addressMode, tick);
        glDrawElements(GL_TRIANGLES, GLsizei(run.count), GL_UNSIGNED_INT,
                       reinterpret_cast<const void *>(run.first * qsizetype(sizeof(quint32))));
    }
    for (const auto &array : arrays)
        glDisableVertexAttribArray(array.slot);
}

void PreviewRenderer::drawLines(const Lines &lines, const QMatrix4x4 &model, QColor color, float width, GLenum mode,
                                GLint first, GLsizei count)
{
    if (count < 0)
        count = lines.count - first;
    if (count <= 0)
        return;
    Program &program = *m_programs[0];
    useProgram(program, model);
    QOpenGLShaderProgram &p = program.program;
    p.setUniformValue(program.color, rgba(color));
    p.setUniformValue(program.surface, QVector4D(0, 0, 0, 0)); // unlit
    p.setUniformValue(program.textured, GLint(0));
    p.setUniformValue(program.masked, GLint(0));
    setCulling(false);
    for (GLuint slot = NormalSlot; slot < SlotCount; ++slot)
        glDisableVertexAttribArray(slot);
    glVertexAttrib3f(NormalSlot, 0.0f, 1.0f, 0.0f);
    glVertexAttrib2f(UvSlot, 0.0f, 0.0f);
    glEnableVertexAttribArray(PositionSlot);
    glBindBuffer(GL_ARRAY_BUFFER, lines.buffer);
    glVertexAttribPointer(PositionSlot, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glLineWidth(width * float(m_pixelRatio));
    glDrawArrays(mode, first, count);
}

void PreviewRenderer::drawLabels(const Frame &frame, const QMatrix4x4 &turn)
{
    QList<QPair<QVector3D, QString>> labels;
    if (frame.tags && m_scene) {
        for (const TaggedFace &face : m_scene->taggedFaces) {
            if (face.tag == TaggedFace::Sign)
                labels.append({turn.map(face.centre), QStringLiteral("sign")});
            else if (face.tag == TaggedFace::Picture)
                labels.append({turn.map(face.centre), QStringLiteral("picture")});
        }
    }
    if (frame.axes)
        for (int axis = 0; axis < 3; ++axis) {
            QVector3D tip;
            tip[axis] = m_axisLength * 1.04f;
            labels.append({tip, QString(QLatin1Char("xyz"[axis]))});
        }
    if (labels.isEmpty())
        return;
    const QSizeF logical = QSizeF(frame.pixels) / frame.pixelRatio;
    QOpenGLPaintDevice device(frame.pixels);
    device.setDevicePixelRatio(frame.pixelRatio);
    QPainter painter(&device);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const QMatrix4x4 clip = m_projection * m_view;
    for (const auto &[at, text] : std::as_const(labels)) {
        const QVector4D p = clip * QVector4D(at, 1.0f);
        if (p.w() <= 0.0f)
            continue; // behind the eye
        const QPointF centre((p.x() / p.w() + 1.0) / 2.0 * logical.width(), (1.0 - p.y() / p.w()) / 2.0 * logical.height());
        QRectF box = painter.fontMetrics().boundingRect(text);
        box.adjust(-4, -2, 4, 2);
        box.moveCenter(centre);
        QPainterPath path;
        path.addRoundedRect(box, 4, 4);
        painter.fillPath(path, QColor(0, 0, 0, 150));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, text);
    }
}

QImage PreviewRenderer::render(const Frame &frame)
{
    if (!m_ready || frame.pixels.isEmpty())
        return {};
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::CombinedDepthStencil);
    QOpenGLFramebufferObject target(frame.pixels, format);
    if (!target.isValid())
        return {};
    paint(frame, target.handle());
    const QImage image = target.toImage();
    QOpenGLFramebufferObject::bindDefault();
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace preview

#pragma once
// PreviewRenderer's inner parts, shared by its two source files.
#include "preview/previewrenderer.h"

namespace preview {

struct PreviewRenderer::Program {
    QOpenGLShaderProgram program;
    int clip = -1, modelView = -1, normalMatrix = -1, pointSize = -1, light = -1, image = -1;
    int color = -1, surface = -1, textured = -1, masked = -1;

    void locate()
    {
        clip = program.uniformLocation("clip");
        modelView = program.uniformLocation("modelView");
        normalMatrix = program.uniformLocation("normalMatrix");
        pointSize = program.uniformLocation("pointSize");
        light = program.uniformLocation("light");
        image = program.uniformLocation("image");
        color = program.uniformLocation("color");
        surface = program.uniformLocation("surface");
        textured = program.uniformLocation("textured");
        masked = program.uniformLocation("masked");
    }
};

struct PreviewRenderer::GpuMesh {
    GLuint positions = 0, normals = 0, uvs = 0, prelight = 0, indices = 0, edges = 0; // 0: none
    GLsizei vertexCount = 0, indexCount = 0, edgeCount = 0;
    Shading shading;
    rwx::GeometrySampling sampling = rwx::GeometrySampling::Solid;
    rwx::TextureAddressMode addressMode = rwx::TextureAddressMode::Wrap;
    int image = -1; // index into m_textures
    bool seeThrough = false;
    bool culled = true;
    bool masked = false;
    bool lit = true;
};

} // namespace preview

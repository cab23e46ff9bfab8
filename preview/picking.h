#pragma once
// Linking the picture to the text: which triangle lies under the pointer,
// and the edges of the triangles one line of the script made.
#include "preview/camera.h"
#include "scene/scene.h"

#include <QList>
#include <QVector2D>
#include <QVector3D>

#include <functional>
#include <optional>

namespace preview {

struct Pick {
    int mesh = -1;          // index into Scene::meshes
    qsizetype triangle = -1; // index of the triangle in that mesh
    int line = 0;           // the 1-based script line that made it
    float distance = 0.0f;  // along the ray
};

// Whether a mask cuts the point at texture coordinates `uv` of a triangle
// of mesh `mesh` away (PreparedScene::cutAway).
using CutAway = std::function<bool(int mesh, QVector2D uv)>;

// The nearest triangle the ray (in the scene's space) meets, as drawn: a
// one-sided solid face seen from behind is culled and cannot be hit;
// two-sided, wireframe and point-cloud faces can be hit from either side;
// where `cutAway` says a mask cuts the point away, the ray goes on through.
std::optional<Pick> pickTriangle(const rwx::Scene &scene, const Ray &ray, const CutAway &cutAway = {});

// Whether a mesh's back faces are culled when drawn.
bool culledFromBehind(const rwx::Material &material);

// The three edges of every triangle that `line` made, as pairs of end
// points (six points a triangle); empty when the line made none.
QList<QVector3D> outlineOfLine(const rwx::Scene &scene, int line);

} // namespace preview

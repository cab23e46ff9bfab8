#pragma once
// See-through faces, drawn after the opaque ones and back to front, so that
// what lies behind shows through what lies in front from every side.
//
// The see-through solid faces of all materials are gathered in one batch in
// which every corner carries its material, so that faces of different
// colours drawn one after the other need no change of state; only a change
// of texture starts another draw call.
#include "scene/scene.h"

#include <QList>
#include <QVector2D>
#include <QVector3D>
#include <QVector4D>

namespace preview {

// One corner, as the GPU reads it: floats only, no padding.
struct SeeThroughVertex {
    QVector3D position;
    QVector3D normal;
    QVector2D uv;
    QVector3D prelight;
    QVector4D color;   // r g b and opacity
    QVector4D surface; // ambient, diffuse, specular, and 1 when lit
    float culled;      // 1 when the face is not drawn from behind
};
static_assert(sizeof(SeeThroughVertex) == 20 * sizeof(float));

// What the faces of a draw call share: the texture and how it is read.
struct SeeThroughGroup {
    int texture = -1; // index into PreparedScene::textures; -1 for none
    bool masked = false;
    rwx::TextureAddressMode addressMode = rwx::TextureAddressMode::Wrap;

    friend bool operator==(const SeeThroughGroup &, const SeeThroughGroup &) = default;
};

struct SeeThroughFaces {
    QList<SeeThroughVertex> vertices;
    QList<quint32> indices;          // three a triangle, in the order of the meshes
    QList<QVector3D> centres;        // one a triangle: the centre of its corners
    QList<int> groupOf;              // one a triangle: index into groups
    QList<SeeThroughGroup> groups;

    qsizetype triangleCount() const { return centres.size(); }
    bool isEmpty() const { return centres.isEmpty(); }
};

// A run of sorted triangles of one group: indices [first, first + count).
struct DrawRun {
    int group = -1;
    qsizetype first = 0;
    qsizetype count = 0;
};

// The triangles' indices ordered from the farthest to the nearest, by the
// distance of their centres from `eye` (triangles equally far keep their
// order), and the runs of one group each to draw them with.
void sortBackToFront(const SeeThroughFaces &faces, QVector3D eye, QList<quint32> *indices, QList<DrawRun> *runs);

} // namespace preview

#pragma once
// The ground grid at y = 0, in metres: one RWX unit is 10 m. Cells of 1 m
// with a stronger line every 10 m, reaching a few times the scene's radius
// around the point under its centre; where that would take more than
// MostCells cells across, cells of 10 m with a stronger line every 100 m,
// and so on. The lines fall on whole multiples of the cell, so the origin
// always lies on a stronger line.
#include "scene/scene.h"

#include <QList>
#include <QVector3D>

namespace preview {

using rwx::MetresPerUnit;

struct GroundGrid {
    static constexpr int MostCells = 200;

    float cellMetres = 1.0f;
    QList<QVector3D> lines;       // pairs of end points
    QList<QVector3D> strongLines; // every tenth line
};

GroundGrid groundGrid(QVector3D sceneCentre, float sceneRadius);

} // namespace preview

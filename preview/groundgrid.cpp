#include "preview/groundgrid.h"

#include <algorithm>
#include <cmath>

namespace preview {

GroundGrid groundGrid(QVector3D sceneCentre, float sceneRadius)
{
    GroundGrid grid;
    const float radius = std::isfinite(sceneRadius) && sceneRadius > 0.0f ? sceneRadius : 1.0f;
    const float wanted = std::min(2.5f * radius, 1e30f); // reach, in units
    float cell = 1.0f / MetresPerUnit;
    while (2.0f * wanted / cell > float(GroundGrid::MostCells))
        cell *= 10.0f;
    grid.cellMetres = cell * MetresPerUnit;
    const float strong = 10.0f * cell;
    // Whole strong cells around the strong line nearest the scene's centre.
    const int strongHalf = std::max(1, int(std::ceil(wanted / strong)));
    const int half = 10 * strongHalf;
    const float reach = float(half) * cell;
    const auto nearestStrong = [strong](float at) { return std::isfinite(at) ? std::round(at / strong) * strong : 0.0f; };
    const float x0 = nearestStrong(sceneCentre.x());
    const float z0 = nearestStrong(sceneCentre.z());
    for (int i = -half; i <= half; ++i) {
        const float offset = float(i) * cell;
        QList<QVector3D> &into = i % 10 == 0 ? grid.strongLines : grid.lines;
        into << QVector3D(x0 + offset, 0, z0 - reach) << QVector3D(x0 + offset, 0, z0 + reach)
             << QVector3D(x0 - reach, 0, z0 + offset) << QVector3D(x0 + reach, 0, z0 + offset);
    }
    return grid;
}

} // namespace preview

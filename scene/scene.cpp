#include "scene/scene.h"

#include "scene/scenebuilder.h"

#include <algorithm>

namespace rwx {

qsizetype Scene::triangleCount() const
{
    qsizetype count = 0;
    for (const Mesh &mesh : meshes)
        count += mesh.triangleCount();
    return count;
}

void Scene::updateBounds()
{
    bool any = false;
    QVector3D low, high;
    for (const Mesh &mesh : meshes) {
        for (const QVector3D &p : mesh.positions) {
            if (!any) {
                low = high = p;
                any = true;
                continue;
            }
            low = QVector3D(std::min(low.x(), p.x()), std::min(low.y(), p.y()), std::min(low.z(), p.z()));
            high = QVector3D(std::max(high.x(), p.x()), std::max(high.y(), p.y()), std::max(high.z(), p.z()));
        }
    }
    m_boundsMin = low;
    m_boundsMax = high;
}

Scene buildScene(QStringView script, std::stop_token stop)
{
    try {
        return scenebuild::Builder(std::move(stop)).build(script);
    } catch (...) {
        // Out of memory: a scene too large to hold is drawn empty.
        Scene scene;
        scene.incomplete = true;
        return scene;
    }
}

} // namespace rwx

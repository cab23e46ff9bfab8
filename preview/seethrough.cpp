#include "preview/seethrough.h"

#include <algorithm>
#include <vector>

namespace preview {

void sortBackToFront(const SeeThroughFaces &faces, QVector3D eye, QList<quint32> *indices, QList<DrawRun> *runs)
{
    const qsizetype count = faces.triangleCount();
    struct Key {
        float distance;
        quint32 triangle;
    };
    std::vector<Key> keys(static_cast<size_t>(count));
    for (qsizetype t = 0; t < count; ++t)
        keys[size_t(t)] = {(faces.centres[t] - eye).lengthSquared(), quint32(t)};
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.distance > b.distance; });

    indices->resize(3 * count);
    runs->clear();
    quint32 *out = indices->data();
    const quint32 *in = faces.indices.constData();
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 t = keys[size_t(i)].triangle;
        std::copy_n(in + 3 * t, 3, out + 3 * i);
        const int group = faces.groupOf[t];
        if (runs->isEmpty() || runs->last().group != group)
            runs->append({group, 3 * i, 0});
        runs->last().count += 3;
    }
}

} // namespace preview

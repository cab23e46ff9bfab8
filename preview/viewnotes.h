#pragma once
// What the status line under the picture says beside the triangle count:
// the object's size in metres, the aspect of its sign surfaces, and why
// the picture is empty when nothing of the object can be seen.
#include "preview/camera.h"
#include "preview/preparedscene.h"

#include <QMatrix4x4>
#include <QString>

namespace preview {

// The box's width, height and depth in metres (one unit is 10 m), as
// "2.0 × 3.1 × 0.8 m": one decimal, or more for an object smaller than
// a metre, so that its largest side shows at least two digits.
QString sizeInMetres(QVector3D low, QVector3D high);

// The width : height of each sign surface (tag 100), to which a world fits
// the sign's text: "sign 2.00 : 1 (2.0 × 1.0 m)", or "signs 2.00 : 1,
// 1.00 : 1"; empty without signs.
QString signAspects(const PreparedScene &prepared);

enum class EmptyView : quint8 {
    No,
    FacesAway, // every face is one-sided and turned away from the eye
    Outside,   // the object lies wholly outside the view
};

// Whether nothing of the scene, turned by `turn`, can be seen from the
// camera in a view of this aspect.
EmptyView emptyView(const PreparedScene &prepared, const QMatrix4x4 &turn, const Camera &camera, float aspect);
// The status line's hint for it; empty for EmptyView::No.
QString emptyViewHint(EmptyView empty, qsizetype triangles);

} // namespace preview

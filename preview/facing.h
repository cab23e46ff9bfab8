#pragma once
// Objects that turn to face the viewer (AxisAlignment): the turn, about the
// object's own origin, that brings its +z axis round towards the eye.
// zorienty turns it about its vertical axis, zorientx about its horizontal
// (x) axis, xyz fully, keeping its y axis as upright as it can.
#include "scene/scene.h"

#include <QMatrix4x4>
#include <QVector3D>

namespace preview {

// The turn of an object with this alignment seen from `eye` (in the scene's
// space); `viewForward`, the direction the camera looks in, decides where
// the eye gives no direction (straight above a zorienty object, say).
// The identity for AxisAlignment::None.
QMatrix4x4 facingTurn(rwx::AxisAlignment alignment, QVector3D eye, QVector3D viewForward);

// The box that holds the scene in every turn its alignment can give it
// (the scene's own box for AxisAlignment::None).
void turnedBounds(const rwx::Scene &scene, QVector3D *low, QVector3D *high);

} // namespace preview

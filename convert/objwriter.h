#pragma once
// An exported object as Wavefront OBJ, in metres, Y up, with its MTL file
// and the images it names beside it.
//
// The .obj holds the object as one `o`, and for each material its corners
// (v, vt with the image's bottom left as origin, vn) and its faces after one
// `usemtl`; `s off` for flat materials, `s 1` for smooth ones. The .mtl has
// a `newmtl` a material with Kd (the sRGB colour), Ns (from the roughness,
// 1000 (1 - roughness)^2), d (opacity), illum 2, map_Kd (the texture file
// copied beside as it is stored, named `<stem>_<file>`) and map_d (the mask,
// written beside as `<stem>_<mask>_mask.png`, its level in grey and alpha).
// Face tags and axis alignment have no place in OBJ and are left out.
#include "convert/exportobject.h"
#include "convert/outputfiles.h"

#include <QList>
#include <QString>

namespace convert {

// The files of the object as OBJ: the images and `<stem>.mtl` first, then
// `mainName`.
QList<OutputFile> objFiles(const ExportObject &object, const QString &mainName, const QString &stem);

} // namespace convert

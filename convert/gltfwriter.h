#pragma once
// An exported object as glTF 2.0, in metres, Y up (as the script is: no
// turn is needed).
//
// The file holds one scene with one node, named after the object, and one
// mesh of one primitive a material, and a face tag: faces tagged n (a sign
// surface is 100, a picture surface 200) make a primitive of their own with
// the extras {"tag": n}. Each primitive has POSITION and NORMAL, TEXCOORD_0
// when its material names a texture or its corners carry UVs (the origin at
// the image's top left, as in the script), and COLOR_0 (linear) from the
// prelight when the material's corners have it. Materials are metallic-
// roughness ones (exportobject.h); a material's own axis alignment, and the
// object's, are extras {"axisAlignment": "zorienty"} on the material and the
// node. A JPEG or PNG texture is embedded as it is stored; a texture with a
// mask is one RGBA PNG with the mask in its alpha channel (alphaMode MASK,
// cut at 0.2); a BMP or GIF texture becomes a PNG. TextureAddressMode gives
// the samplers' wrap modes.
#include "convert/exportobject.h"
#include "convert/outputfiles.h"

#include <QList>
#include <QString>

namespace convert {

// The files of the object in glTF: `mainName` (a .glb holding everything
// when `binary`, else a .gltf) and, for a .gltf with any data, its
// companion `<stem>.bin` first.
QList<OutputFile> gltfFiles(const ExportObject &object, const QString &mainName, const QString &stem, bool binary);

} // namespace convert

#pragma once
// The formats an object is exported in, and their names.
#include <QString>
#include <QStringView>

#include <optional>

namespace convert {

enum class Format {
    Glb,  // glTF 2.0, binary: one .glb file holding everything
    Gltf, // glTF 2.0, text: a .gltf file and its .bin beside it
    Obj,  // an .obj file, its .mtl and the images it names beside it
};

// The format's name on the command line and its main file's extension,
// without the dot: "glb", "gltf", "obj".
QString formatName(Format format);
// The format of a name as formatName() gives it (any letter case).
std::optional<Format> formatNamed(QStringView name);

} // namespace convert

#pragma once
// What an export writes, whatever the format: the scene a script draws (in
// script units, one mesh a material), each mesh's material as glTF and MTL
// describe one, and the texture and mask files the materials use.
//
// How the script's material becomes an exported one:
// - Colour: the script's Color, read as sRGB. A texture that is found
//   replaces it (white). A black material that asks for no light at all
//   (no Color and no Surface given), or whose texture is missing, is grey
//   (0.7), as the preview draws it, so that every face shows.
// - Opacity below 1 blends; a texture with a mask is cut out where the mask
//   is black; otherwise the material is opaque.
// - Surface: metallic 0, and roughness 1 - specular / 2 (a specular of 1
//   gives a semi-glossy 0.5); ambient and diffuse do not change the colour.
// - LightSampling facet gives flat faces, vertex smooth ones (the scene's
//   normals say so); MaterialMode double shows both sides.
#include "convert/texturegathering.h"
#include "scene/scene.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector3D>

#include <stop_token>

namespace convert {

// glTF and OBJ files are in metres.
using rwx::MetresPerUnit;

enum class AlphaMode { Opaque, Mask, Blend };

struct ExportMaterial {
    QString name;       // unique in the object (letter case ignored): the texture's name, or the colour's
    QVector3D color;    // sRGB, each 0..1
    float opacity = 1.0f;
    float roughness = 1.0f;
    AlphaMode alphaMode = AlphaMode::Opaque;
    bool doubleSided = false;
    rwx::TextureAddressMode addressMode = rwx::TextureAddressMode::Wrap;
    rwx::AxisAlignment axisAlignment = rwx::AxisAlignment::None;
    int texture = -1;   // into ExportObject::textures; -1 for none
    int mask = -1;      // into ExportObject::masks; only with a texture
};

struct ExportObject {
    QString name;                    // the object's name: the script's base name
    rwx::Scene scene;
    QList<ExportMaterial> materials; // parallel to scene.meshes
    QList<TextureFile> textures;
    QList<TextureFile> masks;
    QStringList notes;               // for the user: what is left out, and why
    QStringList filesRead;           // the texture and mask files read
    bool cancelled = false;          // a stop was requested: nothing is to be written
};

// Builds the scene of `script` and gathers its textures from `textureFolders`.
ExportObject makeExportObject(QStringView script, const QString &name, const QStringList &textureFolders,
                              std::stop_token stop = {});

// An sRGB component (0..1) as a linear one, as glTF's colours are.
float linearFromSrgb(float component);

// The script's own word for an axis alignment: "none", "zorientx",
// "zorienty" or "xyz".
QString axisAlignmentName(rwx::AxisAlignment alignment);

} // namespace convert

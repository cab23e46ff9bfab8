#pragma once
// What the preview draws, made ready off the window's thread: the scene
// built from a snapshot of the text, each mesh's texture decoded (with its
// mask as alpha) and its wireframe edges listed, and the notes for the
// status line. Everything in it is plain data, read-only once made.
#include "scene/scene.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector3D>

#include <stop_token>

namespace preview {

// How a material is drawn in the preview: the script's colour, opacity and
// surface values, with two exceptions so that every face reads.
// - A material that asks for no light at all (ambient, diffuse and specular
//   all 0, as before any Surface statement) is lit with DefaultAmbient and
//   DefaultDiffuse instead.
// - A black material is drawn in DefaultColor when it is also unlit as
//   above (no Color and no Surface given), or when it names a texture that
//   is not shown (scripts that texture a face seldom give it a colour).
// A texture that is shown replaces the colour.
struct Shading {
    static constexpr float DefaultAmbient = 0.5f;
    static constexpr float DefaultDiffuse = 0.6f;
    static inline const QVector3D DefaultColor{0.7f, 0.7f, 0.7f};

    QVector3D color;
    float opacity = 1.0f;
    float ambient = 0.0f;
    float diffuse = 0.0f;
    float specular = 0.0f;
};
enum class TextureShown { No, Yes };
Shading shadingOf(const rwx::Material &material, TextureShown textureShown);

struct PreparedMesh {
    Shading shading;
    int texture = -1;      // index into PreparedScene::textures; -1 draws the colour
    bool masked = false;   // the texture carries a mask in its alpha channel
    QList<quint32> edges;  // for wireframe meshes: two indices an edge
};

struct PreparedScene {
    rwx::Scene scene;
    QList<PreparedMesh> meshes; // parallel to scene.meshes
    QList<QImage> textures;     // Format_RGBA8888, row 0 at v = 0
    QStringList notes;          // "texture wood1 not found", once a name
    bool cancelled = false;     // a stop was requested: not all of it was made
};

// Builds the scene from `script` and loads its textures from the folders
// rwx::scriptTextureFolders(scriptFolder) gives, each texture file decoded
// once and all of them under rwx::TextureLimits. Safe to run on any thread;
// returns soon after `stop` is requested, with `cancelled` set.
PreparedScene prepareScene(QStringView script, const QString &scriptFolder, std::stop_token stop = {});

} // namespace preview

#pragma once
// What the preview draws, made ready off the window's thread: the scene
// built from a snapshot of the text, each mesh's texture decoded (with its
// mask as alpha, an animated one as a strip of frames) and its wireframe
// edges listed, the see-through faces gathered for drawing back to front,
// the tagged faces, and the notes for the status line. Everything in it is
// plain data, read-only once made.
#include "preview/seethrough.h"
#include "scene/scene.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector2D>
#include <QVector3D>

#include <stop_token>

namespace preview {

// How a material is drawn in the preview: the script's colour, opacity and
// surface values, with two exceptions so that every face reads.
// - A material that asks for no light at all (rwx::setsNoLight) is lit with
//   DefaultAmbient and DefaultDiffuse instead.
// - A black material is drawn in DefaultColor as rwx::shownGrey says: when
//   it is also unlit, or names a texture that is not shown, and its corners
//   are not prelit.
// A texture that is shown replaces the colour. Prelight is added to the lit
// colour, each channel at most 1.
struct Shading {
    static constexpr float DefaultAmbient = 0.5f;
    static constexpr float DefaultDiffuse = 0.6f;
    static inline const QVector3D DefaultColor = rwx::ShownGrey;

    QVector3D color;
    float opacity = 1.0f;
    float ambient = 0.0f;
    float diffuse = 0.0f;
    float specular = 0.0f;
};
enum class TextureShown { No, Yes };
enum class Prelit { No, Yes };
Shading shadingOf(const rwx::Material &material, TextureShown textureShown, Prelit prelit = Prelit::No);

struct PreparedMesh {
    Shading shading;
    int texture = -1;      // index into PreparedScene::textures; -1 draws the colour
    bool masked = false;   // the texture carries a mask in its alpha channel
    bool seeThrough = false; // solid and see-through: its faces are in PreparedScene::seeThrough
    QList<quint32> edges;  // for wireframe meshes: two indices an edge
};

// The faces with a tag, for showing them to the author.
struct TaggedFace {
    static constexpr int Sign = 100;    // worlds write sign text on it
    static constexpr int Picture = 200; // worlds show a picture on it

    int tag = 0;
    int line = 0;        // the script line that made it
    QVector3D centre;    // of its corners
    // Its size in its own plane: across (level with the ground where it can
    // be) and up; a sign's text is fitted to width : height.
    float width = 0.0f;
    float height = 0.0f;
};

struct PreparedScene {
    rwx::Scene scene;
    QList<PreparedMesh> meshes; // parallel to scene.meshes
    QList<QImage> textures;     // Format_RGBA8888, row 0 at v = 0
    QList<int> frames;          // parallel to textures: frames of each strip (1 for a still one)
    SeeThroughFaces seeThrough; // every see-through solid face, for drawing back to front
    QList<TaggedFace> taggedFaces; // one a tag and line, in script order
    // The corners of the tagged triangles, three a triangle: those tagged
    // as signs first, then pictures, then the others.
    QList<QVector3D> taggedTriangles;
    qsizetype signCorners = 0;
    qsizetype pictureCorners = 0;
    QStringList notes;          // "texture wood1 not found", once a name
    bool cancelled = false;     // a stop was requested: not all of it was made

    bool animates() const;
    // The frame of texture `image` shown at animation step `tick`.
    int frameAt(int image, qint64 tick) const;
    // Whether the mask of mesh `mesh` cuts the point at `uv` away in the
    // frame shown at `tick`; false for a mesh without a mask.
    bool cutAway(int mesh, QVector2D uv, qint64 tick) const;
};

// Builds the scene from `script` and loads its textures from the folders
// rwx::scriptTextureFolders(scriptFolder) gives, each texture file decoded
// once and all of them under rwx::TextureLimits. Safe to run on any thread;
// returns soon after `stop` is requested, with `cancelled` set.
PreparedScene prepareScene(QStringView script, const QString &scriptFolder, std::stop_token stop = {});

} // namespace preview

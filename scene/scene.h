#pragma once
// What an RWX script draws: its triangles, with the materials and transforms
// applied, grouped by material for drawing. Pure (no OpenGL, no widgets) and
// linear in the length of the text, so it can run after every typing pause.
//
// buildScene() never throws and never fails: a statement it cannot use is
// skipped (the structure checker marks it), and a face that names a vertex
// that does not exist in its clump or proto is left out. Every coordinate in
// the result is finite.
//
// How the text is read:
// - One current transformation matrix (CTM). Translate, Rotate (about the
//   axis x y z, in degrees, counter-clockwise) and Scale multiply it on the
//   right, so the statement nearest a vertex acts on it first. Transform
//   (16 numbers, column-major) replaces it; RWX matrices are affine, so the
//   fourth row is always read as 0 0 0 1. Identity resets it. A vertex takes
//   the CTM in force on its Vertex line.
// - ClumpBegin/ClumpEnd save and restore the CTM and the material and start
//   a new vertex numbering; TransformBegin/End (and JointTransformBegin/End)
//   save only the CTM, MaterialBegin/End only the material. An End closes any
//   block left open inside its own. A block still open at the end of the
//   text is closed there.
// - ProtoBegin name ... ProtoEnd records geometry in its own space (identity
//   CTM, default material, own vertex numbering) and draws nothing.
//   ProtoInstance name draws the latest proto of that name (letter case
//   ignored) under the CTM, each face in the material it was recorded with;
//   ProtoInstanceGeometry draws it in the current material. An instance of a
//   name not recorded yet draws nothing, so a proto can never contain itself.
// - Triangle, Quad and Polygon (and their ...Ext forms) make n - 2 triangles
//   from n corners: a convex face is fanned from its first corner, a concave
//   one is projected onto its plane and cut ear by ear. A Polygon uses its
//   first n indices. A trailing "Tag n" tags the face's triangles with n
//   when n is 1 to 65536 (Mesh::tags); "Tag" on a line of its own, which
//   tags a clump, draws nothing.
// - Prelight: a vertex's own light colour, r g b each 0..1, given by
//   "Prelight r g b" on its Vertex line or by a Prelight statement right
//   after it (usually "#! Prelight r g b", on the vertex's line or on the
//   next). Once one vertex of a clump or proto is given one, the clump is
//   prelit: each vertex read after it that is given none takes the last
//   one given before it, and the vertices read before the first one given
//   take 0 0 0. A nested clump starts unlit; primitives are never prelit.
//   Instances carry their proto's prelight.
// - AxisAlignment is part of the material, so each mesh has its own; the
//   whole object turns as Scene::axisAlignment says.
// - Primitives under the CTM, in the current material: Block w h d centred on
//   the origin (12 triangles); Cone h r n (base at y = 0, apex at y = h:
//   2n triangles); Cylinder h rb rt n (y = 0 to y = h, a cap only where the
//   radius is not 0: up to 4n triangles); Disc y r n (n triangles facing +y);
//   Sphere r d (a cube of 2^d x 2^d quads a face pushed onto the sphere:
//   12 * 4^d triangles, so d = 0 is a cube); Hemisphere r d (from y = 0 up to
//   y = r; an octahedron's upper half with 4^d triangles a face, on a base of
//   4 * 2^d triangles). Sides n are clamped to 3..256, densities d to 0..6;
//   a negative sphere radius turns the faces inward.
// - Front faces wind counter-clockwise: a triangle a b c faces along
//   (b - a) x (c - a).
//
// Limits that keep the work bounded: at most MaxTriangles triangles are made
// in all (counting those recorded in protos); past that, faces, primitives and
// instances are left out and Scene::incomplete is set. A line left out costs
// no more than its own reading: a ProtoInstance that does not fit is not
// expanded.
//
// Cancelling: buildScene() asks `stop` every few thousand statements, inside
// a proto's expansion and inside a primitive. Once a stop is requested it
// returns promptly with what it built so far (blocks still open are closed)
// and Scene::cancelled set.
#include <QFlags>
#include <QList>
#include <QString>
#include <QStringView>
#include <QVector2D>
#include <QVector3D>

#include <stop_token>

namespace rwx {

enum class LightSampling : quint8 { Facet, Vertex };
enum class GeometrySampling : quint8 { Solid, Wireframe, PointCloud };
enum class TextureAddressMode : quint8 { Wrap, Mirror, Clamp };
enum class AxisAlignment : quint8 { None, ZOrientX, ZOrientY, Xyz };
enum class TextureMode : quint8 { Lit = 1, Foreshorten = 2, Filter = 4 };
Q_DECLARE_FLAGS(TextureModes, TextureMode)

// The surface properties in force when a face is read; a script that sets
// none gets the values below (black, without ambient, diffuse or specular
// light, opaque, untextured).
struct Material {
    QVector3D color;          // Color r g b, each 0..1
    float opacity = 1.0f;     // Opacity, 0..1
    float ambient = 0.0f;     // Surface a d s, or Ambient / Diffuse / Specular; each 0..1
    float diffuse = 0.0f;
    float specular = 0.0f;
    LightSampling lightSampling = LightSampling::Facet;
    GeometrySampling geometrySampling = GeometrySampling::Solid;
    bool twoSided = false;    // MaterialMode double
    QString texture;          // as written, without extension; empty for none
    QString mask;             // Texture ... Mask name; empty for none
    QString bump;             // Texture ... Bump name; empty for none
    TextureModes textureModes = TextureMode::Lit;
    TextureAddressMode addressMode = TextureAddressMode::Wrap;
    AxisAlignment axisAlignment = AxisAlignment::None;

    friend bool operator==(const Material &, const Material &) = default;
};

// An RWX unit is ten metres in the worlds.
inline constexpr float MetresPerUnit = 10.0f;

// A material that asks for no light at all: ambient, diffuse and specular
// all 0, as before any Surface statement.
inline bool setsNoLight(const Material &m)
{
    return m.ambient == 0.0f && m.diffuse == 0.0f && m.specular == 0.0f;
}

// The neutral colour a material the script leaves black is shown in, by the
// preview and the export alike, so that every face reads.
inline const QVector3D ShownGrey{0.7f, 0.7f, 0.7f};

// Whether faces of `m` are shown in ShownGrey: black, and either lit by
// nothing (setsNoLight) or naming a texture that is missing (scripts that
// texture a face seldom give it a colour); never when their corners are
// prelit, as their own light colours them.
inline bool shownGrey(const Material &m, bool textureMissing, bool prelit)
{
    return m.color.isNull() && (setsNoLight(m) || textureMissing) && !prelit;
}

// The triangles of one material. positions, normals and uvs run in parallel;
// indices holds three entries a triangle into them.
//
// Normals are unit length. With facet sampling every face has its own
// corners, carrying the face's normal (flat shading). With vertex sampling a
// corner carries the normal given on its Vertex line (Normal x y z), or else
// the area-weighted average of the normals of all the faces of its clump or
// proto that use that vertex (smooth shading); faces that follow one another
// in one material share such corners. Primitives' curved surfaces carry
// their exact normals.
//
// uvs are from Vertex ... UV u v (0 0 when absent); v grows downward in the
// image. prelight is empty when no corner of the mesh is prelit; otherwise
// it runs in parallel with positions, and a corner that is not prelit has
// 0 0 0 there (no light added). lines holds, for every triangle, the 1-based
// line of the statement that made it in the drawn scene: the face, the
// primitive, or the ProtoInstance that drew it; tags, in parallel with
// lines, its face's tag (0 for none).
struct Mesh {
    Material material;
    QList<QVector3D> positions;
    QList<QVector3D> normals;
    QList<QVector2D> uvs;
    QList<QVector3D> prelight;
    QList<quint32> indices;
    QList<int> lines;
    QList<int> tags;

    qsizetype triangleCount() const { return lines.size(); }
};

class Scene {
public:
    static constexpr qsizetype MaxTriangles = 1'000'000;
    static constexpr int MaxTag = 65'536; // face tags run from 1 to this

    QList<Mesh> meshes;     // one a material, in the order the materials were first used
    bool incomplete = false; // MaxTriangles was reached: some geometry was left out
    bool cancelled = false;  // a stop was requested: the rest of the text was not read
    // How the whole object turns to face the viewer: the last AxisAlignment
    // read outside any proto, at the model's own level or directly in its
    // outermost clump (one a script normally has). Nested clumps and protos
    // turn only their own faces: their meshes' materials say how.
    AxisAlignment axisAlignment = AxisAlignment::None;
    // Corners put through a transform while building (vertices, primitives'
    // corners, instances' corners): the build's work, as tests count it.
    qsizetype placedCorners = 0;

    qsizetype triangleCount() const;
    // The box around every position, in script units with all transforms
    // applied; both zero for a scene without triangles.
    QVector3D boundsMin() const { return m_boundsMin; }
    QVector3D boundsMax() const { return m_boundsMax; }
    // Recomputes the bounds from the meshes (buildScene does it).
    void updateBounds();

private:
    QVector3D m_boundsMin;
    QVector3D m_boundsMax;
};

Scene buildScene(QStringView script, std::stop_token stop = {});

} // namespace rwx

Q_DECLARE_OPERATORS_FOR_FLAGS(rwx::TextureModes)

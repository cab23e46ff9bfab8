#pragma once
// The state of buildScene() while it reads a script: the CTM, the material,
// the open blocks, the vertices of the clumps and protos under construction,
// and where faces go (the drawn scene, or a proto being recorded).
#include "rwx/blockstack.h"
#include "rwx/keywords.h"
#include "rwx/reader.h"
#include "scene/scene.h"
#include "scene/scenegeometry.h"

#include <QHash>
#include <QMatrix4x4>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stop_token>
#include <unordered_map>
#include <vector>

namespace rwx::scenebuild {

inline bool isFinite(const QVector3D &v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

// 0..1, with -0 read as 0 so that equal values compare equal bit for bit.
inline float unitRange(float v)
{
    return std::clamp(v, 0.0f, 1.0f) + 0.0f;
}

// A colour r g b, each 0..1.
inline QVector3D unitColor(const float *rgb)
{
    return QVector3D(unitRange(rgb[0]), unitRange(rgb[1]), unitRange(rgb[2]));
}

// The normal of a face or corner without a direction.
inline constexpr QVector3D UpNormal(0, 1, 0);

// Statements, faces of a primitive, or corners of an instance between two
// questions whether to stop.
inline constexpr int StatementsPerStopQuestion = 2048;
inline constexpr int FacesPerStopQuestion = 2048;
inline constexpr qsizetype CornersPerStopQuestion = 16384;

// Materials are grouped when they are exactly equal.
struct MaterialHash {
    std::size_t operator()(const Material &m) const noexcept;
};
struct MaterialSame {
    bool operator()(const Material &a, const Material &b) const noexcept;
};

struct Target {
    Scene scene;
    std::unordered_map<Material, int, MaterialHash, MaterialSame> meshIndex;
    int serial = 0;
    int meshFor(const Material &material); // finds or adds the material's mesh
};

// A vertex of the clump or proto under construction.
struct Corner {
    QVector3D position;   // the CTM applied
    QVector3D normal;     // given on its Vertex line and turned by the CTM; null if none
    QVector3D normalSum;  // the normals of the faces that use it, weighted by area
    QVector2D uv;
    QVector3D prelight;   // meaningful when prelit
    qint64 sharedKey = -1; // the mesh holding its shared copy (vertex sampling)
    quint32 sharedIndex = 0;
    bool usable = true;   // its coordinates were read and are finite
    bool prelit = false;
};

struct Scope {
    Target *target;
    qsizetype cornerBase;  // its vertex 1 in Builder::m_corners
    qsizetype pendingBase; // its first entry in Builder::m_pending
    // The last prelight given to one of its vertices, which the vertices
    // after it take; prelit once one was given.
    QVector3D prelight = {};
    bool prelit = false;
};

// A shared corner whose averaged normal is known when its scope closes.
struct PendingNormal {
    qsizetype corner;
    int mesh;
    quint32 index;
};

// An open block: what its End restores.
struct Open {
    Block block;
    QMatrix4x4 ctm;
    Material material;
    Target *outerTarget = nullptr; // Proto: where faces went before
    QString name;                  // Proto: its name in lower case
};

using Words = TextStatement;

// Reads count numbers from words[first...]; false if any is missing or not a number.
bool numbers(const Words &words, qsizetype first, int count, float *out);

class Builder {
public:
    explicit Builder(std::stop_token stop = {}) : m_stop(std::move(stop)) {}
    Scene build(QStringView text);
    bool statement(const Words &words); // the reader's call: one statement; false to stop

private:
    void begin(Block block, const Words &words);
    void close(Open &&open);
    void openScope();
    void closeScope();

    // scenecorners.cpp: vertices, and what their corners carry into a mesh.
    void vertex(const Words &words);
    void prelight(const Words &words, qsizetype corner);
    void givePrelight(qsizetype corner, const QVector3D &color);
    qsizetype addCorner(const QVector3D &local, const QVector2D &uv, const QVector3D &localNormal);
    static void appendPrelight(Mesh &mesh, const Corner &corner);
    static void appendPrelight(Mesh &mesh, const Mesh &instanced, qsizetype at);
    void instance(const Words &words, bool geometryOnly, int line);

    void face(Op op, const Words &words, int line);
    void emitFace(const qsizetype *corners, int count, int line, int tag);
    void primitive(Op op, const Words &words, int line);
    bool takeTriangles(qsizetype count);
    bool fits(qsizetype count); // false, and the scene marked incomplete, when count triangles would not fit
    bool stopped();             // a stop was requested (asked of the token at most once a call)

    void transform(Op op, const Words &words);
    void setCtm(const QMatrix4x4 &ctm);
    const scenegeometry::NormalTransform &normalTransform();

    void material(Op op, const Words &words); // scenestate.cpp
    void materialChanged() { m_meshTarget = nullptr; }
    int currentMesh();

    Target m_scene;
    std::vector<std::unique_ptr<Target>> m_protos;
    QHash<QString, Target *> m_protoByName;
    Target *m_target = &m_scene;
    int m_serials = 0;
    std::vector<Scope> m_scopes;
    std::vector<Corner> m_corners;
    qsizetype m_lastVertex = -1; // the vertex the statement before made, if it was a Vertex
    std::vector<PendingNormal> m_pending;
    BlockStack<Open> m_blocks;

    QMatrix4x4 m_ctm;
    scenegeometry::NormalTransform m_normalTransform;
    bool m_normalTransformStale = false;
    Material m_material;
    Target *m_meshTarget = nullptr; // the target and mesh of m_material, while valid
    int m_mesh = -1;
    qsizetype m_triangles = 0;
    std::stop_token m_stop;
    bool m_cancelled = false;
    qint64 m_statements = 0; // read so far

    // Scratch space, reused from face to face.
    std::vector<qsizetype> m_faceCorners;
    std::vector<QVector3D> m_points;
    std::vector<scenegeometry::Triangle> m_cut;
    std::vector<quint32> m_out;
    std::vector<QVector3D> m_mapped;
    scenegeometry::Shape m_shape;
};

} // namespace rwx::scenebuild

#pragma once
// Geometry for the scene builder: cutting faces into triangles, turning
// normals with a transform, and the primitives' shapes in their own space.
#include <QMatrix4x4>
#include <QVector2D>
#include <QVector3D>

#include <array>
#include <vector>

namespace rwx::scenegeometry {

using Triangle = std::array<int, 3>;

// The polygon's normal by Newell's method; its length is twice the area.
QVector3D newellNormal(const QVector3D *points, int count);

// (x, y, z) scaled to length 1, or a null vector when it has no direction.
QVector3D unit(double x, double y, double z);
inline QVector3D unit(const QVector3D &v) { return unit(v.x(), v.y(), v.z()); }

// Cuts a polygon of count corners (count >= 3) into count - 2 triangles of
// corner numbers, wound like the polygon: a convex one as a fan from corner 0,
// a concave one by ear clipping in its plane (given by normal). A polygon too
// large for ear clipping is fanned.
void triangulate(const QVector3D *points, int count, const QVector3D &normal,
                 std::vector<Triangle> &out);
inline constexpr int MaxEarClippedCorners = 128;

// Turns normals as a transform turns the surfaces they belong to: with the
// cofactor matrix of its linear part, which is defined for any matrix and
// keeps a normal on the side its face's winding gives after the transform.
class NormalTransform {
public:
    NormalTransform() = default;
    explicit NormalTransform(const QMatrix4x4 &m);
    // Unit length, or a null vector when the result has no direction.
    QVector3D map(const QVector3D &n) const;

private:
    double m_cofactor[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}; // column by column
};

// A primitive in its own space: corners, and faces of three or four corner
// numbers (face[3] < 0 for a triangle). Faces wind counter-clockwise seen
// from the side they face.
struct ShapeVertex {
    QVector3D position;
    QVector2D uv;
    QVector3D normal; // the exact surface normal, or null: the faces' average
};
struct Shape {
    std::vector<ShapeVertex> vertices;
    std::vector<std::array<int, 4>> faces;
    void clear() { vertices.clear(); faces.clear(); }
};

inline constexpr int MinSides = 3;
inline constexpr int MaxSides = 256;
inline constexpr int MaxDensity = 6;

void makeBlock(Shape &shape, float width, float height, float depth);
void makeCone(Shape &shape, float height, float radius, int sides);
void makeCylinder(Shape &shape, float height, float bottomRadius, float topRadius, int sides);
void makeDisc(Shape &shape, float offset, float radius, int sides);
void makeSphere(Shape &shape, float radius, int density);
void makeHemisphere(Shape &shape, float radius, int density);

} // namespace rwx::scenegeometry

// The primitives' shapes, in their own space, before the CTM.
#include "scene/scenegeometry.h"

#include <cmath>
#include <numbers>

namespace rwx::scenegeometry {
namespace {

int add(Shape &s, const QVector3D &position, const QVector2D &uv, const QVector3D &normal = QVector3D())
{
    s.vertices.push_back(ShapeVertex{position, uv, normal});
    return int(s.vertices.size() - 1);
}

void triangle(Shape &s, int a, int b, int c) { s.faces.push_back({a, b, c, -1}); }
void quad(Shape &s, int a, int b, int c, int d) { s.faces.push_back({a, b, c, d}); }

// cos and sin of a whole turn * step / steps, exact at the quarter turns.
void angle(int step, int steps, double &c, double &s)
{
    step %= steps;
    if ((4 * step) % steps == 0) {
        static constexpr double kCos[] = {1, 0, -1, 0};
        static constexpr double kSin[] = {0, 1, 0, -1};
        c = kCos[4 * step / steps];
        s = kSin[4 * step / steps];
        return;
    }
    const double a = 2 * std::numbers::pi * step / steps;
    c = std::cos(a);
    s = std::sin(a);
}

// A point of radius r at height y on the circle about the y axis; the angle
// grows counter-clockwise seen from +y.
QVector3D ring(double c, double s, float r, float y) { return QVector3D(float(r * c), y, float(-r * s)); }

QVector2D planar(double c, double s) { return QVector2D(float(0.5 + 0.5 * c), float(0.5 + 0.5 * s)); }

// A flat circle of n triangles about (0, y, 0), facing +y or -y.
void cap(Shape &shape, float y, float r, int n, bool up)
{
    const int centre = add(shape, QVector3D(0, y, 0), QVector2D(0.5f, 0.5f));
    const int first = int(shape.vertices.size());
    for (int i = 0; i < n; ++i) {
        double c, s;
        angle(i, n, c, s);
        add(shape, ring(c, s, r, y), planar(c, s));
    }
    for (int i = 0; i < n; ++i) {
        const int a = first + i, b = first + (i + 1) % n;
        if (up)
            triangle(shape, centre, a, b);
        else
            triangle(shape, centre, b, a);
    }
}

// The normal of the side of a cone or cylinder from radius rb at y = 0 to
// rt at y = h, wound as ring() turns: the radius where it is taken decides
// the side it faces.
QVector3D side(double c, double s, float h, float rb, float rt, float radiusHere)
{
    const float r = radiusHere != 0 ? radiusHere : (rb != 0 ? rb : rt);
    const double sign = r < 0 ? -1 : 1;
    return unit(sign * h * c, sign * (double(rb) - rt), sign * -h * s);
}

} // namespace

void makeBlock(Shape &shape, float width, float height, float depth)
{
    const float x = width / 2, y = height / 2, z = depth / 2;
    // Each face: its centre and two half edges u, v with u x v pointing out.
    const QVector3D faces[6][3] = {
        {{x, 0, 0}, {0, 0, -z}, {0, y, 0}}, {{-x, 0, 0}, {0, 0, z}, {0, y, 0}},
        {{0, y, 0}, {x, 0, 0}, {0, 0, -z}}, {{0, -y, 0}, {x, 0, 0}, {0, 0, z}},
        {{0, 0, z}, {x, 0, 0}, {0, y, 0}},  {{0, 0, -z}, {-x, 0, 0}, {0, y, 0}},
    };
    for (const auto &f : faces) {
        const QVector3D &c = f[0], &u = f[1], &v = f[2];
        const int a = add(shape, c - u - v, QVector2D(0, 1));
        add(shape, c + u - v, QVector2D(1, 1));
        add(shape, c + u + v, QVector2D(1, 0));
        add(shape, c - u + v, QVector2D(0, 0));
        quad(shape, a, a + 1, a + 2, a + 3);
    }
}

void makeCylinder(Shape &shape, float height, float bottomRadius, float topRadius, int n)
{
    const int first = int(shape.vertices.size());
    for (int i = 0; i <= n; ++i) { // the seam's corners twice, for the texture
        double c, s;
        angle(i, n, c, s);
        const float u = float(i) / float(n);
        add(shape, ring(c, s, bottomRadius, 0), QVector2D(u, 1), side(c, s, height, bottomRadius, topRadius, bottomRadius));
        add(shape, ring(c, s, topRadius, height), QVector2D(u, 0), side(c, s, height, bottomRadius, topRadius, topRadius));
    }
    for (int i = 0; i < n; ++i) {
        const int b = first + 2 * i;
        quad(shape, b, b + 2, b + 3, b + 1);
    }
    if (bottomRadius != 0)
        cap(shape, 0, bottomRadius, n, false);
    if (topRadius != 0)
        cap(shape, height, topRadius, n, true);
}

void makeCone(Shape &shape, float height, float radius, int n)
{
    const int first = int(shape.vertices.size());
    for (int i = 0; i <= n; ++i) {
        double c, s;
        angle(i, n, c, s);
        add(shape, ring(c, s, radius, 0), QVector2D(float(i) / float(n), 1), side(c, s, height, radius, 0, radius));
    }
    for (int i = 0; i < n; ++i) {
        // The apex once a side, with that side's middle normal.
        const double a = 2 * std::numbers::pi * (i + 0.5) / n;
        const int apex = add(shape, QVector3D(0, height, 0), QVector2D((i + 0.5f) / float(n), 0),
                             side(std::cos(a), std::sin(a), height, radius, 0, 0));
        triangle(shape, first + i, first + i + 1, apex);
    }
    if (radius != 0)
        cap(shape, 0, radius, n, false);
}

void makeDisc(Shape &shape, float offset, float radius, int n)
{
    cap(shape, offset, radius, n, true);
}

void makeSphere(Shape &shape, float radius, int density)
{
    const int k = 1 << density;
    // The cube's faces: normal n, and u, v with u x v = n.
    static const QVector3D faces[6][3] = {
        {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
    };
    for (const auto &f : faces) {
        const int first = int(shape.vertices.size());
        for (int j = 0; j <= k; ++j) {
            for (int i = 0; i <= k; ++i) {
                const QVector3D d = unit(f[0] + f[1] * (2.0f * i / k - 1) + f[2] * (2.0f * j / k - 1));
                add(shape, d * radius, QVector2D(float(i) / k, 1 - float(j) / k), d);
            }
        }
        for (int j = 0; j < k; ++j) {
            for (int i = 0; i < k; ++i) {
                const int a = first + j * (k + 1) + i;
                quad(shape, a, a + 1, a + k + 2, a + k + 1);
            }
        }
    }
}

void makeHemisphere(Shape &shape, float radius, int density)
{
    const int k = 1 << density;
    // The upper half of an octahedron: four faces from the equator to the top.
    static const QVector3D equator[4] = {{1, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 0, 1}};
    const QVector3D top(0, 1, 0);
    for (int f = 0; f < 4; ++f) {
        const QVector3D &a = equator[f];
        const QVector3D along = equator[(f + 1) % 4] - a, up = top - a;
        const int first = int(shape.vertices.size());
        for (int j = 0; j <= k; ++j) {
            for (int i = 0; i + j <= k; ++i) {
                const QVector3D d = unit(a + along * (float(i) / k) + up * (float(j) / k));
                add(shape, d * radius, QVector2D(0.5f + 0.5f * d.x(), 0.5f + 0.5f * d.z()), d);
            }
        }
        // Row j starts after the rows below it, of k + 1, k, ... corners.
        auto at = [&](int i, int j) { return first + j * (k + 1) - j * (j - 1) / 2 + i; };
        for (int j = 0; j < k; ++j) {
            for (int i = 0; i + j < k; ++i) {
                triangle(shape, at(i, j), at(i + 1, j), at(i, j + 1));
                if (i + j + 1 < k)
                    triangle(shape, at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
            }
        }
    }
    // The base, under the dome's rim: 4k triangles facing -y.
    const int centre = add(shape, QVector3D(0, 0, 0), QVector2D(0.5f, 0.5f));
    const int rim = int(shape.vertices.size());
    for (int f = 0; f < 4; ++f) {
        for (int i = 0; i < k; ++i) {
            const QVector3D d = unit(equator[f] + (equator[(f + 1) % 4] - equator[f]) * (float(i) / k));
            add(shape, d * radius, QVector2D(0.5f + 0.5f * d.x(), 0.5f + 0.5f * d.z()));
        }
    }
    for (int m = 0; m < 4 * k; ++m)
        triangle(shape, centre, rim + (m + 1) % (4 * k), rim + m);
}

} // namespace rwx::scenegeometry

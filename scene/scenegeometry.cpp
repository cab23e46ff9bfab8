#include "scene/scenegeometry.h"

#include <QVarLengthArray>

#include <cmath>

namespace rwx::scenegeometry {

QVector3D newellNormal(const QVector3D *points, int count)
{
    double x = 0, y = 0, z = 0;
    for (int i = 0; i < count; ++i) {
        const QVector3D &a = points[i];
        const QVector3D &b = points[i + 1 < count ? i + 1 : 0];
        x += (double(a.y()) - b.y()) * (double(a.z()) + b.z());
        y += (double(a.z()) - b.z()) * (double(a.x()) + b.x());
        z += (double(a.x()) - b.x()) * (double(a.y()) + b.y());
    }
    return QVector3D(float(x), float(y), float(z));
}

namespace {

struct Point {
    double x, y;
};

// Twice the signed area of a b c: positive when they turn counter-clockwise.
inline double turn(const Point &a, const Point &b, const Point &c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

inline bool same(const Point &a, const Point &b) { return a.x == b.x && a.y == b.y; }

void fan(int count, std::vector<Triangle> &out)
{
    for (int i = 1; i + 1 < count; ++i)
        out.push_back({0, i, i + 1});
}

} // namespace

void triangulate(const QVector3D *points, int count, const QVector3D &normal, std::vector<Triangle> &out)
{
    out.clear();
    if (count < 3)
        return;
    if (count == 3 || count > MaxEarClippedCorners) {
        fan(count, out);
        return;
    }
    // Project onto the plane of the two axes the normal leans on least.
    const float ax = std::abs(normal.x()), ay = std::abs(normal.y()), az = std::abs(normal.z());
    const int u = (ax >= ay && ax >= az) ? 1 : (ay >= az ? 2 : 0);
    const int v = (u + 1) % 3;
    QVarLengthArray<Point, 32> p(count);
    for (int i = 0; i < count; ++i)
        p[i] = Point{points[i][u], points[i][v]};
    double area = 0;
    for (int i = 0; i < count; ++i)
        area += p[i].x * p[(i + 1) % count].y - p[(i + 1) % count].x * p[i].y;
    if (!(area != 0) || !std::isfinite(area)) {
        fan(count, out);
        return;
    }
    const double sign = area > 0 ? 1 : -1;
    bool convex = true;
    for (int i = 0; i < count && convex; ++i)
        convex = turn(p[(i + count - 1) % count], p[i], p[(i + 1) % count]) * sign >= 0;
    if (convex) {
        fan(count, out);
        return;
    }

    // Ear clipping: cut off a corner whose triangle turns the polygon's way
    // and holds no other corner, until three are left.
    QVarLengthArray<int, 32> ring(count);
    for (int i = 0; i < count; ++i)
        ring[i] = i;
    auto isEar = [&](int prev, int cur, int next) {
        const Point &a = p[prev], &b = p[cur], &c = p[next];
        if (turn(a, b, c) * sign <= 0)
            return false;
        for (const int j : ring) {
            if (j == prev || j == cur || j == next)
                continue;
            const Point &q = p[j];
            if (same(q, a) || same(q, b) || same(q, c))
                continue;
            if (turn(a, b, q) * sign >= 0 && turn(b, c, q) * sign >= 0 && turn(c, a, q) * sign >= 0)
                return false;
        }
        return true;
    };
    int at = 0;
    while (ring.size() > 3) {
        const int m = int(ring.size());
        int tries = 0;
        while (tries < m && !isEar(ring[(at + m - 1) % m], ring[at], ring[(at + 1) % m])) {
            at = (at + 1) % m;
            ++tries;
        }
        // No ear (a self-crossing outline): cut the corner anyway.
        out.push_back({ring[(at + m - 1) % m], ring[at], ring[(at + 1) % m]});
        ring.remove(at);
        if (at >= ring.size())
            at = 0;
    }
    out.push_back({ring[0], ring[1], ring[2]});
}

NormalTransform::NormalTransform(const QMatrix4x4 &m)
{
    // Columns of the cofactor matrix: b x c, c x a, a x b for the columns a b c.
    const double a[3] = {m(0, 0), m(1, 0), m(2, 0)};
    const double b[3] = {m(0, 1), m(1, 1), m(2, 1)};
    const double c[3] = {m(0, 2), m(1, 2), m(2, 2)};
    auto cross = [](const double *u, const double *v, double *out) {
        out[0] = u[1] * v[2] - u[2] * v[1];
        out[1] = u[2] * v[0] - u[0] * v[2];
        out[2] = u[0] * v[1] - u[1] * v[0];
    };
    cross(b, c, m_cofactor);
    cross(c, a, m_cofactor + 3);
    cross(a, b, m_cofactor + 6);
}

QVector3D NormalTransform::map(const QVector3D &n) const
{
    const double *k = m_cofactor;
    const double x = k[0] * n.x() + k[3] * n.y() + k[6] * n.z();
    const double y = k[1] * n.x() + k[4] * n.y() + k[7] * n.z();
    const double z = k[2] * n.x() + k[5] * n.y() + k[8] * n.z();
    return unit(x, y, z);
}

QVector3D unit(double x, double y, double z)
{
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length))
        return QVector3D();
    return QVector3D(float(x / length), float(y / length), float(z / length));
}

} // namespace rwx::scenegeometry

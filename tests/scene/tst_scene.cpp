// What a script draws: transforms, clumps, protos, faces, primitives and
// materials, read back as the triangles, positions and lines the preview gets.
#include "scene/scene.h"

#include "support/files.h"
#include "support/testmain.h"

#include <QDir>
#include <QFile>
#include <QPolygonF>
#include <QRegularExpression>

#include <cmath>

using rwx::Material;
using rwx::Mesh;
using rwx::Scene;

namespace {

// One triangle as drawn: its mesh, corners, corner normals and line.
struct Tri {
    const Mesh *mesh;
    QVector3D p[3];
    QVector3D n[3];
    QVector2D uv[3];
    int line;
    QVector3D facing() const { return QVector3D::crossProduct(p[1] - p[0], p[2] - p[0]); }
    float area() const { return facing().length() / 2; }
    QVector3D centroid() const { return (p[0] + p[1] + p[2]) / 3; }
};

QList<Tri> triangles(const Scene &scene, int line = 0)
{
    QList<Tri> out;
    for (const Mesh &m : scene.meshes) {
        for (qsizetype t = 0; t < m.triangleCount(); ++t) {
            if (line && m.lines[t] != line)
                continue;
            Tri tri{&m, {}, {}, {}, m.lines[t]};
            for (int k = 0; k < 3; ++k) {
                tri.p[k] = m.positions[m.indices[3 * t + k]];
                tri.n[k] = m.normals[m.indices[3 * t + k]];
                tri.uv[k] = m.uvs[m.indices[3 * t + k]];
            }
            out << tri;
        }
    }
    return out;
}

QString dataText(const QString &name)
{
    return QString::fromUtf8(orvane_test::readFile(orvane_test::dataFile(QStringLiteral("scene/") + name)));
}

Scene buildData(const QString &name)
{
    const QString text = dataText(name);
    if (text.isEmpty())
        qWarning("missing test script %s", qPrintable(name));
    return rwx::buildScene(text);
}

bool near(const QVector3D &a, const QVector3D &b, float tolerance = 1e-5f)
{
    return (a - b).length() <= tolerance;
}

// The box around some triangles.
QPair<QVector3D, QVector3D> box(const QList<Tri> &tris)
{
    QVector3D lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    for (const Tri &t : tris) {
        for (const QVector3D &p : t.p) {
            lo = QVector3D(qMin(lo.x(), p.x()), qMin(lo.y(), p.y()), qMin(lo.z(), p.z()));
            hi = QVector3D(qMax(hi.x(), p.x()), qMax(hi.y(), p.y()), qMax(hi.z(), p.z()));
        }
    }
    return {lo, hi};
}

} // namespace

class TestScene : public QObject {
    Q_OBJECT
private slots:
    void transforms_data();
    void transforms();
    void nestedClumps();
    void protos();
    void runawayProtosStopAtTheLimit();
    void linesPastTheLimitCostNothing_data();
    void linesPastTheLimitCostNothing();
    void stopRequest();
    void concavePolygons();
    void primitives_data();
    void primitives();
    void materials();
    void vertexData_data();
    void vertexData();
    void axisAlignment_data();
    void axisAlignment();
    void malformed_data();
    void malformed();
    void lexical();
    void samples();
};

// Where the corners of the one triangle of "Vertex 1 0 0 / 0 1 0 / 0 0 1"
// land after the statements in front of them.
void TestScene::transforms_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QList<QVector3D>>("corners");
    const QList<QVector3D> unmoved = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    QTest::newRow("scale then rotate") << "Scale 2 3 4\nRotate 0 0 1 90"
                                       << QList<QVector3D>{{0, 3, 0}, {-2, 0, 0}, {0, 0, 4}};
    QTest::newRow("scale then translate") << "Scale 2 2 2\nTranslate 1 0 0"
                                          << QList<QVector3D>{{4, 0, 0}, {2, 2, 0}, {2, 0, 2}};
    QTest::newRow("rotate about an unnormalised axis") << "Rotate 0 0 5 -90"
                                                       << QList<QVector3D>{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    const QString matrix = "Translate 9 9 9\nTransform 2 0 0 0  0 2 0 0  0 0 2 0  1 2 3 %1";
    QTest::newRow("Transform replaces") << matrix.arg(1)
                                        << QList<QVector3D>{{3, 2, 3}, {1, 4, 3}, {1, 2, 5}};
    QTest::newRow("Transform, 0 read as 1") << matrix.arg(0)
                                            << QList<QVector3D>{{3, 2, 3}, {1, 4, 3}, {1, 2, 5}};
    QTest::newRow("Identity") << "Translate 4 0 0\nScale 3 3 3\nIdentity" << unmoved;
    QTest::newRow("TransformBegin/End") << "TransformBegin\nTranslate 4 0 0\nTransformEnd" << unmoved;
    QTest::newRow("JointTransformBegin/End") << "JointTransformBegin\nScale 0 0 0\nJointTransformEnd" << unmoved;
    QTest::newRow("a transform after the vertex") << "Vertex 1 0 0\nTranslate 0 0 7\nIdentity" << unmoved;
}

void TestScene::transforms()
{
    QFETCH(QString, before);
    QFETCH(QList<QVector3D>, corners);
    // With a vertex already in front, the triangle's corners shift by one.
    const QString first = before.startsWith(QLatin1String("Vertex")) ? "2 3 4" : "1 2 3";
    const Scene scene = rwx::buildScene(before + "\nVertex 1 0 0\nVertex 0 1 0\nVertex 0 0 1\nTriangle " + first);
    const QList<Tri> tris = triangles(scene);
    QCOMPARE(tris.size(), 1);
    for (int k = 0; k < 3; ++k)
        QVERIFY2(near(tris[0].p[k], corners[k]), qPrintable(QStringLiteral("corner %1").arg(k)));
}

void TestScene::nestedClumps()
{
    const Scene scene = buildData("clumps.rwx");
    QCOMPARE(scene.triangleCount(), 3); // line 14 names a vertex the inner clump lacks
    QVERIFY(triangles(scene, 14).isEmpty());
    // The inner clump numbers its own vertices, under both translations, in red.
    const QList<Tri> inner = triangles(scene, 13);
    QCOMPARE(inner.size(), 1);
    QVERIFY(near(inner[0].p[0], {10, 10, 0}) && near(inner[0].p[1], {12, 10, 0}) && near(inner[0].p[2], {10, 12, 0}));
    QCOMPARE(inner[0].mesh->material.color, QVector3D(1, 0, 0));
    // After ClumpEnd: the outer vertices again, its CTM and its material.
    const QList<Tri> outer = triangles(scene, 16);
    QCOMPARE(outer.size(), 1);
    QVERIFY(near(outer[0].p[0], {10, 0, 0}) && near(outer[0].p[1], {11, 0, 0}) && near(outer[0].p[2], {10, 1, 0}));
    QCOMPARE(outer[0].mesh->material, Material());
    const QList<Tri> fourth = triangles(scene, 18);
    QCOMPARE(fourth.size(), 1);
    QVERIFY(near(fourth[0].p[2], {10, 0, 1}));
    QCOMPARE(scene.boundsMin(), QVector3D(10, 0, 0));
    QCOMPARE(scene.boundsMax(), QVector3D(12, 12, 1));
}

void TestScene::protos()
{
    const Scene scene = buildData("protos.rwx");
    // Four instances of a quad and one triangle; the protos draw nothing themselves.
    QCOMPARE(scene.triangleCount(), 9);
    const QVector3D blue(0, 0, 1), green(0, 1, 0);
    struct Expect {
        int line;
        QVector3D min, max, color;
    };
    const Expect expected[] = {
        {18, {5, 0, 1}, {6, 1, 1}, blue},  // under Translate 5 0 0
        {20, {4, 0, 1}, {5, 1, 1}, blue},  // and Rotate 0 0 1 90; name in another case
        {21, {4, 0, 1}, {5, 1, 1}, green}, // ProtoInstanceGeometry: the current material
        {23, {4, 0, 1}, {5, 1, 1}, blue},  // a proto that named itself: only its tile
        {27, {4, 0, 0}, {5, 0, 1}, green}, // the clump's own vertices, CTM not moved by the protos
    };
    for (const Expect &e : expected) {
        const QList<Tri> tris = triangles(scene, e.line);
        QCOMPARE(tris.size(), e.line == 27 ? 1 : 2);
        const auto [lo, hi] = box(tris);
        QVERIFY2(near(lo, e.min) && near(hi, e.max), qPrintable(QString::number(e.line)));
        QCOMPARE(tris[0].mesh->material.color, e.color);
        if (e.line != 27)
            QCOMPARE(tris[0].n[0], QVector3D(0, 0, 1)); // turned about z: the tile still faces +z
    }
}

// Each proto draws the one before it twice: 2^40 triangles if nothing stopped it.
void TestScene::runawayProtosStopAtTheLimit()
{
    QString text = "ProtoBegin p0\nVertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\nProtoEnd\n";
    for (int i = 1; i <= 40; ++i)
        text += QStringLiteral("ProtoBegin p%1\nProtoInstance p%2\nTranslate 1 0 0\nProtoInstance p%2\nProtoEnd\n")
                    .arg(i).arg(i - 1);
    text += "ProtoInstance p40\nVertex 0 0 0\nVertex 0 1 0\nVertex 0 0 1\nTriangle 1 2 3\n";
    const Scene scene = rwx::buildScene(text);
    QVERIFY(scene.incomplete);
    // What was recorded up to the limit; the last triangle still fits.
    QCOMPARE(scene.triangleCount(), 1);
    QCOMPARE(scene.boundsMax(), QVector3D(0, 1, 1));
    QVERIFY(!rwx::buildScene(text.left(text.indexOf("ProtoBegin p2\n"))).incomplete);
}

// Once the limit leaves no room for a line's triangles, the line is read and
// nothing more: repeating it places no corner and draws nothing.
void TestScene::linesPastTheLimitCostNothing_data()
{
    QTest::addColumn<QString>("filled");
    QTest::addColumn<QString>("line");
    // 11 spheres of 49 152 triangles: more than half the limit, so the proto
    // never fits a second time.
    const QString big = "ProtoBegin big\n" + QString("Sphere 1 6\n").repeated(11) + "ProtoEnd\n";
    QTest::newRow("instances of a proto too large") << big << "ProtoInstance big\n";
    // Ten more spheres fill the limit exactly: the tenth only in part.
    const QString full = big + QString("Sphere 1 6\n").repeated(10);
    QTest::newRow("spheres past the limit") << full << "Sphere 1 6\n";
    QTest::newRow("cones past the limit") << full << "Cone 1 1 256\n";
}

void TestScene::linesPastTheLimitCostNothing()
{
    QFETCH(QString, filled);
    QFETCH(QString, line);
    const Scene before = rwx::buildScene(filled);
    const Scene after = rwx::buildScene(filled + line.repeated(200));
    QVERIFY(after.incomplete && !after.cancelled);
    QCOMPARE(after.triangleCount(), before.triangleCount());
    QCOMPARE(after.placedCorners, before.placedCorners);
}

void TestScene::stopRequest()
{
    const QString text = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n" + QString("Triangle 1 2 3\n").repeated(10000);
    QCOMPARE(rwx::buildScene(text).triangleCount(), 10000);
    std::stop_source stop;
    stop.request_stop();
    const Scene stopped = rwx::buildScene(text, stop.get_token());
    QVERIFY(stopped.cancelled && !stopped.incomplete);
    QCOMPARE(stopped.triangleCount(), 0);
    QCOMPARE(stopped.placedCorners, 0);
}

void TestScene::concavePolygons()
{
    const Scene scene = buildData("polygon.rwx");
    // Rotate 1 0 0 90 stands the shapes in the x-z plane, facing -y.
    const QPolygonF ell({{2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}});
    const QPolygonF dart({{0, 0}, {2, 1}, {0, 2}, {1, 1}});
    struct Expect {
        int line, triangles;
        float area;
        const QPolygonF &outline;
    };
    const Expect expected[] = {{10, 4, 3, ell}, {15, 2, 1, dart}};
    for (const Expect &e : expected) {
        const QList<Tri> tris = triangles(scene, e.line);
        QCOMPARE(tris.size(), e.triangles);
        float area = 0;
        for (const Tri &t : tris) {
            QVERIFY2(QVector3D::dotProduct(t.facing(), {0, -1, 0}) > 0, "a triangle wound against its polygon");
            QVERIFY2(e.outline.containsPoint({t.centroid().x(), t.centroid().z()}, Qt::OddEvenFill),
                     "a triangle outside its polygon");
            area += t.area();
        }
        QVERIFY(qAbs(area - e.area) < 1e-5f);
    }
}

void TestScene::primitives_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<int>("count");
    QTest::addColumn<QVector3D>("min");
    QTest::addColumn<QVector3D>("max");
    QTest::addColumn<QVector3D>("middle"); // faces point away from it
    const float c = 1 / std::sqrt(3.0f);
    QTest::newRow("block") << "Block 2 4 6" << 12 << QVector3D(-1, -2, -3) << QVector3D(1, 2, 3) << QVector3D();
    QTest::newRow("block, moved") << "Translate 1 0 0\nBlock 2 2 2" << 12 << QVector3D(0, -1, -1)
                                  << QVector3D(2, 1, 1) << QVector3D(1, 0, 0);
    QTest::newRow("cone") << "Cone 3 1 8" << 16 << QVector3D(-1, 0, -1) << QVector3D(1, 3, 1) << QVector3D(0, 1, 0);
    QTest::newRow("cone, sides clamped up") << "Cone 1 1 0" << 6 << QVector3D(-.5f, 0, -std::sqrt(.75f))
                                            << QVector3D(1, 1, std::sqrt(.75f)) << QVector3D(0, .3f, 0);
    QTest::newRow("cone, sides clamped down") << "Cone 1 1 1e9" << 512 << QVector3D(-1, 0, -1) << QVector3D(1, 1, 1)
                                              << QVector3D(0, .3f, 0);
    QTest::newRow("cylinder") << "Cylinder 2 1 .5 8" << 32 << QVector3D(-1, 0, -1) << QVector3D(1, 2, 1)
                              << QVector3D(0, 1, 0);
    QTest::newRow("cylinder, pointed") << "Cylinder 2 1 0 8" << 24 << QVector3D(-1, 0, -1) << QVector3D(1, 2, 1)
                                       << QVector3D(0, .5f, 0);
    QTest::newRow("disc") << "Disc .5 2 8" << 8 << QVector3D(-2, .5f, -2) << QVector3D(2, .5f, 2) << QVector3D(0, 0, 0);
    QTest::newRow("sphere") << "Sphere 1.5 2" << 192 << QVector3D(-1.5f, -1.5f, -1.5f) << QVector3D(1.5f, 1.5f, 1.5f)
                            << QVector3D();
    QTest::newRow("sphere, density 0") << "Sphere 1 0" << 12 << QVector3D(-c, -c, -c) << QVector3D(c, c, c)
                                       << QVector3D();
    QTest::newRow("sphere, density clamped") << "Sphere 1 99" << 49152 << QVector3D(-1, -1, -1) << QVector3D(1, 1, 1)
                                             << QVector3D();
    QTest::newRow("hemisphere") << "Hemisphere 2 1" << 24 << QVector3D(-2, 0, -2) << QVector3D(2, 2, 2)
                                << QVector3D(0, .5f, 0);
}

void TestScene::primitives()
{
    QFETCH(QString, statement);
    QFETCH(int, count);
    QFETCH(QVector3D, min);
    QFETCH(QVector3D, max);
    QFETCH(QVector3D, middle);
    const int line = int(statement.count(u'\n')) + 2;
    for (const char *sampling : {"Facet", "Vertex"}) {
        const Scene scene = rwx::buildScene(QStringLiteral("LightSampling %1\n%2\n").arg(sampling, statement));
        const QList<Tri> tris = triangles(scene, line);
        QCOMPARE(tris.size(), count);
        QCOMPARE(scene.triangleCount(), count);
        QVERIFY2(near(scene.boundsMin(), min) && near(scene.boundsMax(), max),
                 qPrintable(QStringLiteral("bounds %1 %2 %3 .. %4 %5 %6")
                                .arg(scene.boundsMin().x()).arg(scene.boundsMin().y()).arg(scene.boundsMin().z())
                                .arg(scene.boundsMax().x()).arg(scene.boundsMax().y()).arg(scene.boundsMax().z())));
        for (const Tri &t : tris) {
            if (t.area() < 1e-6f)
                continue; // a side triangle reduced to a line at a point
            const QVector3D out = t.facing().normalized();
            QVERIFY2(QVector3D::dotProduct(out, t.centroid() - middle) > 0, "a face turned inward");
            for (const QVector3D &n : t.n) // smooth or flat, every normal leans out of its face's front
                QVERIFY2(QVector3D::dotProduct(n, out) > 0.2f && qAbs(n.length() - 1) < 1e-4f, sampling);
        }
    }
}

void TestScene::materials()
{
    const Scene scene = buildData("materials.rwx");
    QCOMPARE(scene.triangleCount(), 5);
    Material set;
    set.color = QVector3D(.5f, .25f, 1);
    set.ambient = .1f;
    set.diffuse = .2f;
    set.specular = .3f;
    set.opacity = .75f;
    set.lightSampling = rwx::LightSampling::Vertex;
    set.geometrySampling = rwx::GeometrySampling::Wireframe;
    set.twoSided = true;
    set.texture = "Bricks";
    set.mask = "BrickMask";
    set.textureModes = rwx::TextureMode::Lit | rwx::TextureMode::Filter;
    set.addressMode = rwx::TextureAddressMode::Clamp;
    set.axisAlignment = rwx::AxisAlignment::ZOrientY;
    Material inner = set; // MaterialBegin: clamped colour, no texture, one-sided
    inner.color = QVector3D(1, 0, .5f);
    inner.texture.clear();
    inner.mask.clear();
    inner.twoSided = false;
    Material later = set;
    later.ambient = .9f;
    later.textureModes |= rwx::TextureMode::Foreshorten;
    const QPair<int, Material> expected[] = {{16, set}, {21, inner}, {23, set}, {26, later}};
    for (const auto &[line, material] : expected) {
        const QList<Tri> tris = triangles(scene, line);
        QCOMPARE(tris.size(), 1);
        QCOMPARE(tris[0].mesh->material, material);
    }
    QCOMPARE(scene.meshes.size(), 3);
    // Vertex sampling: a normal from the Vertex line, else the average of the
    // clump's faces at that vertex; UVs as written.
    for (const int line : {16, 21, 23, 26}) {
        const Tri t = triangles(scene, line)[0];
        QCOMPARE(t.n[0], QVector3D(0, 0, 1));
        QCOMPARE(t.n[1], QVector3D(0, 0, 1));
        QCOMPARE(t.n[2], QVector3D(0, 1, 0));
        QCOMPARE(t.uv[0], QVector2D(0, 1));
        QCOMPARE(t.uv[1], QVector2D(1, 1));
        QCOMPARE(t.uv[2], QVector2D(0, 0));
    }
    // Faces one after another in one material share their corners.
    const Mesh &last = *triangles(scene, 26)[0].mesh;
    QCOMPARE(last.triangleCount(), 2);
    QCOMPARE(last.positions.size(), 3);
}

// Every triangle in mesh order as "line:tag:prelight of its corners", the
// prelight "-" in a mesh without any.
QStringList describeVertexData(const Scene &scene)
{
    QStringList out;
    for (const Mesh &m : scene.meshes) {
        if (!m.prelight.isEmpty() && m.prelight.size() != m.positions.size())
            return {QStringLiteral("prelight not parallel to positions")};
        if (m.tags.size() != m.lines.size())
            return {QStringLiteral("tags not parallel to lines")};
        for (qsizetype t = 0; t < m.triangleCount(); ++t) {
            QStringList corners;
            for (int k = 0; k < 3 && !m.prelight.isEmpty(); ++k) {
                const QVector3D c = m.prelight[m.indices[3 * t + k]];
                corners << QStringLiteral("%1 %2 %3").arg(c.x()).arg(c.y()).arg(c.z());
            }
            out << QStringLiteral("%1:%2:%3").arg(m.lines[t]).arg(m.tags[t])
                       .arg(corners.isEmpty() ? QStringLiteral("-") : corners.join(u'|'));
        }
    }
    return out;
}

void TestScene::vertexData_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    const QString v3 = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n";
    QTest::newRow("none") << v3 + "Triangle 1 2 3" << QStringList{"4:0:-"};
    QTest::newRow("given on the vertex line")
        << "Vertex 0 0 0 Prelight 1 0 0\nVertex 1 0 0 UV 0 1 prelight 0 .5 0\nVertex 0 1 0 PRELIGHT 0 0 9\n"
           "Triangle 1 2 3" << QStringList{"4:0:1 0 0|0 0.5 0|0 0 1"};
    // Before the first vertex given one: 0 0 0; after: the last one given.
    QTest::newRow("inherited in the clump")
        << "Vertex 0 0 0\nVertex 1 0 0 Prelight .5 .5 .5\nVertex 0 1 0\nVertex 1 1 0 Prelight 1 1 1\nVertex 2 2 0\n"
           "Quad 1 2 3 4\nTriangle 3 4 5"
        << QStringList{"6:0:0 0 0|0.5 0.5 0.5|0.5 0.5 0.5", "6:0:0 0 0|0.5 0.5 0.5|1 1 1", "7:0:0.5 0.5 0.5|1 1 1|1 1 1"};
    QTest::newRow("shared corners of smooth faces")
        << "LightSampling vertex\nVertex 0 0 0\nVertex 1 0 0 Prelight .5 .5 .5\nVertex 0 1 0\nVertex 1 1 0\n"
           "Triangle 1 2 3\nTriangle 2 4 3"
        << QStringList{"6:0:0 0 0|0.5 0.5 0.5|0.5 0.5 0.5", "7:0:0.5 0.5 0.5|0.5 0.5 0.5|0.5 0.5 0.5"};
    QTest::newRow("#! on the vertex line and on its own")
        << "Vertex 0 0 0 #! Prelight 1 0 0\nVertex 1 0 0 # a comment\n  #!prelight 0 1 0\nVertex 0 1 0\n"
           "Triangle 1 2 3" << QStringList{"5:0:1 0 0|0 1 0|0 1 0"};
    QTest::newRow("a prelight after anything but a vertex")
        << "Vertex 0 0 0\nColor 1 0 0\n#! Prelight 1 1 1\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n"
           "Prelight 1 1 1" << QStringList{"6:0:-"};
    // A nested clump (in its own colour) and primitives are not prelit; a
    // mesh that holds prelit corners gives the others 0 0 0.
    QTest::newRow("clumps and primitives")
        << "ClumpBegin\nVertex 0 0 0 Prelight 0 0 1\nVertex 1 0 0\nVertex 0 1 0\nClumpBegin\nColor 1 0 0\n" + v3 +
           "Triangle 1 2 3\nClumpEnd\nTriangle 1 2 3\nTriangle 1 2 3\nSphere 1 0\nClumpEnd"
        << (QStringList{"10:0:-", "12:0:0 0 1|0 0 1|0 0 1", "13:0:0 0 1|0 0 1|0 0 1"}
            << QStringList(12, "14:0:0 0 0|0 0 0|0 0 0"));
    QTest::newRow("through a proto")
        << "ProtoBegin lit\nVertex 0 0 0 Prelight 1 0 0\n" + v3.mid(13) + "Triangle 1 2 3 Tag 100\nProtoEnd\n" + v3 +
           "Triangle 1 2 3\nProtoInstance lit\nProtoInstanceGeometry lit"
        << QStringList{"10:0:0 0 0|0 0 0|0 0 0", "11:100:1 0 0|1 0 0|1 0 0", "12:100:1 0 0|1 0 0|1 0 0"};
    QTest::newRow("face tags") << v3 + "Vertex 1 1 0\nTriangle 1 2 3 Tag 100\nQuad 1 2 4 3 tag 200\n"
                                       "PolygonExt 3 1 2 3 TAG 65536\nTriangle 1 2 3 Tag 0\nTriangle 1 2 3 Tag x\n"
                                       "Triangle 1 2 3 Tag 65537\nTriangle 1 2 3 Tag\nTriangle 1 2 3 Tag 7.0\nBlock 1 1 1"
                               << (QStringList{"5:100:-", "6:200:-", "6:200:-", "7:65536:-", "8:0:-", "9:0:-",
                                               "10:0:-", "11:0:-", "12:7:-"} << QStringList(12, "13:0:-"));
}

void TestScene::vertexData()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(describeVertexData(rwx::buildScene(text)), expected);
}

void TestScene::axisAlignment_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<rwx::AxisAlignment>("expected");
    const QString face = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\nTriangle 1 2 3\n";
    QTest::newRow("none") << "ClumpBegin\n" + face + "ClumpEnd" << rwx::AxisAlignment::None;
    QTest::newRow("the outermost clump, after its faces")
        << "ModelBegin\nClumpBegin\n" + face + "TransformBegin\nAxisAlignment ZOrientY\nTransformEnd\nClumpEnd\nModelEnd"
        << rwx::AxisAlignment::ZOrientY;
    QTest::newRow("the model's own level") << "AxisAlignment xyz\nClumpBegin\n" + face + "ClumpEnd"
                                           << rwx::AxisAlignment::Xyz;
    QTest::newRow("a nested clump turns alone")
        << "ClumpBegin\nClumpBegin\nAxisAlignment ZOrientX\n" + face + "ClumpEnd\nClumpEnd" << rwx::AxisAlignment::None;
    QTest::newRow("a proto turns alone") << "ProtoBegin p\nAxisAlignment ZOrientY\n" + face + "ProtoEnd\nProtoInstance p"
                                         << rwx::AxisAlignment::None;
}

void TestScene::axisAlignment()
{
    QFETCH(QString, text);
    QFETCH(rwx::AxisAlignment, expected);
    QCOMPARE(rwx::buildScene(text).axisAlignment, expected);
}

// Lines that cannot be used are skipped; the rest still draws.
void TestScene::malformed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QVector3D>("max");
    const QString v3 = "Vertex 0 0 0\nVertex 1 0 0\nVertex 0 1 0\n";
    QTest::newRow("a vertex short of a number keeps the numbering")
        << "Vertex 0 0 0\nVertex 1 0 0\nVertex 1 2\nVertex 0 1 0\nTriangle 1 2 3\nTriangle 1 2 4" << 1
        << QVector3D(1, 1, 0);
    QTest::newRow("vertices beyond a float") << "Vertex 1e39 0 0\nVertex nan 0 0\nVertex inf 0 0\nVertex 0 0 0\n"
                                                "Triangle 1 4 4\nTriangle 2 4 4\nTriangle 3 4 4\nTriangle 4 4 4"
                                             << 1 << QVector3D(0, 0, 0);
    QTest::newRow("indices out of range or not numbers")
        << v3 + "Triangle 0 1 2\nTriangle -1 2 3\nTriangle 1 2 4\nTriangle 1 2 99999999999999999999\n"
                "Triangle 1 2 x\nTriangle 1 2 3.5\nTriangle 1 2 3.0" << 1 << QVector3D(1, 1, 0);
    QTest::newRow("faces short of corners") << v3 + "Quad 1 2 3\nPolygon 4 1 2 3\nPolygon 2 1 2\nPolygon x 1 2 3\n"
                                                    "Polygon\nTriangle 1 2 Tag 3\nPolygon 3 1 2 3 2 1"
                                            << 1 << QVector3D(1, 1, 0);
    QTest::newRow("transforms short of numbers") << "Translate 1 two 3\nScale 2 2\nRotate 0 0 0 90\nRotate 1 0 0\n"
                                                    "Transform 1 0 0 0\n" + v3 + "Triangle 1 2 3"
                                                 << 1 << QVector3D(1, 1, 0);
    QTest::newRow("a CTM that would overflow") << "Scale 1e30 1e30 1e30\nScale 1e30 1e30 1e30\n" + v3 +
                                                      "Triangle 1 2 3" << 1 << QVector3D(1e30f, 1e30f, 0);
    QTest::newRow("an overflowing instance") << "ProtoBegin big\nVertex 1e30 0 0\nVertex 0 1e30 0\nVertex 0 0 0\n"
                                                "Triangle 1 2 3\nProtoEnd\nScale 1e30 1 1\nProtoInstance big"
                                             << 0 << QVector3D();
    QTest::newRow("stray ends, words and bad primitives")
        << "ClumpEnd\nTransformEnd\nProtoEnd\nlorem ipsum\n42\nColor 1 0\nBlock 1 1\nSphere x 2\nCone 1 1\n" + v3 +
               "Triangle 1 2 3" << 1 << QVector3D(1, 1, 0);
    QTest::newRow("nothing") << "" << 0 << QVector3D();
}

void TestScene::malformed()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QVector3D, max);
    const Scene scene = rwx::buildScene(text);
    QCOMPARE(scene.triangleCount(), count);
    QVERIFY(near(scene.boundsMax(), max, max.length() * 1e-6f));
    if (count == 0)
        QCOMPARE(scene.boundsMin(), QVector3D());
    for (const Tri &t : triangles(scene)) {
        for (int k = 0; k < 3; ++k)
            QVERIFY(std::isfinite(t.p[k].x() + t.p[k].y() + t.p[k].z()));
    }
}

// Letter case, comments, "#!", number forms, a byte-order mark, and every
// kind of line break give the same triangles on the same lines.
void TestScene::lexical()
{
    const QString text = dataText("lexical.rwx");
    QVERIFY(!text.isEmpty());
    const QList<QVector3D> expected[] = {{{1, .5f, -.1f}, {.25f, .1f, 0}, {-1, 2.5f, 0}}, {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}};
    QString lf = text;
    lf.remove(u'\r');
    const QString variants[] = {lf, QString(lf).replace("\n", "\r\n"), QString(lf).replace("\n", "\r"), lf.toUpper(),
                                lf.toLower()};
    for (const QString &variant : variants) {
        const Scene scene = rwx::buildScene(variant);
        QCOMPARE(scene.triangleCount(), 2);
        const int lines[] = {7, 12};
        for (int i = 0; i < 2; ++i) {
            const QList<Tri> tris = triangles(scene, lines[i]);
            QCOMPARE(tris.size(), 1);
            for (int k = 0; k < 3; ++k)
                QVERIFY(near(tris[0].p[k], expected[i][k]));
            QCOMPARE(tris[0].mesh->material.color, QVector3D(1, 0, 0)); // from "#! Color 1 0 0"
        }
    }
}

void TestScene::samples()
{
    ORVANE_REQUIRE_SAMPLES();
    const QDir dir(orvane_test::samplesFolder());
    const QStringList files = dir.entryList({QStringLiteral("*.rwx")}, QDir::Files, QDir::Name);
    // Counted by hand from the scripts' faces and instances.
    const QHash<QString, int> known = {{"pan4test.rwx", 4}, {"rwxviewer_test.rwx", 4}, {"skyw3.rwx", 10},
                                       {"three-rwx-loader_cube.rwx", 12}};
    static const QRegularExpression drawing(
        "^\\s*(triangle|quad|polygon|block|cone|cylinder|disc|sphere|hemisphere|protoinstance)",
        QRegularExpression::CaseInsensitiveOption);
    for (const QString &file : files) {
        QFile f(dir.filePath(file));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        const QStringList lines = text.split(u'\n');
        const Scene scene = rwx::buildScene(text);
        QVERIFY2(scene.triangleCount() > 0, qPrintable(file));
        if (known.contains(file))
            QCOMPARE(scene.triangleCount(), known[file]);
        if (file == "skyw3.rwx") { // a cube of side 2 raised by its Transform, turned and scaled by .1
            QVERIFY(near(scene.boundsMin(), {-.1f, 0, -.1f}));
            QVERIFY(near(scene.boundsMax(), {.1f, .2f, .1f}));
        }
        for (const Mesh &m : scene.meshes) {
            QCOMPARE(m.indices.size(), 3 * m.lines.size());
            QCOMPARE(m.normals.size(), m.positions.size());
            QCOMPARE(m.uvs.size(), m.positions.size());
            for (const quint32 i : m.indices)
                QVERIFY(i < quint32(m.positions.size()));
            for (qsizetype i = 0; i < m.positions.size(); ++i) {
                const QVector3D &p = m.positions[i];
                QVERIFY(std::isfinite(p.x() + p.y() + p.z() + m.uvs[i].x() + m.uvs[i].y()));
                QVERIFY(qAbs(m.normals[i].length() - 1) < 1e-4f);
            }
            for (const int line : m.lines)
                QVERIFY2(line >= 1 && line <= lines.size() && drawing.match(lines[line - 1]).hasMatch(),
                         qPrintable(QStringLiteral("%1:%2").arg(file).arg(line)));
        }
    }
}

ORVANE_CORE_TEST_MAIN(TestScene)
#include "tst_scene.moc"

// The preview's pure parts: the camera, picking and outlines, how materials
// are lit, the scene made ready to draw with its textures and notes.
#include <QTemporaryDir>

#include "preview/camera.h"
#include "preview/facing.h"
#include "preview/groundgrid.h"
#include "preview/picturefile.h"
#include "preview/viewnotes.h"
#include "scene/textures.h"
#include "preview/picking.h"
#include "preview/preparedscene.h"
#include "support/archive.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/testmain.h"

using namespace preview;
using namespace orvane_test;

namespace {
constexpr float kAspect = 640.0f / 480.0f;
const QSize kViewport(640, 480);

QPointF project(const Camera &camera, QVector3D point, float aspect = kAspect)
{
    const QVector4D clip = camera.projection(aspect) * camera.view() * QVector4D(point, 1.0f);
    return {clip.x() / clip.w(), clip.y() / clip.w()};
}

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) < 1e-3 && std::abs(a.y() - b.y()) < 1e-3;
}

Camera fittedToUnitCube()
{
    Camera camera;
    camera.fit(QVector3D(-1, -1, -1), QVector3D(1, 1, 1), kAspect);
    return camera;
}

// One-sided squares facing +z at z = 0 (line 7) and z = -2 (line 12); a
// two-sided block at x = 5 (line 17); a wireframe square at x = -5 (line 25).
const QString kPickScene = QStringList{
    "ModelBegin", "ClumpBegin",
    "Vertex -1 -1 0", "Vertex 1 -1 0", "Vertex 1 1 0", "Vertex -1 1 0", "Quad 1 2 3 4",
    "Vertex -1 -1 -2", "Vertex 1 -1 -2", "Vertex 1 1 -2", "Vertex -1 1 -2", "Quad 5 6 7 8",
    "ClumpEnd", "ClumpBegin", "MaterialMode double", "Translate 5 0 0", "Block 1 1 1", "ClumpEnd",
    "ClumpBegin", "GeometrySampling wireframe",
    "Vertex -6 -1 0", "Vertex -4 -1 0", "Vertex -4 1 0", "Vertex -6 1 0", "Quad 1 2 3 4",
    "ClumpEnd", "ModelEnd"}.join(QStringLiteral("\r\n"));

} // namespace

class PreviewLogicTest : public QObject {
    Q_OBJECT
private slots:
    void fitFramesTheBox();
    void zoomKeepsThePointUnderThePointer();
    void orbitPanAndRays();
    void picksTheNearestDrawnTriangle_data();
    void picksTheNearestDrawnTriangle();
    void outlinesTheTrianglesOfALine();
    void shading();
    void preparesTexturesAndNotes();
    void facersTurnTowardsTheEye();
    void realScaleAndHints();
    void homeGoesBackToTheFirstAngles();
    void animatedStripsKeepTheirFrames();
    void writesThePictureThroughATemporaryFile();
};

void PreviewLogicTest::facersTurnTowardsTheEye()
{
    const QVector3D eye(10, 5, 0);
    // zorienty: +z turns round to +x, upright.
    const QMatrix4x4 aboutY = facingTurn(rwx::AxisAlignment::ZOrientY, eye, -eye);
    QVERIFY(qFuzzyCompare(aboutY.mapVector({0, 0, 1}), QVector3D(1, 0, 0)));
    QVERIFY(qFuzzyCompare(aboutY.mapVector({0, 1, 0}), QVector3D(0, 1, 0)));
    // xyz: +z points straight at the eye.
    const QVector3D full = facingTurn(rwx::AxisAlignment::Xyz, eye, -eye).mapVector({0, 0, 1});
    QVERIFY(qFuzzyCompare(full, eye.normalized()));
    QCOMPARE(facingTurn(rwx::AxisAlignment::None, eye, -eye), QMatrix4x4());
}

void PreviewLogicTest::realScaleAndHints()
{
    // 1 m cells (0.1 units) with a stronger line every 10 m through the origin.
    const GroundGrid small = groundGrid(QVector3D(0.3f, 0, 0.2f), 1.0f);
    QCOMPARE(small.cellMetres, 1.0f);
    QVERIFY(small.strongLines.contains(QVector3D(0, 0, small.strongLines[0].z())));
    QVERIFY(std::abs(small.lines[0].x() * 10.0f - std::round(small.lines[0].x() * 10.0f)) < 1e-3f);
    QCOMPARE(groundGrid({}, 50.0f).cellMetres, 100.0f); // at most MostCells across
    QCOMPARE(sizeInMetres({0, 0, 0}, {0.2f, 0.31f, 0.08f}), QString::fromUtf8("2.0 \u00d7 3.1 \u00d7 0.8 m"));
    QCOMPARE(sizeInMetres({0, 0, 0}, {0.02f, 0.05f, 0.001f}), QString::fromUtf8("0.20 \u00d7 0.50 \u00d7 0.01 m"));
    QCOMPARE(emptyViewHint(EmptyView::FacesAway, 12),
             QStringLiteral("all 12 faces point away: orbit, or MaterialMode double shows both sides"));
    QVERIFY(emptyViewHint(EmptyView::No, 12).isEmpty());
}

void PreviewLogicTest::homeGoesBackToTheFirstAngles()
{
    Camera camera = fittedToUnitCube();
    const Camera first = camera;
    camera.orbit(120.0f, -40.0f);
    camera.resetAngles();
    camera.fit(QVector3D(-1, -1, -1), QVector3D(1, 1, 1), kAspect);
    QCOMPARE(camera.yaw, first.yaw);
    QCOMPARE(camera.pitch, first.pitch);
    QCOMPARE(camera.eye(), first.eye());
}

void PreviewLogicTest::animatedStripsKeepTheirFrames()
{
    QCOMPARE(rwx::stripFrames({16, 64}), 4);
    QCOMPARE(rwx::stripFrames({16, 40}), 1);
    QCOMPARE(rwx::stripFrames({16, 16}), 1);
    QCOMPARE(rwx::stripFrames({2, 2 * 256}), 256);
    QCOMPARE(rwx::stripFrames({2, 2 * 257}), 1);
    // A still texture under a two-frame mask: two frames, the second cut away.
    QImage texture(4, 4, QImage::Format_RGB32);
    texture.fill(Qt::red);
    QImage mask(4, 8, QImage::Format_Grayscale8);
    mask.fill(255);
    for (int y = 4; y < 8; ++y)
        std::fill_n(mask.scanLine(y), 4, uchar(0));
    const QImage masked = rwx::maskedTexture(texture, mask);
    QCOMPARE(masked.size(), QSize(4, 8));
    QCOMPARE(qAlpha(masked.pixel(1, 1)), 255);
    QCOMPARE(qAlpha(masked.pixel(1, 6)), 0);
    QCOMPARE(qRed(masked.pixel(1, 6)), 255);
}

void PreviewLogicTest::writesThePictureThroughATemporaryFile()
{
    QTemporaryDir dir;
    QCOMPARE(pictureNameFor(dir.filePath(QStringLiteral("house13.rwx")), {}), dir.filePath(QStringLiteral("house13.png")));
    const QString path = writeFile(dir.filePath(QStringLiteral("house13.png")), "old");
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QString error;
    QVERIFY(writePicture(image, path, &error));
    QCOMPARE(QImage(path, "PNG").pixelColor(3, 3), QColor(Qt::blue));
    QCOMPARE(modeOf(path), 0640);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    QVERIFY(!writePicture(image, dir.filePath(QStringLiteral("none/x.png")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("none"))));
}

void PreviewLogicTest::fitFramesTheBox()
{
    const struct {
        QVector3D low, high;
        float aspect, pitch;
    } boxes[] = {{{-1, -1, -1}, {1, 1, 1}, kAspect, 25},
                 {{-10, 0, -1}, {10, .1f, 1}, 0.5f, -60},   // wide, in a narrow view, from below
                 {{100, 20, -300}, {102, 21, -299}, 1, 89}, // far off, from above
                 {{}, {}, kAspect, 25}};                     // empty
    for (const auto &[low, high, aspect, pitch] : boxes) {
        Camera camera;
        camera.pitch = pitch;
        camera.fit(low, high, aspect);
        float largest = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const QVector3D p(corner & 1 ? high.x() : low.x(), corner & 2 ? high.y() : low.y(),
                              corner & 4 ? high.z() : low.z());
            const float depth = QVector3D::dotProduct(p - camera.eye(), camera.forward());
            QVERIFY(depth > camera.nearPlane() && depth < camera.farPlane());
            const QPointF ndc = project(camera, p, aspect);
            QVERIFY2(std::abs(ndc.x()) < 1 && std::abs(ndc.y()) < 1, "a corner is outside the view");
            largest = std::max({largest, float(std::abs(ndc.x())), float(std::abs(ndc.y()))});
        }
        QVERIFY2(low == high || largest > 0.3f, "the box is a speck in the view");
        QVERIFY(near(project(camera, (low + high) / 2, aspect), {0, 0}));
        QCOMPARE(camera.pitch, pitch);
    }
}

void PreviewLogicTest::zoomKeepsThePointUnderThePointer()
{
    const struct {
        QPointF ndc;
        float factor;
        bool limited;
    } zooms[] = {{{0.7, -0.4}, 0.5f, false}, {{-0.9, 0.9}, 2.0f, false}, {{0.3, 0.3}, 1e-9f, true}};
    for (const auto &[ndc, factor, limited] : zooms) {
        Camera camera = fittedToUnitCube();
        camera.orbit(20, 10);
        const float before = camera.distance;
        // The point under the pointer at the target's depth.
        const Ray ray = camera.rayThrough(ndc, kAspect);
        const QVector3D under = ray.origin + ray.direction * (before / QVector3D::dotProduct(ray.direction, camera.forward()));
        camera.zoomToward(ndc, factor, kAspect);
        QVERIFY(near(project(camera, under), ndc));
        QVERIFY(limited ? camera.distance > before * factor : qFuzzyCompare(camera.distance, before * factor));
        camera.zoomToward(ndc, std::numeric_limits<float>::quiet_NaN(), kAspect);
        camera.zoomToward(ndc, 0.0f, kAspect);
        QVERIFY(std::isfinite(camera.distance) && camera.distance > 0);
    }
}

void PreviewLogicTest::orbitPanAndRays()
{
    Camera camera = fittedToUnitCube();
    const float distance = camera.distance;
    camera.orbit(400, 200);
    QCOMPARE(camera.pitch, Camera::MaxPitch);
    camera.orbit(-30, -500);
    QCOMPARE(camera.pitch, -Camera::MaxPitch);
    QVERIFY(qFuzzyCompare((camera.eye() - camera.target).length(), distance));

    // A pan moves the old target on screen by the pixels dragged.
    camera = fittedToUnitCube();
    const QVector3D oldTarget = camera.target;
    camera.pan(QPointF(100, 50), kViewport);
    QVERIFY(near(project(camera, oldTarget), {200.0 / 640, -100.0 / 480}));
    QCOMPARE(camera.distance, distance);

    // The ray through a point's pixel passes through the point.
    camera.orbit(-70, 30);
    for (const QVector3D point : {QVector3D(0, 0, 0), QVector3D(1, -1, 1), QVector3D(-.8f, .9f, .3f)}) {
        const QPointF ndc = project(camera, point);
        const QPointF pixel((ndc.x() + 1) / 2 * 640 - 0.5, (1 - ndc.y()) / 2 * 480 - 0.5);
        const Ray ray = camera.rayThrough(toNdc(pixel, kViewport), kAspect);
        const QVector3D toPoint = point - ray.origin;
        const float along = QVector3D::dotProduct(toPoint, ray.direction);
        QVERIFY(along > 0 && (toPoint - ray.direction * along).length() < 1e-4f);
    }
}

void PreviewLogicTest::picksTheNearestDrawnTriangle_data()
{
    QTest::addColumn<QVector3D>("origin");
    QTest::addColumn<QVector3D>("direction");
    QTest::addColumn<int>("line"); // 0: nothing is hit
    QTest::newRow("front square hides the back one") << QVector3D(0.2f, 0.3f, 5) << QVector3D(0, 0, -1) << 7;
    QTest::newRow("between them") << QVector3D(0, 0, -1) << QVector3D(0, 0, -1) << 12;
    QTest::newRow("one-sided squares from behind") << QVector3D(0, 0, -5) << QVector3D(0, 0, 1) << 0;
    QTest::newRow("two-sided block from inside") << QVector3D(5, 0, 0) << QVector3D(0, 1, 0) << 17;
    QTest::newRow("wireframe from behind") << QVector3D(-5, 0, -5) << QVector3D(0, 0, 1) << 25;
    QTest::newRow("beside everything") << QVector3D(3, 0, 5) << QVector3D(0, 0, -1) << 0;
    QTest::newRow("along the squares' plane") << QVector3D(-3, 0, 0) << QVector3D(1, 0, 0) << 17;
}

void PreviewLogicTest::picksTheNearestDrawnTriangle()
{
    QFETCH(QVector3D, origin);
    QFETCH(QVector3D, direction);
    QFETCH(int, line);
    const rwx::Scene scene = rwx::buildScene(kPickScene);
    const std::optional<Pick> pick = pickTriangle(scene, {origin, direction.normalized()});
    QCOMPARE(pick ? pick->line : 0, line);
    if (pick)
        QCOMPARE(scene.meshes[pick->mesh].lines[pick->triangle], line);
}

void PreviewLogicTest::outlinesTheTrianglesOfALine()
{
    const rwx::Scene scene = rwx::buildScene(kPickScene);
    const QList<QVector3D> block = outlineOfLine(scene, 17);
    QCOMPARE(block.size(), 12 * 6);
    for (const QVector3D &p : block)
        QVERIFY(p.x() >= 4.5f && p.x() <= 5.5f && std::abs(p.y()) <= 0.5f && std::abs(p.z()) <= 0.5f);
    const QList<QVector3D> square = outlineOfLine(scene, 12);
    QCOMPARE(square.size(), 2 * 6);
    QVERIFY(std::all_of(square.begin(), square.end(), [](const QVector3D &p) { return p.z() == -2.0f; }));
    QVERIFY(outlineOfLine(scene, 3).isEmpty()); // a Vertex line
    QVERIFY(outlineOfLine(scene, 0).isEmpty());
}

void PreviewLogicTest::shading()
{
    const QVector3D defaultSurface(Shading::DefaultAmbient, Shading::DefaultDiffuse, 0);
    const struct {
        const char *statements;
        TextureShown texture;
        QVector3D color, surface;
        float opacity;
    } materials[] = {
        {"", TextureShown::No, Shading::DefaultColor, defaultSurface, 1},
        {"Color 1 0 0", TextureShown::No, {1, 0, 0}, defaultSurface, 1},
        {"Surface .3 .4 .2", TextureShown::No, {}, {.3f, .4f, .2f}, 1}, // black on purpose
        {"Ambient .6\nTexture gone", TextureShown::No, Shading::DefaultColor, {.6f, 0, 0}, 1},
        {"Ambient .6\nTexture here", TextureShown::Yes, {}, {.6f, 0, 0}, 1},
        {"Color 0 1 0\nOpacity .4\nSpecular .5", TextureShown::No, {0, 1, 0}, {0, 0, .5f}, .4f},
    };
    for (const auto &[statements, texture, color, surface, opacity] : materials) {
        const rwx::Scene scene = rwx::buildScene(QLatin1String(statements) + QStringLiteral("\nBlock 1 1 1\n"));
        QCOMPARE(scene.meshes.size(), 1);
        const Shading s = shadingOf(scene.meshes[0].material, texture);
        QCOMPARE(s.color, color);
        QCOMPARE(QVector3D(s.ambient, s.diffuse, s.specular), surface);
        QCOMPARE(s.opacity, opacity);
    }
}

void PreviewLogicTest::preparesTexturesAndNotes()
{
    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("textures"));
    QVERIFY(filled({8, 8}, Qt::green).save(base.filePath(QStringLiteral("textures/Wood.png")), "PNG"));
    makeArchive(base.filePath(QStringLiteral("textures/m.zip")), {{"m.bmp", imageBytes(halfMask(), "BMP")}});
    const QString text = QStringList{
        "ClumpBegin", "Texture wood Mask m", "Block 1 1 1", "ClumpEnd",           // 0: masked
        "ClumpBegin", "Texture WOOD", "Block 1 1 1", "ClumpEnd",                  // 1: the image alone
        "ClumpBegin", "Texture nothere", "Block 1 1 1", "ClumpEnd",               // 2
        "ClumpBegin", "Color 1 0 0", "Texture NotHere", "Block 1 1 1", "ClumpEnd", // 3: noted once
        "ClumpBegin", "Texture wood Mask gone", "GeometrySampling wireframe", "Block 1 1 1", "ClumpEnd",
    }.join(u'\n');
    const PreparedScene prepared = prepareScene(text, base.filePath(QStringLiteral("rwx")));
    QCOMPARE(prepared.meshes.size(), 5);
    QCOMPARE(prepared.scene.meshes.size(), 5);
    QCOMPARE(prepared.notes, QStringList({"texture nothere not found", "mask gone not found"}));
    QCOMPARE(prepared.textures.size(), 2); // wood with m; wood alone, also for the missing mask
    const PreparedMesh &masked = prepared.meshes[0];
    QVERIFY(masked.masked);
    QCOMPARE(prepared.textures[masked.texture].pixelColor(0, 0).alpha(), 0);
    QCOMPARE(prepared.textures[masked.texture].pixelColor(7, 7), QColor(0, 255, 0));
    QVERIFY(!prepared.meshes[1].masked && prepared.meshes[1].texture >= 0);
    QCOMPARE(prepared.textures[prepared.meshes[1].texture].pixelColor(0, 0), QColor(0, 255, 0));
    QCOMPARE(prepared.meshes[2].texture, -1);
    QCOMPARE(prepared.meshes[2].shading.color, Shading::DefaultColor);
    QCOMPARE(prepared.meshes[3].shading.color, QVector3D(1, 0, 0));
    QVERIFY(prepared.meshes[4].texture >= 0 && !prepared.meshes[4].masked);
    QCOMPARE(prepared.meshes[4].edges.size(), 12 * 6);
    QVERIFY(prepared.meshes[0].edges.isEmpty());
    QCOMPARE(prepareScene(text, QString()).textures.size(), 0); // no folder: nothing found
}

ORVANE_CORE_TEST_MAIN(PreviewLogicTest)
#include "tst_previewlogic.moc"

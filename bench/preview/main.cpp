// The 3D preview's speed. For the sample scripts (when their folder is
// there), a generated 200 KB script and a generated model of about 100 000
// triangles: the time to rebuild the scene on the worker (build plus
// textures) as a multiple of a plain copy of the text, the time the window's
// thread spends taking the snapshot and uploading the result, and frames per
// second while orbiting the largest sample, the large model and 1 000
// see-through faces (sorted anew as the eye moves) around an animated
// texture; and the rebuild of one large picture named under forty masks.
// Needs OpenGL: run it under xvfb-run with QT_QPA_PLATFORM=xcb.
#include "bench/support/timing.h"
#include "preview/memoryreuse.h"
#include "preview/previewview.h"
#include "support/scriptgen.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A rolling landscape of quads under smooth light: side * side quads.
QString generateLandscape(int side)
{
    QString s;
    s += QStringLiteral("ModelBegin\r\nClumpBegin\r\nColor .4 .6 .3\r\nSurface .5 .6 .1\r\nLightSampling vertex\r\n");
    for (int z = 0; z <= side; ++z)
        for (int x = 0; x <= side; ++x)
            s += QStringLiteral("Vertex %1 %2 %3\r\n")
                     .arg(x * 0.01, 0, 'f', 3)
                     .arg(0.05 * std::sin(x * 0.07) * std::cos(z * 0.05), 0, 'f', 4)
                     .arg(z * 0.01, 0, 'f', 3);
    for (int z = 0; z < side; ++z)
        for (int x = 0; x < side; ++x) {
            const int a = z * (side + 1) + x + 1;
            s += QStringLiteral("Quad %1 %2 %3 %4\r\n").arg(a).arg(a + side + 1).arg(a + side + 2).arg(a + 1);
        }
    s += QStringLiteral("ClumpEnd\r\nModelEnd\r\n");
    return s;
}

// 1 000 half see-through quads in ten overlapping layers around a block
// with an animated texture of eight frames (written to `folder`).
QString generateGlass(const QString &folder)
{
    QImage strip(64, 8 * 64, QImage::Format_RGB32);
    for (int f = 0; f < 8; ++f)
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                strip.setPixel(x, f * 64 + y, qRgb(32 * f, 255 - 32 * f, (x ^ y) * 4));
    strip.save(QDir(folder).filePath(QStringLiteral("strip.png")));
    QString s = QStringLiteral("ModelBegin\r\nClumpBegin\r\nClumpBegin\r\nTexture strip\r\nBlock .5 .5 .5\r\nClumpEnd\r\n"
                               "Opacity .4\r\n");
    int vertex = 0;
    for (int layer = 0; layer < 10; ++layer)
        for (int i = 0; i < 100; ++i) {
            const double x = (i % 10) * 0.1 - 0.5, y = (i / 10) * 0.1 - 0.5, z = layer * 0.1 - 0.45;
            s += QStringLiteral("Color %1 .5 %2\r\n").arg(layer * 0.1, 0, 'f', 1).arg(1.0 - layer * 0.1, 0, 'f', 1);
            for (const auto &[dx, dy] : {std::pair{0.0, 0.0}, {0.15, 0.0}, {0.15, 0.15}, {0.0, 0.15}})
                s += QStringLiteral("Vertex %1 %2 %3\r\n").arg(x + dx, 0, 'f', 3).arg(y + dy, 0, 'f', 3).arg(z, 0, 'f', 3);
            s += QStringLiteral("Quad %1 %2 %3 %4\r\n").arg(vertex + 1).arg(vertex + 2).arg(vertex + 3).arg(vertex + 4);
            vertex += 4;
        }
    s += QStringLiteral("ClumpEnd\r\nModelEnd\r\n");
    return s;
}

struct Case {
    QString name;
    QString text;
    QString folder;
};

QList<Case> samples()
{
    QList<Case> cases;
    const QDir dir(QStringLiteral(ORVANE_SAMPLES_DIR));
    for (const QFileInfo &info : dir.entryInfoList({QStringLiteral("*.rwx")}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            cases.append({info.fileName(), QString::fromLatin1(file.readAll()), info.absolutePath()});
    }
    return cases;
}

// Shows the frames drawn while the camera turns two degrees a frame.
double framesPerSecond(preview::PreviewView &view, double seconds)
{
    int frames = 0;
    QElapsedTimer timer;
    QEventLoop loop;
    const auto connection = QObject::connect(&view, &preview::PreviewView::frameSwapped, &view, [&] {
        ++frames;
        view.camera().orbit(2.0f, 0.0f);
        if (timer.elapsed() >= qint64(seconds * 1000))
            loop.quit();
        else
            view.requestFrame();
    });
    timer.start();
    view.requestFrame();
    loop.exec();
    QObject::disconnect(connection);
    return frames / (double(timer.nsecsElapsed()) / 1e9);
}

struct Timing {
    qsizetype triangles;
    double buildMs;
};

Timing measure(preview::PreviewView &view, const Case &c, int runs)
{
    const double copyMs = best(runs * 3, [&] {
        QString copy(c.text.constData(), c.text.size());
        g_sink = g_sink + copy.size() + copy.at(copy.size() / 2).unicode();
    });
    std::shared_ptr<const preview::PreparedScene> prepared;
    const double buildMs = best(runs, [&] {
        prepared = std::make_shared<const preview::PreparedScene>(preview::prepareScene(c.text, c.folder));
    });
    // The window's thread: the snapshot of the text, then the upload.
    const QByteArray utf8 = c.text.toUtf8();
    const double snapshotMs = best(runs, [&] {
        QByteArray copy(utf8.constData(), utf8.size());
        g_sink = g_sink + copy.size();
    });
    const double uploadMs = best(runs, [&] { view.setScene(prepared, preview::PreviewView::Fit::Fit); });
    const qsizetype triangles = prepared->scene.triangleCount();
    std::printf("%-28s %7.1f KB %8lld tri  rebuild %7.2f ms (%6.1f x copy)  window thread %6.2f ms"
                "  total %7.2f ms\n",
                qPrintable(c.name), double(utf8.size()) / 1024.0, static_cast<long long>(triangles), buildMs,
                buildMs / std::max(copyMs, 1e-6), snapshotMs + uploadMs, buildMs + snapshotMs + uploadMs);
    return {triangles, buildMs + snapshotMs + uploadMs};
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    preview::keepFreedMemoryForReuse(); // as the program does
    QApplication app(argc, argv);
    if (!preview::openGLAvailable()) {
        std::printf("bench_preview: no OpenGL on the %s platform; run it under xvfb-run with QT_QPA_PLATFORM=xcb\n",
                    qPrintable(QGuiApplication::platformName()));
        return 0;
    }
    preview::PreviewView view;
    view.resize(640, 480);
    view.show();
    // The first frame makes the context.
    QEventLoop first;
    QObject::connect(&view, &preview::PreviewView::frameSwapped, &first, &QEventLoop::quit);
    first.exec();
    std::printf("renderer: %s, %s platform, view %dx%d\n\n", qPrintable(view.rendererName()),
                qPrintable(QGuiApplication::platformName()), view.width(), view.height());

    QList<Case> cases = samples();
    if (cases.isEmpty())
        std::printf("(sample folder %s is missing: samples skipped)\n", ORVANE_SAMPLES_DIR);
    const int sampleCount = int(cases.size());
    cases.append({QStringLiteral("generated 200 KB"), orvane_test::generateScript({}), QString()});
    cases.append({QStringLiteral("generated 224x224 quads"), generateLandscape(224), QString()});

    Timing largestSample{0, 0};
    int largestIndex = -1;
    Timing generated200{0, 0};
    for (int i = 0; i < cases.size(); ++i) {
        const Timing timing = measure(view, cases[i], i == cases.size() - 1 ? 5 : 15);
        if (i < sampleCount && timing.triangles > largestSample.triangles) {
            largestSample = timing;
            largestIndex = i;
        }
        if (i == sampleCount)
            generated200 = timing;
    }
    std::printf("\n200 KB script, rebuild + upload: %.2f ms (goal: at most 50 ms)\n", generated200.buildMs);

    // One large picture under forty mask names that are not there: one image.
    QTemporaryDir pictures;
    QImage big(3000, 2000, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    big.save(pictures.filePath(QStringLiteral("big.png")));
    QString textured;
    for (int i = 1; i <= 40; ++i)
        textured += QStringLiteral("ClumpBegin\r\nTexture big Mask m%1\r\nBlock 1 1 1\r\nClumpEnd\r\n").arg(i);
    preview::PreparedScene withTextures;
    const double texturedMs = best(3, [&] { withTextures = preview::prepareScene(textured, pictures.path()); });
    qint64 decoded = 0;
    for (const QImage &image : std::as_const(withTextures.textures))
        decoded += image.sizeInBytes();
    std::printf("one 3000x2000 picture under 40 mask names: rebuild %.0f ms, %lld images, %.1f MB decoded\n",
                texturedMs, static_cast<long long>(withTextures.textures.size()), double(decoded) / (1024 * 1024));

    std::printf("\nframes per second while orbiting (%s):\n", qPrintable(view.rendererName()));
    QList<int> orbitCases;
    if (largestIndex >= 0)
        orbitCases << largestIndex;
    orbitCases << int(cases.size() - 1);
    QTemporaryDir glassFolder;
    cases.append({QStringLiteral("1000 see-through + animated"), generateGlass(glassFolder.path()), glassFolder.path()});
    orbitCases << int(cases.size() - 1);
    for (const int i : orbitCases) {
        view.setScene(std::make_shared<const preview::PreparedScene>(preview::prepareScene(cases[i].text, cases[i].folder)),
                      preview::PreviewView::Fit::Fit);
        const double fps = framesPerSecond(view, 2.0);
        std::printf("  %-28s %6.1f fps%s\n", qPrintable(cases[i].name), fps,
                    i == largestIndex                 ? "  (goal for the largest sample: at least 30)"
                    : i == int(cases.size()) - 1      ? "  (goal: at least 30)"
                    : i == int(cases.size()) - 2      ? "  (goal: at least 60)"
                                                      : "");
    }
    return 0;
}

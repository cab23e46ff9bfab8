// The scene builder's speed. Prints the time to build a generated 5 MB
// script and a 200 KB one, their throughput, and each time as a multiple of
// a plain copy of the same text; then how the time per megabyte of the
// large script compares with the small one (1.0 is linear); then the time
// of each sample script of the samples folder, when it is there.
#include "bench/support/timing.h"
#include "scene/scene.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

// A textured, jointed model: protos of faces (some concave) and primitives,
// instanced in nested clumps under transforms.
QString generateScript(qsizetype targetBytes)
{
    QString s;
    s.reserve(targetBytes + 4096);
    s += QStringLiteral("# generated for timing\r\nModelBegin\r\n");
    QStringList protos;
    while (s.size() < targetBytes) {
        const int p = int(protos.size());
        const QString name = QStringLiteral("part_%1").arg(p);
        protos << name;
        s += QStringLiteral("ProtoBegin %1\r\n  Color .%2 .5 .5\r\n  Surface .6 .7 .1\r\n  LightSampling %3\r\n"
                            "  Texture sv-tex%4 Mask sv-mask\r\n  #! TextureAddressMode Clamp\r\n")
                 .arg(name).arg(p % 9).arg(p % 2 ? QStringLiteral("Vertex") : QStringLiteral("Facet")).arg(p % 7);
        for (int v = 1; v <= 120; ++v)
            s += QStringLiteral("  Vertex -.%1 .0%2 %3.25 UV 1.%1 .9%2 #! Prelight .5 .5 .5\r\n")
                     .arg(v * 37 % 1000).arg(v % 10).arg(v % 3);
        for (int f = 1; f + 3 <= 120; f += 2) {
            s += QStringLiteral("  Quad %1 %2 %3 %4 # face\r\n").arg(f).arg(f + 1).arg(f + 2).arg(f + 3);
            s += QStringLiteral("  Triangle %1 %2 %3 Tag %4\r\n").arg(f).arg(f + 2).arg(f + 1).arg(f);
        }
        s += QStringLiteral("  Polygon 6 1 2 3 4 5 6\r\n  Rotate 0 1 0 30\r\n  Cylinder .1 .05 .04 12\r\nProtoEnd\r\n");
    }
    s += QStringLiteral("ClumpBegin\r\n");
    for (const QString &p : std::as_const(protos))
        s += QStringLiteral("TransformBegin\r\n Translate 0 .1 0\r\n Rotate 1 0 0 15\r\n ClumpBegin\r\n  Tag 3\r\n"
                            "  ProtoInstance %1\r\n ClumpEnd\r\nTransformEnd\r\n").arg(p);
    s += QStringLiteral("ClumpEnd\r\nModelEnd\r\n");
    return s;
}

struct Result {
    double mb, copyMs, buildMs;
};

Result measureText(const char *label, const QString &text, int runs)
{
    const double mb = double(text.size()) / (1024.0 * 1024.0); // ASCII: one byte a character
    const rwx::Scene scene = rwx::buildScene(text);
    const double copyMs = best(runs * 3, [&] {
        QString copy(text.constData(), text.size());
        g_sink = g_sink + copy.size() + copy.at(copy.size() / 2).unicode();
    });
    const double buildMs = best(runs, [&] { g_sink = g_sink + rwx::buildScene(text).triangleCount(); });
    std::printf("%s script: %.2f MB, %lld lines, %lld triangles in %lld meshes\n", label, mb,
                static_cast<long long>(text.count(u'\n') + 1), static_cast<long long>(scene.triangleCount()),
                static_cast<long long>(scene.meshes.size()));
    std::printf("  plain copy: %8.3f ms\n", copyMs);
    std::printf("  build:      %8.3f ms  = %.1f MB/s  = %.1f x plain copy\n", buildMs, mb / (buildMs / 1000.0),
                buildMs / copyMs);
    return {mb, copyMs, buildMs};
}

Result measure(const char *label, qsizetype bytes, int runs)
{
    return measureText(label, generateScript(bytes), runs);
}

// The samples of more than 50 KB: the detailed models a modeller edits.
void measureSamples()
{
    const QDir dir(QStringLiteral(ORVANE_SAMPLES_DIR));
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("*.rwx")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        std::printf("\n(sample folder %s is missing: samples skipped)\n", ORVANE_SAMPLES_DIR);
        return;
    }
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (info.size() < 50 * 1024 || !file.open(QIODevice::ReadOnly))
            continue;
        std::printf("\n");
        measureText(qPrintable(info.fileName()), QString::fromLatin1(file.readAll()), 200);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Result big = measure("5 MB", 5 * 1024 * 1024, 7);
    const Result small = measure("200 KB", 200 * 1024, 30);
    std::printf("\n200 KB build: %.3f ms (target under 2 ms)\n", small.buildMs);
    std::printf("time per MB, 5 MB over 200 KB: %.2f (1.0 is linear)\n",
                (big.buildMs / big.mb) / (small.buildMs / small.mb));
    measureSamples();
    return 0;
}

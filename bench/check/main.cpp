// The structure checker's speed. Prints its throughput on a generated 5 MB
// script and its time as a multiple of a plain copy of the same text, then
// the time of a whole check of a 200 KB script, alone and as the editor runs
// it (read the text, check, draw the marks), against the pause before it.
#include "rwx/checker.h"
#include "rwx/livechecks.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// A jointed model: protos of textured faces, instanced in nested clumps.
QString generateScript(qsizetype targetBytes, bool faulty = false)
{
    QString s;
    s.reserve(targetBytes + 4096);
    s += QStringLiteral("# generated for timing\r\nModelBegin\r\n");
    int proto = 0;
    QStringList protos;
    while (s.size() < targetBytes) {
        const QString name = QStringLiteral("part_%1").arg(proto++);
        protos << name;
        s += QStringLiteral("ProtoBegin %1\r\n  Ambient .6\r\n  Diffuse .7\r\n  LightSampling Vertex\r\n"
                            "  Texture sv-tex%2 Mask sv-mask\r\n").arg(name).arg(proto % 7);
        for (int v = 1; v <= 120; ++v)
            s += QStringLiteral("  Vertex -.%1 .0%2 %3.25 UV 1.%1 .9%2 #! Prelight .5 .5 .5\r\n")
                     .arg(v * 37 % 1000).arg(v % 10).arg(v % 3);
        for (int f = 1; f + 3 <= 120; f += 2) {
            s += QStringLiteral("  Quad %1 %2 %3 %4 # face\r\n").arg(f).arg(f + 1).arg(f + 2).arg(f + 3);
            s += QStringLiteral("  Triangle %1 %2 %3 Tag %4\r\n").arg(f).arg(f + 2).arg(faulty ? 200 : f + 1).arg(f);
        }
        s += QStringLiteral("  Polygon 5 1 2 3 4 5\r\nProtoEnd\r\n");
    }
    s += QStringLiteral("ClumpBegin\r\n");
    for (const QString &p : std::as_const(protos))
        s += QStringLiteral("TransformBegin\r\n Translate 0 .1 0\r\n ClumpBegin\r\n  Tag 3\r\n"
                            "  ProtoInstance %1\r\n ClumpEnd\r\nTransformEnd\r\n").arg(p);
    s += QStringLiteral("ClumpEnd\r\nModelEnd\r\n");
    return s;
}

// The best of several runs, in milliseconds.
double best(int runs, const std::function<void()> &work)
{
    double bestMs = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        bestMs = std::min(bestMs, double(t.nsecsElapsed()) / 1e6);
    }
    return bestMs;
}

volatile qsizetype g_sink = 0;

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    const QString big = generateScript(5 * 1024 * 1024);
    const double mb = double(big.size()) / (1024.0 * 1024.0); // ASCII: one byte per character
    const qsizetype bigFindings = rwx::checkScript(big).size();
    const double copyMs = best(15, [&] {
        QString copy(big.constData(), big.size());
        g_sink = g_sink + copy.size() + copy.at(copy.size() / 2).unicode();
    });
    const double checkMs = best(7, [&] { g_sink = g_sink + rwx::checkScript(big).size(); });
    std::printf("generated script: %.2f MB, %lld lines, %lld findings\n", mb,
                static_cast<long long>(big.count(u'\n') + 1), static_cast<long long>(bigFindings));
    std::printf("plain copy:       %8.2f ms\n", copyMs);
    std::printf("check:            %8.2f ms  = %.1f MB/s  = %.1f x plain copy\n", checkMs,
                mb / (checkMs / 1000.0), checkMs / copyMs);

    const int pauseMs = rwx::LiveChecks::DefaultPauseMs;
    const QString small = generateScript(200 * 1024);
    const QString smallFaulty = generateScript(200 * 1024, true);
    // The worst case for drawing: every line of a pasted non-script marked.
    QString everyLine = QStringLiteral("ModelBegin\r\n");
    while (everyLine.size() < 200 * 1024)
        everyLine += QStringLiteral("lorem ipsum dolor sit amet\r\n");
    const double smallMs = best(20, [&] { g_sink = g_sink + rwx::checkScript(small).size(); });
    std::printf("\n200 KB script (%lld bytes), pause %d ms, target under %d ms:\n",
                static_cast<long long>(small.size()), pauseMs, pauseMs / 10);
    std::printf("check alone:                        %7.3f ms  = %.4f of the pause\n", smallMs,
                smallMs / pauseMs);

    // As the editor runs it: text read from the editor, checked, marks drawn.
    QsciScintilla editor;
    editor.setUtf8(true);
    rwx::LiveChecks *support = rwx::attachLiveChecks(&editor);
    for (const auto &[label, text] : {std::pair{"clean", &small}, std::pair{"one fault in 40 lines", &smallFaulty},
                                     std::pair{"every line marked", static_cast<const QString *>(&everyLine)}}) {
        editor.setText(*text);
        const double ms = best(10, [&] { support->checkNow(); });
        std::printf("editor check, %-22s %7.3f ms  = %.4f of the pause  (%lld marks)\n", label, ms,
                    ms / pauseMs, static_cast<long long>(support->marks().size()));
    }
    return 0;
}

// The structure checker's speed. Prints its throughput on a generated 5 MB
// script and its time as a multiple of a plain copy of the same text, then
// the time of a whole check of a 200 KB script, alone and as the editor runs
// it (read the text, check, draw the marks), against the pause before it;
// and the same check with the script in a folder, its textures looked up
// among a few thousand files, against the check without a folder.
#include "bench/support/timing.h"
#include "rwx/checker.h"
#include "editor/livechecks.h"
#include "support/scriptgen.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);

    const QString big = orvane_test::generateScript({.size = 5 * 1024 * 1024});
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
    const QString small = orvane_test::generateScript({.size = 200 * 1024});
    const QString smallFaulty = orvane_test::generateScript({.size = 200 * 1024, .faulty = true});
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
    for (const auto &[label, text] : {std::pair{"clean", &small}, std::pair{"faulty face indices", &smallFaulty},
                                     std::pair{"every line marked", static_cast<const QString *>(&everyLine)}}) {
        editor.setText(*text);
        const double ms = best(10, [&] { support->checkNow(); });
        std::printf("editor check, %-22s %7.3f ms  = %.4f of the pause  (%lld marks)\n", label, ms,
                    ms / pauseMs, static_cast<long long>(support->marks().size()));
    }

    // The textures looked up as a world's server would find them: the
    // script in rwx/, half its textures in ../textures/ (every fourth in
    // another letter case, masks loose or zipped) among 3000 other files.
    QTemporaryDir base;
    QDir(base.path()).mkpath(QStringLiteral("rwx"));
    QDir(base.path()).mkpath(QStringLiteral("textures"));
    auto touch = [&](const QString &name) {
        QFile file(base.filePath(QStringLiteral("textures/") + name));
        file.open(QIODevice::WriteOnly);
    };
    for (int i = 0; i < 3000; ++i)
        touch(QStringLiteral("other%1.jpg").arg(i));
    for (int p = 0; p < 400; p += 2) {
        touch((p % 4 ? QStringLiteral("wood%1.jpg") : QStringLiteral("Wood%1.JPG")).arg(p));
        touch((p % 3 ? QStringLiteral("mask%1.zip") : QStringLiteral("mask%1.bmp")).arg(p));
    }
    editor.setText(small);
    const double withoutMs = best(10, [&] { support->checkNow(); });
    support->setScriptFolder(base.filePath(QStringLiteral("rwx/")));
    const double withMs = best(10, [&] { support->checkNow(); });
    std::printf("editor check with texture look-ups  %7.3f ms  = %.2f x without  = %.4f of the pause  (%lld marks)\n",
                withMs, withMs / withoutMs, withMs / pauseMs, static_cast<long long>(support->marks().size()));
    return 0;
}

// Speed of the clean-up transformations on a 10 MB model-like script:
// throughput, speed-up over the literal repeated passes, and time as a
// multiple of a plain copy of the same text, the least any of them can cost.
#include "app/form1.h"
#include "editor/scripteditor.h"
#include "bench/support/benchapp.h"
#include "cleanup/cleanup.h"
#include "support/cleanupreference.h"
#include "support/scriptgen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr qsizetype ScriptSize = 10 * 1000 * 1000;
// The literal comment scan moves the rest of the text for every comment, so
// its time grows with the square of the size; it runs on a slice.
constexpr qsizetype CommentSliceSize = 1000 * 1000;
constexpr double TargetTimesCopy = 10.0;

// Best of a few runs, in seconds.
double bestOf(int runs, const std::function<qsizetype()> &work)
{
    static volatile qsizetype sink = 0;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        sink = sink + work();
        best = std::min(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}

double copySeconds(const QString &text)
{
    return bestOf(9, [&] {
        const QString copy(text.constData(), text.size());
        return copy.size();
    });
}

struct Row
{
    const char *name;
    QString (*linear)(const QString &);
    QString (*literal)(QString);
    qsizetype literalSize;
};

// Each menu command on the pane (read the text, transform, write back the
// difference as one undo step), against one setText of the same text.
bool paneCommands(QTextStream &out, const QString &script)
{
    constexpr double TargetTimesSetText = 3.0;
    Form1 window(std::make_unique<SilentDialogs>());
    ScriptEditor *pane = window.scriptEditor();
    const QByteArray bytes = script.toUtf8();
    double setText = 1e30;
    for (int i = 0; i < 5; ++i) {
        pane->loadDocument("", LineBreak::CrLf);
        QElapsedTimer t;
        t.start();
        pane->setText(script);
        setText = std::min(setText, t.nsecsElapsed() / 1e9);
    }
    out << QStringLiteral("  pane setText: %1 ms\n").arg(setText * 1e3, 0, 'f', 2);
    bool allMet = true;
    using templates::MenuCommand;
    const std::pair<const char *, MenuCommand> commands[] = {{"Delete Comments", MenuCommand::DeleteComments},
                                                             {"Delete Spacers", MenuCommand::DeleteSpacers},
                                                             {"Delete Empty Strings", MenuCommand::DeleteEmptyStrings}};
    for (const auto &[caption, command] : commands) {
        double best = 1e30;
        for (int i = 0; i < 5; ++i) {
            pane->loadDocument(bytes, LineBreak::CrLf);
            QElapsedTimer t;
            t.start();
            window.runMenuCommand(command);
            best = std::min(best, t.nsecsElapsed() / 1e9);
        }
        const double times = best / setText;
        const bool met = times <= TargetTimesSetText;
        allMet = allMet && met;
        out << QStringLiteral("  menu command %1: %2 ms, %3x one setText (target %4x: %5)\n")
                   .arg(QLatin1String(caption), -20)
                   .arg(best * 1e3, 0, 'f', 2)
                   .arg(times, 0, 'f', 2)
                   .arg(TargetTimesSetText, 0, 'f', 0)
                   .arg(QLatin1String(met ? "met" : "MISSED"));
    }
    return allMet;
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    QTextStream out(stdout);
    const QString script = orvane_test::generateScript({.size = ScriptSize, .untidy = true});
    const double mb = script.size() / 1e6;
    out << "Clean-up on a generated model script of " << script.size() << " characters ("
        << script.count(QLatin1Char('#')) << " '#', " << script.count(QLatin1String("\r\n")) << " lines)\n";

    const double copy = copySeconds(script);
    out << "(MB = million characters, the size of the script as an 8-bit file)\n";
    out << QStringLiteral("  plain copy: %1 ms, %2 MB/s\n").arg(copy * 1e3, 0, 'f', 2).arg(mb / copy, 0, 'f', 0);

    const Row rows[] = {
        {"DeleteComments", DeleteComments, reference::deleteComments, CommentSliceSize},
        {"DeleteSpacers", DeleteSpacers, reference::deleteSpacers, script.size()},
        {"DeleteEmptyStrings", DeleteEmptyStrings, reference::deleteEmptyStrings, script.size()},
    };
    bool allMet = true;
    bool allSame = true;
    for (const Row &row : rows) {
        const double linear = bestOf(9, [&] { return row.linear(script).size(); });

        // Speed-up measured on the same text for both versions.
        const QString slice = script.left(row.literalSize);
        const double linearOnSlice =
            slice.size() == script.size() ? linear : bestOf(9, [&] { return row.linear(slice).size(); });
        QString literalResult;
        const double literal = bestOf(1, [&] {
            literalResult = row.literal(slice);
            return literalResult.size();
        });
        const bool same = literalResult == row.linear(slice);

        const double timesCopy = linear / copy;
        const bool met = timesCopy <= TargetTimesCopy && same;
        allMet = allMet && met;
        allSame = allSame && same;
        out << QStringLiteral("  %1: %2 ms, %3 MB/s, %4x the copy (target %5x: %6); "
                              "%7x faster than the repeated passes")
                   .arg(QLatin1String(row.name), -18)
                   .arg(linear * 1e3, 0, 'f', 2)
                   .arg(mb / linear, 0, 'f', 0)
                   .arg(timesCopy, 0, 'f', 2)
                   .arg(TargetTimesCopy, 0, 'f', 0)
                   .arg(QLatin1String(met ? "met" : "MISSED"))
                   .arg(literal / linearOnSlice, 0, 'f', 1);
        if (slice.size() != script.size())
            out << QStringLiteral(" (on the first %1 characters)").arg(slice.size());
        out << (same ? "" : "  RESULTS DIFFER") << "\n";
    }
    out << "On the editing pane:\n";
    out.flush();
    allMet = paneCommands(out, script) && allMet;
    out << (allMet ? "All targets met.\n" : "Some targets missed.\n");
    out.flush();
    // A missed target is reported, not failed: timings vary with the load of
    // the machine. Results that differ from the repeated passes are an error.
    return allSame ? 0 : 1;
}

#pragma once
// The structure checker: reads an RWX script and lists what is wrong with
// it, in plain words, with the place to mark. It never changes the text and
// never refuses one: the findings are advice for the modeller.
#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <limits>

namespace rwx {

enum class Severity {
    Error,   // a structural fault: unbalanced blocks, bad face indices ...
    Warning, // a word the checker does not know (drawn dimmer)
    Info,    // no fault here, but something a world would not load (drawn apart from both)
};

struct Finding {
    int line = 0;   // 0-based; CR LF, LF and a lone CR each end a line
    int column = 0; // 0-based, in UTF-16 code units from the start of the line
    int length = 0; // in UTF-16 code units; at least 1
    Severity severity = Severity::Error;
    QString message;

    friend bool operator==(const Finding &, const Finding &) = default;
};

// All findings, ordered by line and column. Linear in the length of the text.
// A text without a single RWX statement (not a script at all) yields no
// findings.
QList<Finding> checkScript(QStringView text);

// How much of its work a check hands back.
struct CheckLimits {
    // Findings kept, with their messages: the first ones in order of line
    // and column. The others are only counted, so the memory a check takes
    // stays bounded by the text's size, however many faults it holds.
    qsizetype keep = std::numeric_limits<qsizetype>::max();
    // Asked now and then; a check told to stop returns at once, cancelled.
    std::function<bool()> stop;

    // The lines between two questions whether to stop.
    static constexpr int LinesPerStopQuestion = 4096;

    bool stopAsked() const { return stop && stop(); }
    // Asked at the start of line `line` (0-based): the question is put at
    // the start of every LinesPerStopQuestion lines.
    bool stopAtLine(int line) const { return line % LinesPerStopQuestion == 0 && stopAsked(); }
};

struct CheckResult {
    QList<Finding> findings; // the first `keep`, ordered by line and column
    qsizetype total = 0;     // all findings, those left out included
    bool cancelled = false;  // stopped before the end: no findings at all
};

CheckResult checkScript(QStringView text, const CheckLimits &limits);

// Whether `a` comes before `b` in the text: by line, then column.
bool findingBefore(const Finding &a, const Finding &b);

// Two checks of one text as one: their findings in order of line and column
// (a's first where both have one at the same place), the first `keep` of
// them. A cancelled check makes the whole cancelled.
CheckResult mergeResults(CheckResult a, CheckResult b, qsizetype keep);

} // namespace rwx

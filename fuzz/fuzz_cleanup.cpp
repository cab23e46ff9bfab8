// Fuzz target: the three clean-up transformations. Each agrees with its
// literal repeated-pass counterpart from the tests, changes nothing when run
// a second time, and only ever removes characters; run over a text with
// every kind of line break, as the pane runs it, it keeps every break the
// pane shows.
#include "check.h"

#include <QString>

#include <string>

// ---- The project code this target calls: the one place to rename. ----
#include "cleanup/cleanup.h"
#include "rwx/scripttext.h"
#include "tests/support/cleanupreference.h"

namespace {

struct Transformation {
    const char *name;
    QString (*linear)(const QString &);
    QString (*literal)(QString);
};

const Transformation transformations[] = {
    {"DeleteComments", DeleteComments, reference::deleteComments},
    {"DeleteSpacers", DeleteSpacers, reference::deleteSpacers},
    {"DeleteEmptyStrings", DeleteEmptyStrings, reference::deleteEmptyStrings},
};
// ---- end of project calls ----

// True when every character of part appears in whole, in the same order.
bool isSubsequence(const QString &part, const QString &whole)
{
    qsizetype at = 0;
    for (const QChar c : part) {
        while (at < whole.size() && whole[at] != c)
            ++at;
        if (at == whole.size())
            return false;
        ++at;
    }
    return true;
}

} // namespace

ORVANE_FUZZ_TARGET
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const Transformation &t : transformations) {
        const std::string name = t.name;
        const QString once = t.linear(text);
        FUZZ_CHECK(once == t.literal(text), (name + " agrees with the repeated passes").c_str());
        FUZZ_CHECK(t.linear(once) == once, (name + " changes nothing the second time").c_str());
        FUZZ_CHECK(isSubsequence(once, text), (name + " only removes characters").c_str());

        const QString asCrLf = t.linear(breaksToCrLf(text));
        const std::optional<QString> kept = restoreLineBreaks(text, asCrLf);
        FUZZ_CHECK(kept.has_value(), (name + " leaves a text the pane's breaks go back into").c_str());
        FUZZ_CHECK(breaksToCrLf(*kept) == asCrLf, (name + " keeps every line break the pane shows").c_str());
    }
    return 0;
}

// Fuzz target: the RWX structure checker. Every finding marks a place
// inside the text, in order, and the same lines give the same findings
// whether they are broken with CR LF, LF or CR.
#include "check.h"

#include <QList>
#include <QString>
#include <QStringList>

// ---- The project code this target calls: the one place to rename. ----
#include "rwx/checker.h"

namespace {

struct Mark {
    int line, column, length;
    bool warning;
    QString message;
    bool operator==(const Mark &) const = default;
};

QList<Mark> check(const QString &text)
{
    QList<Mark> marks;
    for (const rwx::Finding &f : rwx::checkScript(text))
        marks.append(Mark{f.line, f.column, f.length, f.severity == rwx::Severity::Warning, f.message});
    return marks;
}
// ---- end of project calls ----

// The lines of a text: CR LF, LF and a lone CR each end one.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r' && text[i] != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.mid(start));
    return lines;
}

} // namespace

ORVANE_FUZZ_TARGET
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = splitLines(text);
    const QList<Mark> marks = check(text);

    const Mark *previous = nullptr;
    for (const Mark &m : marks) {
        FUZZ_CHECK(m.line >= 0 && m.line < lines.size(), "a finding's line is in the text");
        const qsizetype lineLength = lines[m.line].size();
        FUZZ_CHECK(m.column >= 0 && m.length >= 1 && m.column + qsizetype(m.length) <= lineLength,
                   "a finding's columns are inside its line");
        FUZZ_CHECK(!m.message.isEmpty(), "a finding says what is wrong");
        FUZZ_CHECK(!previous || previous->line < m.line || (previous->line == m.line && previous->column <= m.column),
                   "findings are ordered by line and column");
        previous = &m;
    }

    for (const char16_t *lineBreak : {u"\r\n", u"\n", u"\r"}) {
        const QString same = lines.join(QStringView(lineBreak));
        FUZZ_CHECK(check(same) == marks, "findings do not depend on the kind of line break");
    }
    return 0;
}

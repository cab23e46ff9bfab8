#pragma once
// Large RWX scripts made on demand, for the tests and the benchmarks: a
// jointed model whose prototypes are instanced in nested clumps, with the
// statements, comments, "#!" lines and spacing that real scripts have.
// The same shape always gives the same text; all of it is ASCII, so a
// character is a byte.
#include <QString>

namespace orvane_test {

struct ScriptShape {
    qsizetype size = 200 * 1024; // at least this many characters
    QString lineBreak = QStringLiteral("\r\n");
    bool comments = true; // "# ..." after statements and on lines of their own; "#!" lines come always
    bool untidy = false;  // runs of blanks, trailing blanks, blank-only lines, runs of empty lines
    bool faulty = false;  // about one line in 40 names a vertex past its clump's count
    quint32 seed = 1;
};

// Without `faulty` the structure checker finds nothing in it.
QString generateScript(const ScriptShape &shape = {});

} // namespace orvane_test

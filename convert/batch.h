#pragma once
// orvane-convert's work: many inputs converted on several threads, each
// failure and warning reported in the order the inputs were given, a
// progress line on a terminal and a last summary line.
#include "convert/exportformat.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace convert {

struct BatchOptions {
    Format format = Format::Glb;
    QString outputFolder; // empty: each output beside its input
    int jobs = 1;         // inputs converted at a time
    bool quiet = false;   // failures only: no warnings, progress or summary
    bool progress = false; // a progress line on `errors`, rewritten in place
};

// Converts every input. A failure is one line "<input>: <reason>" on
// `errors`, a warning "<input>: warning: <what>"; the summary goes to
// `output`. Returns the exit code: 0 when every input was converted, else 1.
int runBatch(const QStringList &inputs, const BatchOptions &options, std::FILE *output, std::FILE *errors);

} // namespace convert

#pragma once
// The structure checker: reads an RWX script and lists what is wrong with
// it, in plain words, with the place to mark. It never changes the text and
// never refuses one: the findings are advice for the modeller.
#include <QList>
#include <QString>
#include <QStringView>

namespace rwx {

enum class Severity {
    Error,   // a structural fault: unbalanced blocks, bad face indices ...
    Warning, // a word the checker does not know (drawn dimmer)
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
// unknown-keyword warnings, only structural findings.
QList<Finding> checkScript(QStringView text);

} // namespace rwx

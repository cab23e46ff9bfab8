#pragma once
// The clean-up commands of the "Options" menu: a whole-text transformation
// (cleanup/cleanup.h) run over the editing pane.
#include <QString>

class ScriptEditor;

namespace cleanup {

using Transformation = QString (*)(const QString &text);

// Reads the pane's whole text, transforms it and writes the result back,
// touching only the part that changed, as one undo step. Whatever goes
// wrong, the text stays as it was.
void runOnWholeText(ScriptEditor &pane, Transformation transformation);

} // namespace cleanup

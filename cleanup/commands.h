#pragma once
// The clean-up commands of the "Options" menu: a whole-text transformation
// (cleanup/cleanup.h) run over the editing pane.
#include <QString>

class ScriptEditor;

namespace cleanup {

using Transformation = QString (*)(const QString &text);

// Reads the pane's whole text, transforms it and writes the result back,
// touching only the part that changed, as one undo step. Every line break
// the pane shows (CR LF, LF or a lone CR) is a CR LF to the transformation,
// and each one it keeps comes back in its own kind. False when anything went
// wrong: the text stays as it was, and *error says why.
bool runOnWholeText(ScriptEditor &pane, Transformation transformation, QString *error);

} // namespace cleanup

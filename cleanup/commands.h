#pragma once
// The clean-up commands of the "Options" menu: a whole-text transformation
// (cleanup/cleanup.h) run over the editing pane.
#include <QString>
#include <optional>

class ScriptEditor;

namespace cleanup {

using Transformation = QString (*)(const QString &text);

// Reads the pane's whole text, transforms it and writes the result back,
// touching only the part that changed, as one undo step. When anything goes
// wrong the text stays as it was, and the reason comes back.
//
// In a script typed with LF breaks a CR is an ordinary character, though the
// pane shows it as a line break. A transformation may leave such a CR right
// before a line break (a comment or blanks between them removed); written
// back, the two would make a CR LF pair. Such a CR becomes the LF it looks
// like, so an LF script stays LF.
std::optional<QString> runOnWholeText(ScriptEditor &pane, Transformation transformation);

} // namespace cleanup

#include "cleanup/commands.h"

#include "app/scripteditor.h"

namespace cleanup {

void runOnWholeText(ScriptEditor &pane, Transformation transformation)
{
    try {
        pane.replaceWholeText(transformation(pane.wholeText()));
    } catch (...) {
        // Ignored by design: the command has failed and the text is unchanged.
    }
}

} // namespace cleanup

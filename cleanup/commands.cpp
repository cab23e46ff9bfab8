#include "cleanup/commands.h"

#include "editor/scripteditor.h"

#include <exception>
#include <new>

namespace cleanup {

bool runOnWholeText(ScriptEditor &pane, Transformation transformation, QString *error)
{
    QString why;
    try {
        const QString before = pane.wholeText();
        pane.replaceWholeText(transformation(before));
        return true;
    } catch (const std::bad_alloc &) {
        why = QStringLiteral("there is not enough memory");
    } catch (const std::exception &exception) {
        why = QString::fromLocal8Bit(exception.what());
    } catch (...) {
        why = QStringLiteral("an unexpected error stopped it");
    }
    if (error)
        *error = why;
    return false;
}

} // namespace cleanup

#include "cleanup/commands.h"

#include "editor/scripteditor.h"

#include <exception>
#include <new>

namespace cleanup {

std::optional<QString> runOnWholeText(ScriptEditor &pane, Transformation transformation)
{
    try {
        const QString before = pane.wholeText();
        pane.replaceWholeText(transformation(before));
    } catch (const std::bad_alloc &) {
        return QStringLiteral("there is not enough memory");
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QStringLiteral("an unexpected error stopped it");
    }
    return std::nullopt;
}

} // namespace cleanup

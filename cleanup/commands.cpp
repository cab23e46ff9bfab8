#include "cleanup/commands.h"

#include "editor/scripteditor.h"

#include <exception>
#include <new>

namespace cleanup {

namespace {
// The text (line breaks as CR LF) with every run of lone CRs that ends right
// at a line break made into as many line breaks.
QString separateLoneCrs(const QString &text)
{
    if (!text.contains(u"\r\r\n"))
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 64);
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size;) {
        if (text[i] != u'\r') {
            out.append(text[i++]);
            continue;
        }
        qsizetype run = i;
        while (run < size && text[run] == u'\r')
            ++run;
        // text[i, run) are CRs; the last of them pairs with an LF after it.
        const bool endsAtBreak = run < size && text[run] == u'\n';
        for (qsizetype k = i; k < run; ++k)
            out.append(endsAtBreak && k + 1 < run ? QStringView(u"\r\n") : QStringView(u"\r"));
        i = run;
    }
    return out;
}
} // namespace

std::optional<QString> runOnWholeText(ScriptEditor &pane, Transformation transformation)
{
    try {
        const QString before = pane.wholeText();
        QString after = transformation(before);
        // A script that already holds a CR LF somewhere is left as it is.
        if (pane.lineBreak() == LineBreak::Lf && !before.contains(u"\r\r\n"))
            after = separateLoneCrs(after);
        pane.replaceWholeText(after);
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

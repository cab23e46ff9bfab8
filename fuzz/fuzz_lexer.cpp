// Fuzz target: the highlighting behind the editor's RWX lexer. Whatever the
// bytes, the styles cover every byte exactly once, line breaks are plain, and
// styling line by line (as the editor asks while typing) gives the same
// styles as styling the whole text.
#include "check.h"

#include <QByteArrayView>
#include <QList>

// ---- The project code this target calls: the one place to rename. ----
#include "rwx/styling.h"

namespace {

constexpr int styleCount = rwx::HighlightCount;
constexpr int defaultStyle = int(rwx::Highlight::Default);

class Collect final : public rwx::HighlightSink {
public:
    explicit Collect(QList<int> &styles) : m_styles(styles) {}
    void add(qsizetype length, rwx::Highlight style) override
    {
        FUZZ_CHECK(length > 0, "every run of styles holds bytes");
        m_styles.insert(m_styles.size(), length, int(style));
    }

private:
    QList<int> &m_styles;
};

// The style of each byte, in order.
QList<int> highlight(QByteArrayView bytes, bool atDocumentStart)
{
    QList<int> styles;
    Collect sink(styles);
    rwx::highlightLines(bytes, atDocumentStart, sink);
    return styles;
}
// ---- end of project calls ----

// Where each line starts, as the editor counts lines: CR LF, LF and a lone
// CR each end one.
QList<qsizetype> lineStarts(QByteArrayView bytes)
{
    QList<qsizetype> starts{0};
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        if (bytes[i] == '\r' || bytes[i] == '\n')
            starts.append(i + 1);
    }
    return starts;
}

} // namespace

ORVANE_FUZZ_TARGET
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<int> whole = highlight(bytes, true);
    FUZZ_CHECK(whole.size() == bytes.size(), "the styles cover every byte exactly once");
    for (qsizetype i = 0; i < whole.size(); ++i) {
        FUZZ_CHECK(whole[i] >= 0 && whole[i] < styleCount, "every style is one the editor knows");
        if (bytes[i] == '\r' || bytes[i] == '\n')
            FUZZ_CHECK(whole[i] == defaultStyle, "line breaks are plain");
    }
    if (bytes.startsWith("\xEF\xBB\xBF"))
        FUZZ_CHECK(whole.mid(0, 3) == QList<int>(3, defaultStyle), "a byte-order mark is plain");

    // Line by line: the same styles.
    const QList<qsizetype> starts = lineStarts(bytes);
    QList<int> pieces;
    for (qsizetype l = 0; l < starts.size(); ++l) {
        const qsizetype from = starts[l];
        const qsizetype to = l + 1 < starts.size() ? starts[l + 1] : bytes.size();
        const QList<int> part = highlight(bytes.sliced(from, to - from), from == 0);
        FUZZ_CHECK(part.size() == to - from, "the styles of a line cover it exactly once");
        pieces += part;
    }
    FUZZ_CHECK(pieces == whole, "styling line by line gives the styles of the whole");
    return 0;
}

#pragma once
// The highlighting of RWX scripts, apart from any editor: which style each
// byte of the editor's UTF-8 text gets. Every line is styled on its own, so
// styling a document piece by piece, at line starts, gives the same styles
// as styling it whole.
#include <QByteArrayView>

namespace rwx {

// The styles, numbered as the editor's lexer numbers them.
enum class Highlight : int {
    Default = 0,   // blanks, line breaks, unknown words, other arguments
    Comment = 1,   // "#" to the end of the line
    Keyword = 2,   // a statement keyword: Vertex, ClumpBegin ...
    Number = 3,
    Extension = 4, // the "#!" before an extension statement
    Name = 5,      // texture, mask, bump, proto and file names
    Modifier = 6,  // words inside a statement: UV, Tag, Mask, lit, null ...
};
inline constexpr int HighlightCount = 7;

// Receives the styles in order: runs of bytes, each of one style.
class HighlightSink {
public:
    virtual void add(qsizetype length, Highlight style) = 0;

protected:
    ~HighlightSink() = default;
};

// Styles bytes that start at a line start and end at a line end or at the
// end of the document. CR LF, LF and a lone CR each end a line; a line
// break is Default. atDocumentStart: the bytes open the document, where a
// byte-order mark is not part of the script. The runs handed to sink cover
// every byte exactly once.
void highlightLines(QByteArrayView bytes, bool atDocumentStart, HighlightSink &sink);

} // namespace rwx

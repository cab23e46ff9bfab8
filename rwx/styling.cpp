#include "rwx/styling.h"

#include "rwx/keywords.h"
#include "rwx/reader.h"

namespace rwx {
namespace {

// Hands the reader's words, markers, comments and line breaks to the sink
// in order; what lies between them (blanks, a byte-order mark) is Default.
class Styler {
public:
    Styler(const char *start, HighlightSink &sink) : m_painted(start), m_sink(sink) {}

    bool statement(const Statement<char> &st)
    {
        Kind kind = Kind::Unknown;
        bool nameNext = false; // the next word is a name
        for (qsizetype i = 0; i < st.size(); ++i) {
            const QByteArrayView word = st[i];
            Highlight style = Highlight::Default;
            if (i == 0) {
                const Keyword kw = findKeyword(word);
                kind = kw.kind;
                if (kind != Kind::Unknown) {
                    style = Highlight::Keyword;
                    nameNext = kind == Kind::ProtoInstance || kind == Kind::Texture
                            || kind == Kind::FileName || (kind == Kind::Begin && kw.block == Block::Proto);
                } else if (isNumber(word)) {
                    style = Highlight::Number;
                }
            } else if (nameNext) {
                style = equalsLower(word, "null") ? Highlight::Modifier : Highlight::Name;
                nameNext = false;
            } else if (isNumber(word)) {
                style = Highlight::Number;
            } else if (isModifier(word)) {
                style = Highlight::Modifier;
                nameNext = kind == Kind::Texture && (equalsLower(word, "mask") || equalsLower(word, "bump"));
            }
            paint(word.data(), word.size(), style);
        }
        return true;
    }
    void extension(const char *at) { paint(at, 2, Highlight::Extension); }
    void comment(const char *from, const char *to) { paint(from, to - from, Highlight::Comment); }
    bool lineEnd(int, const char *at, qsizetype length)
    {
        paint(at, length, Highlight::Default);
        return true;
    }

private:
    void paint(const char *at, qsizetype length, Highlight style)
    {
        if (at > m_painted)
            m_sink.add(at - m_painted, Highlight::Default);
        if (length > 0)
            m_sink.add(length, style);
        m_painted = at + length;
    }

    const char *m_painted; // styled up to here
    HighlightSink &m_sink;
};

} // namespace

void highlightLines(QByteArrayView bytes, bool atDocumentStart, HighlightSink &sink)
{
    Styler styler(bytes.data(), sink);
    readScript(bytes, atDocumentStart, styler);
}

} // namespace rwx

#include "rwx/styling.h"

#include "rwx/keywords.h"

namespace rwx {
namespace {

inline bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

// Styles one line (without its line break).
void styleLine(QByteArrayView line, HighlightSink &paint)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    int index = 0;          // position of the word in its statement
    Kind kind = Kind::Unknown;
    bool nameNext = false;  // the next word is a name
    while (i < n) {
        const char c = line[i];
        if (isBlankByte(c)) {
            paint.add(1, Highlight::Default);
            ++i;
            continue;
        }
        if (c == '#') {
            if (i + 1 < n && line[i + 1] == '!') {
                paint.add(2, Highlight::Extension);
                i += 2;
                index = 0;
                nameNext = false;
                continue;
            }
            paint.add(n - i, Highlight::Comment);
            return;
        }
        qsizetype j = i;
        while (j < n && !isBlankByte(line[j]) && line[j] != '#')
            ++j;
        const QByteArrayView word = line.sliced(i, j - i);
        Highlight style = Highlight::Default;
        if (index == 0) {
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
        paint.add(j - i, style);
        ++index;
        i = j;
    }
}

} // namespace

void highlightLines(QByteArrayView bytes, bool atDocumentStart, HighlightSink &sink)
{
    qsizetype pos = 0;
    if (atDocumentStart && bytes.startsWith("\xEF\xBB\xBF")) {
        sink.add(3, Highlight::Default);
        pos = 3;
    }
    const qsizetype n = bytes.size();
    while (pos < n) {
        qsizetype eol = pos;
        while (eol < n && bytes[eol] != '\n' && bytes[eol] != '\r')
            ++eol;
        styleLine(bytes.sliced(pos, eol - pos), sink);
        qsizetype next = eol;
        while (next < n && (bytes[next] == '\n' || bytes[next] == '\r') && next - eol < 2) {
            // CR LF is one line break; CR CR or LF LF are two.
            if (next > eol && !(bytes[eol] == '\r' && bytes[next] == '\n'))
                break;
            ++next;
        }
        if (next > eol)
            sink.add(next - eol, Highlight::Default);
        pos = next;
    }
}

} // namespace rwx

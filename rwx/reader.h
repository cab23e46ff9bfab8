#pragma once
// The one reader of RWX text: it splits a script into lines, statements and
// words, and reports its comments and "#!" markers. The structure checker
// and the scene builder read UTF-16 text through it, the highlighting the
// editor's UTF-8 bytes.
//
// - CR LF, LF and a lone CR each end a line.
// - A byte-order mark at the very start of the text is not part of the
//   script (when the caller says the text starts there).
// - Blanks (space, tab, vertical tab, form feed) separate words.
// - "#" starts a comment that runs to the end of the line. "#!" does not:
//   it ends the statement before it, and the words after it are another
//   statement.
// - A statement is the words of one line up to its end or the next "#".
#include "rwx/words.h"

#include <QByteArrayView>
#include <QStringView>
#include <QVarLengthArray>

#include <type_traits>

namespace rwx {

template <typename Unit>
using WordView = std::conditional_t<std::is_same_v<Unit, char16_t>, QStringView, QByteArrayView>;

// One statement: its words, in order, as views into the text.
template <typename Unit>
struct Statement {
    using View = WordView<Unit>;

    int line = 0;                // 0-based
    const Unit *lineStart = nullptr; // the first unit of its line (a byte-order mark included)
    QVarLengthArray<View, 40> words;

    qsizetype size() const { return words.size(); }
    View operator[](qsizetype i) const { return words[i]; }
    // Where word i starts, in units from the start of its line.
    qsizetype column(qsizetype i) const { return first(words[i]) - lineStart; }

    static const Unit *first(View word)
    {
        if constexpr (std::is_same_v<Unit, char16_t>)
            return word.utf16();
        else
            return word.data();
    }
};

using TextStatement = Statement<char16_t>;

// Where the vertex indices of a face statement that start at word `first`
// end: at a trailing "Tag n", which tags the face, or at the statement's end.
template <typename Unit>
qsizetype faceIndexEnd(const Statement<Unit> &st, qsizetype first)
{
    qsizetype last = first;
    while (last < st.size() && !equalsLower(st[last], "tag"))
        ++last;
    return last;
}

// What a name on a `Texture` statement names.
enum class TextureRole : quint8 { Texture, Mask, Bump };

// Calls f(role, word) for each name a `Texture` statement gives, in order:
// the texture (word 1), then the word after each `Mask` and `Bump`. Nothing
// for "Texture null" or a statement without a name. f returns false to stop
// the walk, which then returns false.
template <typename Unit, typename F>
bool forEachTextureName(const Statement<Unit> &st, F &&f)
{
    if (st.size() < 2 || equalsLower(st[1], "null"))
        return true;
    if (!f(TextureRole::Texture, qsizetype(1)))
        return false;
    for (qsizetype i = 2; i + 1 < st.size(); ++i) {
        const bool mask = equalsLower(st[i], "mask");
        if ((mask || equalsLower(st[i], "bump")) && !f(mask ? TextureRole::Mask : TextureRole::Bump, ++i))
            return false;
    }
    return true;
}

namespace reading {

template <typename Unit>
inline bool isBlank(Unit c)
{
    return c == Unit(' ') || c == Unit('\t') || c == Unit('\v') || c == Unit('\f');
}

// Every unit that ends a word (blanks, line breaks and "#") is at most '#'.
template <typename Unit>
inline bool endsWord(Unit c)
{
    const auto u = static_cast<std::make_unsigned_t<Unit>>(c);
    return u <= u'#' && (u == u'#' || u == u'\n' || u == u'\r' || isBlank(c));
}

template <typename Unit>
inline qsizetype byteOrderMarkLength(const Unit *p, qsizetype n)
{
    if constexpr (std::is_same_v<Unit, char16_t>)
        return n > 0 && p[0] == 0xFEFF ? 1 : 0;
    else
        return QByteArrayView(p, n).startsWith("\xEF\xBB\xBF") ? 3 : 0;
}

} // namespace reading

// Reads text[0, n) in one pass and calls, in the order of the text:
//   bool statement(const Statement<Unit> &)      for every statement;
//   void extension(const Unit *at)               for every "#!" (optional);
//   void comment(const Unit *from, const Unit *to) for every comment (optional);
//   bool lineEnd(int line, const Unit *at, qsizetype length)
//        at the end of every line, with its line break (length 0 at the
//        end of the text) (optional).
// A handler that returns false stops the reading; readScript() then
// returns false. atTextStart: the text opens the script, where a byte-order
// mark is not part of it.
template <typename Unit, typename Handler>
bool readScript(const Unit *p, qsizetype n, bool atTextStart, Handler &handler)
{
    using namespace reading;
    qsizetype i = atTextStart ? byteOrderMarkLength(p, n) : 0;
    Statement<Unit> st;
    st.lineStart = p;
    auto flush = [&] {
        if (st.words.isEmpty())
            return true;
        const bool more = handler.statement(st);
        st.words.clear();
        return more;
    };
    while (i < n) {
        const Unit c = p[i];
        if (!endsWord(c)) {
            const qsizetype start = i;
            while (++i < n && !endsWord(p[i])) {
            }
            st.words.append(WordView<Unit>(p + start, i - start));
        } else if (isBlank(c)) {
            ++i;
        } else if (c == Unit('#')) {
            if (!flush())
                return false;
            if (i + 1 < n && p[i + 1] == Unit('!')) {
                if constexpr (requires { handler.extension(p); })
                    handler.extension(p + i);
                i += 2;
                continue;
            }
            const qsizetype from = i;
            while (i < n && p[i] != Unit('\n') && p[i] != Unit('\r'))
                ++i;
            if constexpr (requires { handler.comment(p, p); })
                handler.comment(p + from, p + i);
        } else { // a line break
            if (!flush())
                return false;
            const qsizetype length = (c == Unit('\r') && i + 1 < n && p[i + 1] == Unit('\n')) ? 2 : 1;
            if constexpr (requires { handler.lineEnd(0, p, qsizetype(0)); }) {
                if (!handler.lineEnd(st.line, p + i, length))
                    return false;
            }
            i += length;
            ++st.line;
            st.lineStart = p + i;
        }
    }
    if (!flush())
        return false;
    if constexpr (requires { handler.lineEnd(0, p, qsizetype(0)); })
        return handler.lineEnd(st.line, p + n, 0);
    return true;
}

template <typename Handler>
bool readScript(QStringView text, bool atTextStart, Handler &handler)
{
    return readScript(text.utf16(), text.size(), atTextStart, handler);
}

template <typename Handler>
bool readScript(QByteArrayView bytes, bool atTextStart, Handler &handler)
{
    return readScript(bytes.data(), bytes.size(), atTextStart, handler);
}

} // namespace rwx

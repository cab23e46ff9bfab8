#include "cleanup/cleanup.h"

#include <QStringView>

#include <algorithm>

// All three work on the UTF-16 code units directly: the result never grows,
// so it is written into one buffer of the input's size and cut to length.

namespace {

constexpr char16_t Blank = u' ';
constexpr char16_t Cr = u'\r';
constexpr char16_t Lf = u'\n';

// First occurrence of c in [from, end), or end. Qt's character search is
// vectorised, which matters for the long stretches between hits.
const char16_t *findChar(const char16_t *from, const char16_t *end, char16_t c)
{
    const qsizetype at = QStringView(from, end - from).indexOf(QChar(c));
    return at < 0 ? end : from + at;
}

const char16_t *units(const QString &text)
{
    return reinterpret_cast<const char16_t *>(text.constData());
}

// True when a CR LF pair starts at p.
bool breakAt(const char16_t *p, const char16_t *end)
{
    return end - p >= 2 && p[0] == Cr && p[1] == Lf;
}

// The first CR LF at or after from, or end.
const char16_t *findBreak(const char16_t *from, const char16_t *end)
{
    for (;;) {
        from = findChar(from, end, Cr);
        if (from == end || breakAt(from, end))
            return from;
        ++from;
    }
}

// An output buffer as long as the input; finish() cuts it to what was written.
class Output
{
public:
    explicit Output(qsizetype size)
        : m_text(size, Qt::Uninitialized)
        , m_begin(reinterpret_cast<char16_t *>(m_text.data()))
        , m_at(m_begin)
    {
    }

    void put(char16_t c) { *m_at++ = c; }
    void put(const char16_t *from, const char16_t *to)
    {
        m_at = std::copy(from, to, m_at);
    }
    char16_t *&cursor() { return m_at; }

    QString finish()
    {
        m_text.truncate(m_at - m_begin);
        return std::move(m_text);
    }

private:
    QString m_text;
    char16_t *m_begin;
    char16_t *m_at;
};

} // namespace

QString DeleteComments(const QString &text)
{
    const char16_t *const begin = units(text);
    const char16_t *const end = begin + text.size();
    const char16_t *at = findChar(begin, end, u'#');
    if (at == end)
        return text;

    Output out(text.size());
    const char16_t *from = begin;
    for (;;) {
        out.put(from, at);
        if (at == end)
            break;
        if (end - at >= 2 && at[1] == u'!') {
            // "#!" opens an extension statement, not a comment; the rest of
            // its line is scanned like any other text.
            out.put(at, at + 2);
            from = at + 2;
        } else {
            // The comment runs up to the line break, which stays.
            from = findBreak(at + 1, end);
        }
        at = findChar(from, end, u'#');
    }
    return out.finish();
}

QString DeleteSpacers(const QString &text)
{
    const char16_t *const begin = units(text);
    const char16_t *const end = begin + text.size();

    Output out(text.size());
    char16_t *d = out.cursor();
    const char16_t *s = begin;
    while (s < end) {
        const char16_t c = *s;
        if (c != Blank) {
            *d++ = c;
            ++s;
            continue;
        }
        // A run of blanks counts as one blank, which goes at the start of the
        // text and next to a line break on either side.
        const char16_t *const run = s;
        do
            ++s;
        while (s < end && *s == Blank);
        const bool atStart = run == begin;
        const bool afterBreak = run - begin >= 2 && run[-1] == Lf && run[-2] == Cr;
        const bool beforeBreak = breakAt(s, end);
        if (!atStart && !afterBreak && !beforeBreak)
            *d++ = Blank;
    }
    out.cursor() = d;
    return out.finish();
}

QString DeleteEmptyStrings(const QString &text)
{
    const char16_t *const begin = units(text);
    const char16_t *const end = begin + text.size();

    Output out(text.size());
    const char16_t *from = begin;
    for (;;) {
        const char16_t *const cr = findChar(from, end, Cr);
        out.put(from, cr);
        if (cr == end)
            break;
        if (!breakAt(cr, end)) {
            out.put(Cr);
            from = cr + 1;
            continue;
        }
        // A run of line breaks becomes one, and none is left at the start.
        const char16_t *next = cr + 2;
        while (breakAt(next, end))
            next += 2;
        if (cr != begin) {
            out.put(Cr);
            out.put(Lf);
        }
        from = next;
    }
    return out.finish();
}

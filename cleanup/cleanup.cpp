#include "cleanup/cleanup.h"

#include <QStringView>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const char16_t *const s = units(text);
    const qsizetype size = text.size();

    // Of a run of blanks only the last one can stay, and it goes when a line
    // break follows it or when the run starts the text or a line.
    auto keepsBlank = [&](qsizetype at) {
        if (at + 1 < size && (s[at + 1] == Blank || breakAt(s + at + 1, s + size)))
            return false;
        qsizetype run = at;
        while (run > 0 && s[run - 1] == Blank)
            --run;
        return run != 0 && !(run >= 2 && s[run - 1] == Lf && s[run - 2] == Cr);
    };

    Output out(size);
    char16_t *d = out.cursor();
    qsizetype i = 0;
    auto scalarUpTo = [&](qsizetype stop) {
        for (; i < stop; ++i) {
            if (s[i] != Blank || keepsBlank(i))
                *d++ = s[i];
        }
    };

#if defined(__SSE2__)
    // Blanks stand every few characters in a script, so eight characters are
    // judged at a time; a block that keeps all of them is stored in one go.
    // Each block reads two characters before and after itself.
    if (size >= 12) {
        scalarUpTo(2);
        const auto load = [](const char16_t *p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        };
        const auto is = [](__m128i v, char16_t c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(short(c))); };
        for (; i + 10 <= size; i += 8) {
            const char16_t *const p = s + i;
            const __m128i here = load(p);
            const __m128i next = load(p + 1);
            const __m128i blank = is(here, Blank);
            const __m128i goesBefore = _mm_or_si128(is(next, Blank), _mm_and_si128(is(next, Cr), is(load(p + 2), Lf)));
            const __m128i before1 = load(p - 1);
            const __m128i goesAfter = _mm_and_si128(is(before1, Lf), is(load(p - 2), Cr));
            const __m128i runContinues = is(before1, Blank);
            // Blanks known to go, and last blanks of longer runs, which need
            // a look at where their run starts.
            const __m128i drop = _mm_and_si128(blank, _mm_or_si128(goesBefore, goesAfter));
            const __m128i unsure = _mm_andnot_si128(drop, _mm_and_si128(blank, runContinues));
            const auto bits = [](__m128i m) {
                return unsigned(_mm_movemask_epi8(_mm_packs_epi16(m, _mm_setzero_si128())));
            };
            unsigned keep = ~bits(drop) & 0xFFu;
            for (unsigned u = bits(unsure); u != 0; u &= u - 1) {
                const int lane = __builtin_ctz(u);
                if (!keepsBlank(i + lane))
                    keep &= ~(1u << lane);
            }
            if (keep == 0xFFu) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(d), here);
                d += 8;
                continue;
            }
            for (int lane = 0; lane < 8; ++lane) {
                *d = p[lane];
                d += (keep >> lane) & 1u;
            }
        }
    }
#endif
    scalarUpTo(size);
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

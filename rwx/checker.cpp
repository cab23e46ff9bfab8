#include "rwx/checker.h"

#include "rwx/keywords.h"

#include <QSet>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <limits>

namespace rwx {
namespace {

constexpr qint64 kHuge = qint64(1) << 40;

struct Token {
    qsizetype start; // offset in the line
    qsizetype size;
};

struct Open {
    Block block;
    int line;
    int column;
    int length;
    int vertices;  // vertices so far, for a clump or proto
    int prevScope; // the vertex scope that was current before this block
};

// Parses a face index or polygon count: an integer, also written "3." or "3.0".
// Saturates instead of overflowing.
bool parseWhole(QStringView w, qint64 &value)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < w.size() && (w[i] == u'+' || w[i] == u'-'))
        negative = w[i++] == u'-';
    qint64 v = 0;
    qsizetype digits = 0;
    for (; i < w.size() && w[i] >= u'0' && w[i] <= u'9'; ++i, ++digits)
        v = std::min<qint64>(v * 10 + (w[i].unicode() - u'0'), kHuge);
    if (digits == 0)
        return false;
    if (i < w.size() && w[i] == u'.') {
        for (++i; i < w.size(); ++i) {
            if (w[i] != u'0')
                return false;
        }
    }
    if (i != w.size())
        return false;
    value = negative ? -v : v;
    return true;
}

inline bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

// The lines between two questions whether to stop.
constexpr int kLinesPerStopQuestion = 4096;

class Checker {
public:
    Checker(QStringView text, const CheckLimits &limits) : m_text(text), m_limits(limits) {}

    CheckResult run()
    {
        const char16_t *p = m_text.utf16();
        const qsizetype n = m_text.size();
        qsizetype pos = 0;
        int line = 0;
        for (;;) {
            if (line % kLinesPerStopQuestion == 0 && m_limits.stop && m_limits.stop())
                return CheckResult{{}, 0, true};
            qsizetype eol = pos;
            while (eol < n && p[eol] != u'\n' && p[eol] != u'\r')
                ++eol;
            // A byte-order mark at the very start is not part of the script.
            const qsizetype from = (pos == 0 && n > 0 && p[0] == 0xFEFF) ? 1 : 0;
            checkLine(line, m_text.sliced(pos, eol - pos), from);
            if (eol >= n)
                break;
            pos = eol + ((p[eol] == u'\r' && eol + 1 < n && p[eol + 1] == u'\n') ? 2 : 1);
            ++line;
        }
        for (const Open &o : m_stack)
            addUnclosed(o);
        // Without a single keyword the text is no script: its words are not
        // worth a warning, and without keywords there are no structural faults.
        if (!m_sawKeyword)
            return CheckResult{};
        keepFirst(m_limits.keep);
        return CheckResult{std::move(m_findings), m_total, false};
    }

private:
    // Records a finding. The message is made only for a finding that may be
    // among the first `keep`: findings come mostly in order of position, so
    // once that many are kept the later ones are counted and nothing more.
    template <typename MakeMessage>
    void add(int line, qsizetype column, qsizetype length, MakeMessage &&message,
             Severity severity = Severity::Error)
    {
        ++m_total;
        if (m_limits.keep <= 0 || (m_trimmed && !before(line, int(column), m_lastLine, m_lastColumn)))
            return;
        m_findings.append(Finding{line, int(column), int(std::max<qsizetype>(length, 1)), severity,
                                  QString(message())});
        // Room for as many again before trimming keeps the trims rare.
        if (m_findings.size() >= m_limits.keep && m_findings.size() - m_limits.keep >= m_limits.keep)
            keepFirst(m_limits.keep);
    }

    void addUnclosed(const Open &o)
    {
        add(o.line, o.column, o.length, [&] {
            return QStringLiteral("%1 without %2")
                .arg(QLatin1StringView(beginName(o.block)), QLatin1StringView(endName(o.block)));
        });
    }

    static bool before(int line, int column, int otherLine, int otherColumn)
    {
        return line != otherLine ? line < otherLine : column < otherColumn;
    }

    // Orders the findings by position (those at the same place in the order
    // they were found) and drops all but the first `keep`.
    void keepFirst(qsizetype keep)
    {
        std::stable_sort(m_findings.begin(), m_findings.end(), [](const Finding &a, const Finding &b) {
            return before(a.line, a.column, b.line, b.column);
        });
        if (m_findings.size() <= keep)
            return;
        m_findings.resize(keep);
        m_trimmed = true;
        m_lastLine = m_findings.back().line;
        m_lastColumn = m_findings.back().column;
    }

    void checkLine(int line, QStringView text, qsizetype i)
    {
        const qsizetype n = text.size();
        while (i < n) {
            const char16_t c = text[i].unicode();
            if (isBlank(c)) {
                ++i;
                continue;
            }
            if (c == u'#') {
                if (i + 1 < n && text[i + 1] == u'!') { // "#!": a statement follows
                    i += 2;
                    continue;
                }
                return; // comment to the end of the line
            }
            // One statement: words up to the end of the line or the next '#'.
            m_tokens.clear();
            while (i < n && text[i] != u'#') {
                if (isBlank(text[i].unicode())) {
                    ++i;
                    continue;
                }
                const qsizetype start = i;
                while (i < n && !isBlank(text[i].unicode()) && text[i] != u'#')
                    ++i;
                m_tokens.append(Token{start, i - start});
            }
            checkStatement(line, text);
        }
    }

    QStringView word(QStringView line, const Token &t) const { return line.sliced(t.start, t.size); }

    void checkStatement(int line, QStringView text)
    {
        const Token &head = m_tokens.front();
        const QStringView name = word(text, head);
        const Keyword kw = findKeyword(name);
        m_sawKeyword = m_sawKeyword || kw.kind != Kind::Unknown;
        switch (kw.kind) {
        case Kind::Unknown:
            add(line, head.start, head.size, [&] {
                return isNumber(name) ? QStringLiteral("a number where a keyword belongs")
                                      : QStringLiteral("unknown keyword \"%1\"").arg(name);
            }, Severity::Warning);
            return;
        case Kind::Begin:
            begin(line, text, kw);
            return;
        case Kind::End:
            end(line, head, kw);
            return;
        case Kind::Vertex:
            if (m_scope >= 0)
                ++m_stack[m_scope].vertices;
            else
                ++m_looseVertices;
            return;
        case Kind::Triangle:
        case Kind::Quad:
        case Kind::Polygon:
            face(line, text, kw);
            return;
        case Kind::ProtoInstance:
            if (m_tokens.size() < 2) {
                add(line, head.start, head.size,
                    [&] { return QStringLiteral("%1 without a proto name").arg(QLatin1StringView(kw.name)); });
            } else if (!m_protos.contains(word(text, m_tokens[1]).toString().toLower())) {
                add(line, m_tokens[1].start, m_tokens[1].size,
                    [&] { return QStringLiteral("%1 of an undefined proto").arg(QLatin1StringView(kw.name)); });
            }
            return;
        case Kind::Texture:
        case Kind::FileName:
        case Kind::Other:
            return;
        }
    }

    void begin(int line, QStringView text, const Keyword &kw)
    {
        const Token &head = m_tokens.front();
        if (kw.block == Block::Proto) {
            if (m_openCount[int(Block::Proto)] > 0)
                add(line, head.start, head.size, [] { return QStringLiteral("ProtoBegin inside another proto"); });
            else if (m_openCount[int(Block::Clump)] > 0)
                add(line, head.start, head.size, [] { return QStringLiteral("ProtoBegin inside a clump"); });
            if (m_tokens.size() < 2)
                add(line, head.start, head.size, [] { return QStringLiteral("ProtoBegin without a proto name"); });
            else
                m_protos.insert(word(text, m_tokens[1]).toString().toLower());
        }
        const bool scope = kw.block == Block::Clump || kw.block == Block::Proto;
        m_stack.append(Open{kw.block, line, int(head.start), int(head.size), 0, m_scope});
        ++m_openCount[int(kw.block)];
        if (scope)
            m_scope = int(m_stack.size() - 1);
    }

    void pop()
    {
        const Open &o = m_stack.back();
        --m_openCount[int(o.block)];
        m_scope = o.prevScope;
        m_stack.removeLast();
    }

    void end(int line, const Token &head, const Keyword &kw)
    {
        if (m_openCount[int(kw.block)] == 0) {
            add(line, head.start, head.size, [&] {
                return QStringLiteral("%1 without %2")
                    .arg(QLatin1StringView(endName(kw.block)), QLatin1StringView(beginName(kw.block)));
            });
            return;
        }
        // Blocks left open inside this one were never closed.
        while (m_stack.back().block != kw.block) {
            addUnclosed(m_stack.back());
            pop();
        }
        pop();
    }

    void face(int line, QStringView text, const Keyword &kw)
    {
        const Token &head = m_tokens.front();
        qsizetype first = 1;
        qint64 declared = -1;
        if (kw.kind == Kind::Polygon) {
            if (m_tokens.size() < 2 || equalsLower(word(text, m_tokens[1]), "tag")) {
                add(line, head.start, head.size, [&] {
                    return QStringLiteral("%1 without a vertex count").arg(QLatin1StringView(kw.name));
                });
                return;
            }
            if (!parseWhole(word(text, m_tokens[1]), declared) || declared < 0) {
                add(line, m_tokens[1].start, m_tokens[1].size,
                    [&] { return QStringLiteral("\"%1\" is not a vertex count").arg(word(text, m_tokens[1])); });
                declared = -1;
            }
            first = 2;
        }
        // The indices run up to a trailing "Tag n".
        qsizetype last = first;
        while (last < m_tokens.size() && !equalsLower(word(text, m_tokens[last]), "tag"))
            ++last;
        const qsizetype listed = last - first;

        const qint64 expected = kw.kind == Kind::Triangle ? 3 : kw.kind == Kind::Quad ? 4 : declared;
        if (expected >= 0 && listed != expected) {
            const Token &end = listed > 0 ? m_tokens[last - 1] : (first > 1 ? m_tokens[1] : head);
            const qsizetype span = end.start + end.size - head.start;
            const QString vertices = listed == 1 ? QStringLiteral("vertex") : QStringLiteral("vertices");
            if (kw.kind == Kind::Polygon)
                add(line, head.start, span, [&] {
                    return QStringLiteral("%1 %2 lists %3 %4")
                        .arg(QLatin1StringView(kw.name)).arg(expected).arg(listed).arg(vertices);
                });
            else
                add(line, head.start, span, [&] {
                    return QStringLiteral("%1 lists %2 %3, not %4")
                        .arg(QLatin1StringView(kw.name)).arg(listed).arg(vertices).arg(expected);
                });
        }

        const int count = m_scope >= 0 ? m_stack[m_scope].vertices : m_looseVertices;
        const char *where = m_scope < 0 ? "in this script"
                          : m_stack[m_scope].block == Block::Proto ? "in this proto" : "in this clump";
        for (qsizetype t = first; t < last; ++t) {
            const QStringView w = word(text, m_tokens[t]);
            qint64 index = 0;
            if (!parseWhole(w, index)) {
                add(line, m_tokens[t].start, m_tokens[t].size,
                    [&] { return QStringLiteral("\"%1\" is not a vertex number").arg(w); });
            } else if (index < 1 || index > count) {
                add(line, m_tokens[t].start, m_tokens[t].size, [&] {
                    return QStringLiteral("vertex %1 does not exist %2 (%3 %4)")
                        .arg(index == kHuge || index == -kHuge ? w.toString() : QString::number(index))
                        .arg(QLatin1StringView(where))
                        .arg(count).arg(count == 1 ? QStringLiteral("vertex") : QStringLiteral("vertices"));
                });
            }
        }
    }

    QStringView m_text;
    const CheckLimits &m_limits;
    QList<Finding> m_findings;
    qsizetype m_total = 0;
    // Once findings were dropped, only one before the last kept can still be kept.
    bool m_trimmed = false;
    int m_lastLine = 0;
    int m_lastColumn = 0;
    QVarLengthArray<Token, 40> m_tokens;
    QList<Open> m_stack;
    std::array<int, BlockCount> m_openCount{};
    int m_scope = -1;        // index in m_stack of the clump or proto under construction
    int m_looseVertices = 0; // vertices outside any clump or proto
    QSet<QString> m_protos;  // lower-case names
    bool m_sawKeyword = false;
};

} // namespace

QList<Finding> checkScript(QStringView text)
{
    return Checker(text, CheckLimits{}).run().findings;
}

CheckResult checkScript(QStringView text, const CheckLimits &limits)
{
    return Checker(text, limits).run();
}

} // namespace rwx

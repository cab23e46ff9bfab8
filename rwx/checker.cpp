#include "rwx/checker.h"

#include "rwx/blockstack.h"
#include "rwx/keywords.h"
#include "rwx/reader.h"

#include <QSet>

#include <algorithm>
#include <iterator>

namespace rwx {
namespace {

struct Open {
    Block block;
    int line;
    int column;
    int length;
    int vertices;  // vertices so far, for a clump or proto
    int prevScope; // the vertex scope that was current before this block
};

class Checker {
public:
    Checker(QStringView text, const CheckLimits &limits) : m_text(text), m_limits(limits) {}

    CheckResult run()
    {
        if (m_limits.stopAtLine(0) || !readScript(m_text, true, *this))
            return CheckResult{{}, 0, true};
        for (const Open &o : m_blocks.entries())
            addUnclosed(o);
        // Without a single keyword the text is no script: its words are not
        // worth a warning, and without keywords there are no structural faults.
        if (!m_sawKeyword)
            return CheckResult{};
        keepFirst(m_limits.keep);
        return CheckResult{std::move(m_findings), m_total, false};
    }

    // The reader's calls.
    bool statement(const TextStatement &st)
    {
        check(st);
        return true;
    }
    bool lineEnd(int line, const char16_t *, qsizetype length) { return length == 0 || !m_limits.stopAtLine(line + 1); }

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
        std::stable_sort(m_findings.begin(), m_findings.end(), findingBefore);
        if (m_findings.size() <= keep)
            return;
        m_findings.resize(keep);
        m_trimmed = true;
        m_lastLine = m_findings.back().line;
        m_lastColumn = m_findings.back().column;
    }

    void check(const TextStatement &st)
    {
        const QStringView name = st[0];
        const Keyword kw = findKeyword(name);
        m_sawKeyword = m_sawKeyword || kw.kind != Kind::Unknown;
        switch (kw.kind) {
        case Kind::Unknown:
            add(st.line, st.column(0), name.size(), [&] {
                return isNumber(name) ? QStringLiteral("a number where a keyword belongs")
                                      : QStringLiteral("unknown keyword \"%1\"").arg(name);
            }, Severity::Warning);
            return;
        case Kind::Begin:
            begin(st, kw);
            return;
        case Kind::End:
            end(st, kw);
            return;
        case Kind::Vertex:
            if (m_scope >= 0)
                ++m_blocks[m_scope].vertices;
            else
                ++m_looseVertices;
            return;
        case Kind::Triangle:
        case Kind::Quad:
        case Kind::Polygon:
            face(st, kw);
            return;
        case Kind::ProtoInstance:
            if (st.size() < 2) {
                add(st.line, st.column(0), name.size(),
                    [&] { return QStringLiteral("%1 without a proto name").arg(QLatin1StringView(kw.name)); });
            } else if (!m_protos.contains(st[1].toString().toLower())) {
                add(st.line, st.column(1), st[1].size(),
                    [&] { return QStringLiteral("%1 of an undefined proto").arg(QLatin1StringView(kw.name)); });
            }
            return;
        case Kind::Texture:
        case Kind::FileName:
        case Kind::Other:
            return;
        }
    }

    void begin(const TextStatement &st, const Keyword &kw)
    {
        const int line = st.line, column = int(st.column(0)), length = int(st[0].size());
        if (kw.block == Block::Proto) {
            if (m_blocks.isOpen(Block::Proto))
                add(line, column, length, [] { return QStringLiteral("ProtoBegin inside another proto"); });
            else if (m_blocks.isOpen(Block::Clump))
                add(line, column, length, [] { return QStringLiteral("ProtoBegin inside a clump"); });
            if (st.size() < 2)
                add(line, column, length, [] { return QStringLiteral("ProtoBegin without a proto name"); });
            else
                m_protos.insert(st[1].toString().toLower());
        }
        m_blocks.open(Open{kw.block, line, column, length, 0, m_scope});
        if (kw.block == Block::Clump || kw.block == Block::Proto)
            m_scope = int(m_blocks.size() - 1);
    }

    void end(const TextStatement &st, const Keyword &kw)
    {
        const bool closed = m_blocks.close(kw.block, [&](Open &&o) {
            if (o.block != kw.block) // left open inside this one: never closed
                addUnclosed(o);
            m_scope = o.prevScope;
        });
        if (!closed) {
            add(st.line, st.column(0), st[0].size(), [&] {
                return QStringLiteral("%1 without %2")
                    .arg(QLatin1StringView(endName(kw.block)), QLatin1StringView(beginName(kw.block)));
            });
        }
    }

    void face(const TextStatement &st, const Keyword &kw)
    {
        const int line = st.line;
        auto at = [&](qsizetype t) { return st.column(t); };
        qsizetype first = 1;
        qint64 declared = -1;
        if (kw.kind == Kind::Polygon) {
            if (st.size() < 2 || equalsLower(st[1], "tag")) {
                add(line, at(0), st[0].size(), [&] {
                    return QStringLiteral("%1 without a vertex count").arg(QLatin1StringView(kw.name));
                });
                return;
            }
            if (!parseWhole(st[1], declared) || declared < 0) {
                add(line, at(1), st[1].size(),
                    [&] { return QStringLiteral("\"%1\" is not a vertex count").arg(st[1]); });
                declared = -1;
            }
            first = 2;
        }
        const qsizetype last = faceIndexEnd(st, first);
        const qsizetype listed = last - first;

        const qint64 expected = kw.kind == Kind::Triangle ? 3 : kw.kind == Kind::Quad ? 4 : declared;
        if (expected >= 0 && listed != expected) {
            const qsizetype end = listed > 0 ? last - 1 : (first > 1 ? 1 : 0);
            const qsizetype span = at(end) + st[end].size() - at(0);
            const QString vertices = listed == 1 ? QStringLiteral("vertex") : QStringLiteral("vertices");
            if (kw.kind == Kind::Polygon)
                add(line, at(0), span, [&] {
                    return QStringLiteral("%1 %2 lists %3 %4")
                        .arg(QLatin1StringView(kw.name)).arg(expected).arg(listed).arg(vertices);
                });
            else
                add(line, at(0), span, [&] {
                    return QStringLiteral("%1 lists %2 %3, not %4")
                        .arg(QLatin1StringView(kw.name)).arg(listed).arg(vertices).arg(expected);
                });
        }

        const int count = m_scope >= 0 ? m_blocks[m_scope].vertices : m_looseVertices;
        const char *where = m_scope < 0 ? "in this script"
                          : m_blocks[m_scope].block == Block::Proto ? "in this proto" : "in this clump";
        for (qsizetype t = first; t < last; ++t) {
            const QStringView w = st[t];
            qint64 index = 0;
            if (!parseWhole(w, index)) {
                add(line, at(t), w.size(), [&] { return QStringLiteral("\"%1\" is not a vertex number").arg(w); });
            } else if (index < 1 || index > count) {
                add(line, at(t), w.size(), [&] {
                    return QStringLiteral("vertex %1 does not exist %2 (%3 %4)")
                        .arg(index == HugeWhole || index == -HugeWhole ? w.toString() : QString::number(index))
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
    BlockStack<Open> m_blocks;
    int m_scope = -1;        // index in m_blocks of the clump or proto under construction
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

bool findingBefore(const Finding &a, const Finding &b)
{
    return a.line != b.line ? a.line < b.line : a.column < b.column;
}

CheckResult mergeResults(CheckResult a, CheckResult b, qsizetype keep)
{
    if (a.cancelled)
        return a;
    if (b.cancelled)
        return b;
    if (b.total == 0)
        return a;
    CheckResult all;
    all.total = a.total + b.total;
    all.findings.reserve(a.findings.size() + b.findings.size());
    std::merge(a.findings.cbegin(), a.findings.cend(), b.findings.cbegin(), b.findings.cend(),
               std::back_inserter(all.findings), findingBefore);
    if (all.findings.size() > keep)
        all.findings.resize(keep);
    return all;
}

} // namespace rwx

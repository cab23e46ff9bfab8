#include "editor/lexer.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QByteArray>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace rwx {

namespace {

double luminance(const QColor &c)
{
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF())
         + 0.0722 * channel(rgb.blueF());
}

bool isDark(const QColor &base)
{
    return luminance(base) < 0.2;
}

// Collects runs of one style and hands them to the editor.
class Painter final : public HighlightSink {
public:
    explicit Painter(QsciLexerCustom *lexer) : m_lexer(lexer) {}
    ~Painter() { flush(); }
    void add(qsizetype length, Highlight highlight) override
    {
        const int style = int(highlight);
        if (length <= 0)
            return;
        if (style != m_style)
            flush();
        m_style = style;
        m_length += length;
    }

private:
    void flush()
    {
        if (m_length > 0)
            m_lexer->setStyling(int(m_length), m_style);
        m_length = 0;
    }
    QsciLexerCustom *m_lexer;
    int m_style = RwxLexer::Default;
    qsizetype m_length = 0;
};

} // namespace

QColor mixColors(const QColor &from, const QColor &to, double amount)
{
    const QColor x = from.toRgb(), y = to.toRgb();
    return QColor::fromRgbF(float(x.redF() * (1 - amount) + y.redF() * amount),
                            float(x.greenF() * (1 - amount) + y.greenF() * amount),
                            float(x.blueF() * (1 - amount) + y.blueF() * amount));
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableColor(int hue, int saturation, const QColor &base, double ratio)
{
    const bool dark = isDark(base);
    // Start from a middle lightness and move away from the base until readable.
    int lightness = dark ? 150 : 110;
    QColor c = QColor::fromHsl(hue, saturation, lightness);
    while (contrastRatio(c, base) < ratio && lightness > 0 && lightness < 255) {
        lightness += dark ? 5 : -5;
        lightness = std::clamp(lightness, 0, 255);
        c = QColor::fromHsl(hue, saturation, lightness);
    }
    return c;
}

RwxLexer::RwxLexer(QObject *parent) : QsciLexerCustom(parent)
{
    m_font = QApplication::font();
    m_font.setStyleHint(QFont::TypeWriter);
    applyPalette(QApplication::palette());
}

const char *RwxLexer::language() const
{
    return "RWX";
}

QString RwxLexer::description(int style) const
{
    switch (style) {
    case Default: return QStringLiteral("Default");
    case Comment: return QStringLiteral("Comment");
    case Keyword: return QStringLiteral("Keyword");
    case Number: return QStringLiteral("Number");
    case Extension: return QStringLiteral("Extension marker");
    case Name: return QStringLiteral("Name");
    case Modifier: return QStringLiteral("Modifier");
    }
    return QString();
}

bool RwxLexer::caseSensitive() const
{
    return false;
}

QColor RwxLexer::defaultColor(int style) const
{
    return style >= 0 && style < StyleCount ? m_colors[style] : m_colors[Default];
}

QColor RwxLexer::defaultPaper(int) const
{
    return m_paper;
}

QFont RwxLexer::defaultFont(int) const
{
    return m_font;
}

void RwxLexer::applyPalette(const QPalette &palette)
{
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    m_paper = base;
    m_colors[Default] = text;
    // Comments recede: halfway to the base, but never below a readable contrast.
    const double floor = std::min(3.0, contrastRatio(text, base));
    QColor comment = text;
    for (const double t : {0.45, 0.35, 0.25, 0.15, 0.05}) {
        const QColor c = mixColors(text, base, t);
        if (contrastRatio(c, base) >= floor) {
            comment = c;
            break;
        }
    }
    m_colors[Comment] = comment;
    m_colors[Keyword] = readableColor(215, 200, base);
    m_colors[Number] = readableColor(25, 200, base);
    m_colors[Extension] = readableColor(290, 170, base);
    m_colors[Name] = readableColor(130, 160, base);
    m_colors[Modifier] = readableColor(185, 170, base);
    setDefaultPaper(base);
    setDefaultColor(text);
    for (int s = 0; s < StyleCount; ++s) {
        setPaper(base, s);
        setColor(m_colors[s], s);
    }
}

void RwxLexer::applyFont(const QFont &font)
{
    m_font = font;
    setDefaultFont(font);
    setFont(font, -1);
}

void RwxLexer::styleText(int start, int end)
{
    QsciScintilla *ed = editor();
    if (!ed || end <= start)
        return;
    // Whole lines: from the start of start's line to the end of end's line.
    const long firstLine = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, long(start));
    const long lastLine = ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, long(end));
    const long lineCount = ed->SendScintilla(QsciScintillaBase::SCI_GETLINECOUNT);
    const long docLength = ed->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
    const long from = ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, firstLine);
    const long to = lastLine + 1 < lineCount
        ? ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, lastLine + 1)
        : docLength;
    if (from < 0 || to <= from)
        return;

    QByteArray bytes(qsizetype(to - from) + 1, '\0');
    ed->SendScintilla(QsciScintillaBase::SCI_GETTEXTRANGE, from, to, bytes.data());
    bytes.chop(1);
    m_styledBytes += bytes.size();

    startStyling(int(from));
    Painter paint(this);
    highlightLines(bytes, from == 0, paint);
}

} // namespace rwx

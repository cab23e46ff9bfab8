#pragma once
// Highlighting of RWX scripts for a QsciScintilla editor. Every line is
// styled on its own, so the lexer styles exactly the lines it is asked for:
// typing in a large script restyles only what the editor needs to redraw.
#include "rwx/styling.h"

#include <Qsci/qscilexercustom.h>

#include <QColor>
#include <QFont>

class QPalette;

namespace rwx {

class RwxLexer : public QsciLexerCustom {
    Q_OBJECT
public:
    // The editor's style numbers: the highlighting's styles (rwx/styling.h).
    enum Style {
        Default = int(Highlight::Default),
        Comment = int(Highlight::Comment),
        Keyword = int(Highlight::Keyword),
        Number = int(Highlight::Number),
        Extension = int(Highlight::Extension),
        Name = int(Highlight::Name),
        Modifier = int(Highlight::Modifier),
    };
    static constexpr int StyleCount = HighlightCount;

    explicit RwxLexer(QObject *parent = nullptr);

    const char *language() const override;
    QString description(int style) const override;
    bool caseSensitive() const override;
    void styleText(int start, int end) override;

    QColor defaultColor(int style) const override;
    QColor defaultPaper(int style) const override;
    QFont defaultFont(int style) const override;

    // Colours derived from the palette: the window's text and base colours,
    // accents kept readable against the base (light or dark theme).
    void applyPalette(const QPalette &palette);
    // One font for every style.
    void applyFont(const QFont &font);

    // Bytes styled since the lexer was made; shows how much work typing costs.
    qint64 styledBytes() const { return m_styledBytes; }

private:
    QColor m_colors[StyleCount];
    QColor m_paper;
    QFont m_font;
    qint64 m_styledBytes = 0;
};

// The colour of a given hue that stays readable against `base`
// (contrast ratio at least `ratio`).
QColor readableColor(int hue, int saturation, const QColor &base, double ratio = 4.5);
double contrastRatio(const QColor &a, const QColor &b);
// `from` moved towards `to` by `amount` (0: from, 1: to).
QColor mixColors(const QColor &from, const QColor &to, double amount);

} // namespace rwx

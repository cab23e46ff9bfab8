// Highlighting on a real QsciScintilla: the style at chosen places of a small
// script, line breaks of every kind, readable colours in light and dark
// themes, and styling limited to what the editor asks for.
#include "editor/lexer.h"

#include "support/scriptgen.h"
#include "support/testmain.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QPalette>

using rwx::RwxLexer;

namespace {

const char kScript[] =
    "# cube made by hand\n"
    "ModelBegin\n"
    "protobegin Façade\n"
    "  VERTEX -.1 +.5 1e-1 UV 0 1. #! Prelight 1 0 0\n"
    "  Texture wallTex Mask wallM\n"
    "  texture NULL\n"
    "  quad 1 2 3 4 tag 7 # front\n"
    "#!Collision off\n"
    "ProtoEnd\n"
    "ClumpBegin\n"
    "  ProtoInstance Façade\n"
    "  Frobnicate 12 x1\n"
    "ClumpEnd\n"
    "ModelEnd";

int styleAt(QsciScintilla &ed, qsizetype pos)
{
    return int(ed.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, static_cast<unsigned long>(pos)));
}

} // namespace

class TestRwxLexer : public QObject {
    Q_OBJECT
private slots:
    void styles_data();
    void styles();
    void readableColours_data();
    void readableColours();
    void typingRestylesLittle();
};

void TestRwxLexer::styles_data()
{
    QTest::addColumn<QString>("lineBreak");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<int>("occurrence");
    QTest::addColumn<int>("style");

    const struct {
        const char *needle;
        int occurrence;
        int style;
    } cases[] = {
        {"# cube made by hand", 0, RwxLexer::Comment},
        {"ModelBegin", 0, RwxLexer::Keyword},
        {"protobegin", 0, RwxLexer::Keyword},
        {"Façade", 0, RwxLexer::Name},
        {"VERTEX", 0, RwxLexer::Keyword},
        {"-.1", 0, RwxLexer::Number},
        {"+.5", 0, RwxLexer::Number},
        {"1e-1", 0, RwxLexer::Number},
        {"UV", 0, RwxLexer::Modifier},
        {"1.", 0, RwxLexer::Number},
        {"#!", 0, RwxLexer::Extension},
        {"Prelight", 0, RwxLexer::Keyword},
        {"Texture", 0, RwxLexer::Keyword},
        {"wallTex", 0, RwxLexer::Name},
        {"Mask", 0, RwxLexer::Modifier},
        {"wallM", 0, RwxLexer::Name},
        {"NULL", 0, RwxLexer::Modifier},
        {"quad", 0, RwxLexer::Keyword},
        {"tag", 0, RwxLexer::Modifier},
        {"7", 0, RwxLexer::Number},
        {"# front", 0, RwxLexer::Comment},
        {"#!", 1, RwxLexer::Extension},
        {"Collision", 0, RwxLexer::Keyword},
        {"off", 0, RwxLexer::Modifier},
        {"ProtoInstance", 0, RwxLexer::Keyword},
        {"Façade", 1, RwxLexer::Name},
        {"Frobnicate", 0, RwxLexer::Default},
        {"12", 0, RwxLexer::Number},
        {"x1", 0, RwxLexer::Default},
        {"ModelEnd", 0, RwxLexer::Keyword},
    };
    const char *breakNames[] = {"LF", "CRLF", "CR"};
    const QString breaks[] = {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")};
    for (int b = 0; b < 3; ++b) {
        for (const auto &c : cases)
            QTest::addRow("%s %s #%d", breakNames[b], c.needle, c.occurrence)
                << breaks[b] << QByteArray(c.needle) << c.occurrence << c.style;
    }
}

void TestRwxLexer::styles()
{
    QFETCH(QString, lineBreak);
    QFETCH(QByteArray, needle);
    QFETCH(int, occurrence);
    QFETCH(int, style);

    QsciScintilla ed;
    ed.setUtf8(true);
    auto *lexer = new RwxLexer(&ed);
    ed.setLexer(lexer);
    const QString text = QString::fromUtf8(kScript).replace(u'\n', lineBreak);
    ed.setText(text);
    ed.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);

    const QByteArray bytes = text.toUtf8();
    qsizetype at = -1;
    for (int i = 0; i <= occurrence; ++i)
        at = bytes.indexOf(needle, at + 1);
    QVERIFY(at >= 0);
    for (qsizetype p = at; p < at + needle.size(); ++p)
        QCOMPARE(styleAt(ed, p), style);
    // Words end where they end: a blank or line break after one is Default.
    const char after = at + needle.size() < bytes.size() ? bytes.at(at + needle.size()) : '\0';
    if (after == ' ' || after == '\r' || after == '\n')
        QCOMPARE(styleAt(ed, at + needle.size()), int(RwxLexer::Default));
}

void TestRwxLexer::readableColours_data()
{
    QTest::addColumn<QColor>("base");
    QTest::addColumn<QColor>("text");
    QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("dark") << QColor(0x1e, 0x1e, 0x1e) << QColor(0xdd, 0xdd, 0xdd);
    QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::white);
    QTest::newRow("dark blue") << QColor(0x00, 0x2b, 0x36) << QColor(0x83, 0x94, 0x96);
    QTest::newRow("beige") << QColor(0xfd, 0xf6, 0xe3) << QColor(0x65, 0x7b, 0x83);
}

void TestRwxLexer::readableColours()
{
    QFETCH(QColor, base);
    QFETCH(QColor, text);
    QPalette pal = QApplication::palette();
    pal.setColor(QPalette::Base, base);
    pal.setColor(QPalette::Text, text);
    QsciScintilla ed;
    auto *lexer = new RwxLexer(&ed);
    lexer->applyPalette(pal);
    ed.setLexer(lexer);
    for (int s = 0; s < RwxLexer::StyleCount; ++s) {
        QCOMPARE(lexer->paper(s), base);
        const double need = s == RwxLexer::Comment || s == RwxLexer::Default
            ? std::min(3.0, rwx::contrastRatio(text, base)) : 4.5;
        QVERIFY2(rwx::contrastRatio(lexer->color(s), base) >= need - 1e-9,
                 qPrintable(QStringLiteral("style %1: %2 on %3").arg(s)
                                .arg(lexer->color(s).name(), base.name())));
        // The editor draws what the lexer says.
        const long back = ed.SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, static_cast<unsigned long>(s));
        QCOMPARE(QColor(int(back & 0xff), int((back >> 8) & 0xff), int((back >> 16) & 0xff)), base);
    }
    QCOMPARE(lexer->color(RwxLexer::Default), text);
    // Accents differ from the plain text and from one another.
    QCOMPARE(QSet<QRgb>({lexer->color(RwxLexer::Keyword).rgb(), lexer->color(RwxLexer::Number).rgb(),
                         lexer->color(RwxLexer::Name).rgb(), lexer->color(RwxLexer::Extension).rgb(),
                         lexer->color(RwxLexer::Modifier).rgb(), text.rgb()}).size(), 6);
}

void TestRwxLexer::typingRestylesLittle()
{
    // A 200 KB script: a keystroke near the top restyles only what is shown.
    const QByteArray script = orvane_test::generateScript({.size = 200 * 1024, .lineBreak = "\n"}).toLatin1();
    const int line = int(script.left(script.indexOf("Vertex ")).count('\n'));
    const int column = int(script.indexOf("Vertex ") - script.lastIndexOf('\n', script.indexOf("Vertex ")) - 1);

    QsciScintilla ed;
    ed.setUtf8(true);
    auto *lexer = new RwxLexer(&ed);
    ed.setLexer(lexer);
    ed.resize(600, 400);
    ed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ed));
    ed.setText(QString::fromUtf8(script));
    ed.viewport()->repaint();
    QCoreApplication::processEvents();
    const qint64 before = lexer->styledBytes();
    QVERIFY(before > 0);
    QVERIFY(before < script.size() / 10);

    for (int i = 0; i < 6; ++i) {
        ed.setCursorPosition(line, column + 7);
        QTest::keyClick(ed.viewport(), i ? Qt::Key_9 : Qt::Key_Space);
        ed.viewport()->repaint();
        QCoreApplication::processEvents();
    }
    QCOMPARE(ed.text(line).mid(column, 13), QStringLiteral("Vertex 99999 "));
    const qint64 typed = lexer->styledBytes() - before;
    QVERIFY(typed > 0);
    QVERIFY2(typed < script.size() / 10, qPrintable(QString::number(typed)));
    // The typed line is styled afresh.
    const long pos = ed.positionFromLineIndex(line, column);
    QCOMPARE(styleAt(ed, pos), int(RwxLexer::Keyword));
    QCOMPARE(styleAt(ed, pos + 7), int(RwxLexer::Number));
}

ORVANE_GUI_TEST_MAIN(TestRwxLexer)
#include "tst_rwxlexer.moc"

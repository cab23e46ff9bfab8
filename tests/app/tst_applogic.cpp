// The window's pure logic: path and running-number splits, the next number,
// the layout arithmetic and the way script bytes become text and back.
#include <QRandomGenerator>

#include "app/currentfile.h"
#include "app/layout.h"
#include "rwx/scripttext.h"
#include "support/testmain.h"

class AppLogicTest : public QObject {
    Q_OBJECT
private slots:
    void splitsPaths_data();
    void splitsPaths();
    void refusesNamesWithoutDot();
    void splitsRunningNumbers_data();
    void splitsRunningNumbers();
    void countsOnExactly_data();
    void countsOnExactly();
    void laysOutTheWindow_data();
    void laysOutTheWindow();
    void keepsWhatTheLayoutDoesNotOwn();
    void convertsPixelsAndTwips();
    void bytesComeBackUnchanged_data();
    void bytesComeBackUnchanged();
    void readsTheWindowsCodePage();
    void namesWhatTheCodePageCannotHold_data();
    void namesWhatTheCodePageCannotHold();
    void detectsLineBreaks_data();
    void detectsLineBreaks();
    void restoresLineBreaks_data();
    void restoresLineBreaks();
    void lineBreakBoundaryRoundTrips();
};

void AppLogicTest::splitsPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QStringList>("expected"); // folder, driveRoot, fileName, baseName, extension, prefix, number
    const QChar bs = u'\\';
    const QChar sl = u'/';
    auto row = [](const char *name, const QString &path, QChar sep, QStringList expected) {
        QTest::newRow(name) << path << sep << expected;
    };
    row("house12", R"(C:\models\house12.rwx)", bs,
        {R"(C:\models\)", R"(C:\)", "house12.rwx", "house12", ".rwx", "house", "12"});
    row("no digits", R"(C:\models\house.rwx)", bs,
        {R"(C:\models\)", R"(C:\)", "house.rwx", "house", ".rwx", "house", "0"});
    row("all digits", R"(C:\models\007.rwx)", bs, {R"(C:\models\)", R"(C:\)", "007.rwx", "007", ".rwx", "", "007"});
    row("capital extension", R"(C:\models\tree_b2_010.RWX)", bs,
        {R"(C:\models\)", R"(C:\)", "tree_b2_010.RWX", "tree_b2_010", ".RWX", "tree_b2_", "010"});
    row("digit inside", R"(C:\models\h2o.rwx)", bs, {R"(C:\models\)", R"(C:\)", "h2o.rwx", "h2o", ".rwx", "h2o", "0"});
    row("two dots", R"(C:\models\tree.b3.rwx)", bs,
        {R"(C:\models\)", R"(C:\)", "tree.b3.rwx", "tree.b3", ".rwx", "tree.b", "3"});
    row("drive root", R"(D:\house12.rwx)", bs, {R"(D:\)", R"(D:\)", "house12.rwx", "house12", ".rwx", "house", "12"});
    row("network path", R"(\\server\share\a1.rwx)", bs,
        {R"(\\server\share\)", R"(\)", "a1.rwx", "a1", ".rwx", "a", "1"});
    row("no separator", "house12.rwx", bs, {"", "", "house12.rwx", "house12", ".rwx", "house", "12"});
    row("posix", "/home/u/models/house12.rwx", sl,
        {"/home/u/models/", "/", "house12.rwx", "house12", ".rwx", "house", "12"});
    row("posix root", "/house12.rwx", sl, {"/", "/", "house12.rwx", "house12", ".rwx", "house", "12"});
    row("posix blanks kept", "/m/ tree 7 .rwx", sl, {"/m/", "/", " tree 7 .rwx", " tree 7 ", ".rwx", " tree 7 ", "0"});
    row("dot in folder only", "/m.d/h5.x", sl, {"/m.d/", "/", "h5.x", "h5", ".x", "h", "5"});
}

void AppLogicTest::splitsPaths()
{
    QFETCH(QString, path);
    QFETCH(QChar, separator);
    QFETCH(QStringList, expected);
    const std::optional<PathParts> parts = splitPath(path, separator);
    QVERIFY(parts);
    QCOMPARE(parts->folder, expected[0]);
    QCOMPARE(parts->driveRoot, expected[1]);
    QCOMPARE(parts->fileName, expected[2]);
    QCOMPARE(parts->baseName, expected[3]);
    QCOMPARE(parts->extension, expected[4]);
    QCOMPARE(parts->folder + parts->fileName, path);
    QCOMPARE(parts->baseName + parts->extension, parts->fileName);
    const std::optional<RunningNumber> split = splitRunningNumber(parts->baseName);
    QVERIFY(split);
    QCOMPARE(split->prefix, expected[5]);
    QCOMPARE(split->number, expected[6]);
}

void AppLogicTest::refusesNamesWithoutDot()
{
    QVERIFY(!splitPath(R"(C:\models\README)", u'\\'));
    QVERIFY(!splitPath("/home/u/models.d/house12", u'/'));
    QVERIFY(!splitPath("", u'/'));
    // A file named only by its extension splits, with an empty base name that
    // leaves the previous running number standing.
    const auto parts = splitPath(R"(C:\models\.rwx)", u'\\');
    QVERIFY(parts);
    QCOMPARE(parts->baseName, QString());
    QCOMPARE(parts->extension, QStringLiteral(".rwx"));
    QVERIFY(!splitRunningNumber(parts->baseName));
}

void AppLogicTest::splitsRunningNumbers_data()
{
    QTest::addColumn<QString>("baseName");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("number");
    QTest::newRow("one digit") << "a1" << "a" << "1";
    QTest::newRow("single digit name") << "5" << "" << "5";
    QTest::newRow("single letter") << "x" << "x" << "0";
    QTest::newRow("ends in blank") << "house12 " << "house12 " << "0";
    QTest::newRow("arabic-indic digits are not digits") << QString::fromUtf8("house\u0661\u0662") << QString::fromUtf8("house\u0661\u0662") << "0";
    QTest::newRow("fullwidth digits are not digits") << QString::fromUtf8("h\uFF11") << QString::fromUtf8("h\uFF11") << "0";
    QTest::newRow("ascii after other digits") << QString::fromUtf8("h\u0661" "42") << QString::fromUtf8("h\u0661") << "42";
    QTest::newRow("long number") << "v000123456789012345678901" << "v" << "000123456789012345678901";
}

void AppLogicTest::splitsRunningNumbers()
{
    QFETCH(QString, baseName);
    QFETCH(QString, prefix);
    QFETCH(QString, number);
    const auto split = splitRunningNumber(baseName);
    QVERIFY(split);
    QCOMPARE(split->prefix, prefix);
    QCOMPARE(split->number, number);
}

void AppLogicTest::countsOnExactly_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("next");
    QTest::newRow("12") << "12" << "13";
    QTest::newRow("0") << "0" << "1";
    QTest::newRow("007") << "007" << "8";
    QTest::newRow("010") << "010" << "11";
    QTest::newRow("9") << "9" << "10";
    QTest::newRow("123") << "123" << "124";
    QTest::newRow("0009") << "0009" << "10";
    QTest::newRow("000") << "000" << "1";
    QTest::newRow("1999") << "1999" << "2000";
    QTest::newRow("empty") << "" << "1";
    QTest::newRow("not digits") << "1a" << "1";
    QTest::newRow("16 digits") << "1234567890123456" << "1234567890123457";
    QTest::newRow("20 nines") << "99999999999999999999" << "100000000000000000000";
    QTest::newRow("past double precision") << "9007199254740993" << "9007199254740994";
}

void AppLogicTest::countsOnExactly()
{
    QFETCH(QString, number);
    QFETCH(QString, next);
    QCOMPARE(nextNumber(number), next);
}

void AppLogicTest::laysOutTheWindow_data()
{
    QTest::addColumn<float>("w");
    QTest::addColumn<float>("h");
    QTest::addColumn<float>("outerW");
    QTest::addColumn<float>("outerH");
    QTest::newRow("start-up size") << 9450.f << 7740.f << 9450.f << 7740.f;
    QTest::newRow("too narrow") << 3000.f << 7740.f << 4500.f << 7740.f;
    QTest::newRow("too low") << 9450.f << 4499.f << 9450.f << 4500.f;
    QTest::newRow("both too small") << 15.f << 0.f << 4500.f << 4500.f;
    QTest::newRow("minimum") << 4500.f << 4500.f << 4500.f << 4500.f;
    QTest::newRow("large") << 28800.f << 16200.f << 28800.f << 16200.f;
}

void AppLogicTest::laysOutTheWindow()
{
    QFETCH(float, w);
    QFETCH(float, h);
    QFETCH(float, outerW);
    QFETCH(float, outerH);
    const layout::Result r = layout::layoutWindow(w, h, layout::startupControls());
    QCOMPARE(r.outerWidth, outerW);
    QCOMPARE(r.outerHeight, outerH);
    const layout::Controls &c = r.controls;
    QCOMPARE(c.pane, QRectF(0, 0, outerW - 120, outerH - 1605));
    QCOMPARE(c.saveZipNextButton, QRectF(75, outerH - 1500, 1335, 735));
    const float offsets[3] = {1500, 1260, 1020};
    const auto labels = c.labels.inOrder();
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(labels[row], QRectF(1560, outerH - offsets[row], 1335, 255));
        QCOMPARE(labels[row + 3], QRectF(3000, outerH - offsets[row], outerW - 1195, 255));
    }
    if (w == 9450.f && h == 7740.f) {
        // The start-up layout comes back, except the wider value labels.
        layout::Controls startup = layout::startupControls();
        for (QRectF *value : {&startup.labels.rwxFolder, &startup.labels.zipFolder, &startup.labels.prefix})
            value->setWidth(8255);
        QCOMPARE(c, startup);
    }
    if (outerW == 4500.f && outerH == 4500.f) {
        QCOMPARE(c.pane.width(), 4380.0);
        QCOMPARE(c.pane.height(), 2895.0);
        QCOMPARE(c.saveZipNextButton.top(), 3000.0);
        QCOMPARE(c.labels.rwxFolder.width(), 3305.0);
    }
}

void AppLogicTest::keepsWhatTheLayoutDoesNotOwn()
{
    layout::Controls moved = layout::startupControls();
    moved.pane.moveLeft(30);
    moved.saveZipNextButton.setWidth(99);
    moved.labels.rwxFolderCaption.moveLeft(7);
    const layout::Result r = layout::layoutWindow(9450, 7740, moved);
    QCOMPARE(r.controls.pane.left(), 30.0);
    QCOMPARE(r.controls.saveZipNextButton.width(), 99.0);
    QCOMPARE(r.controls.labels.rwxFolderCaption.left(), 7.0);
}

void AppLogicTest::convertsPixelsAndTwips()
{
    QCOMPARE(layout::outerWidthFor(622), 9450.f);
    QCOMPARE(layout::outerHeightFor(470), 7740.f);
    QCOMPARE(layout::clientSizeFor(9450, 7740), QSize(622, 470));
    QCOMPARE(layout::clientSizeFor(4500, 4500), QSize(292, 254));
    QCOMPARE(layout::toPixels(QRectF(75, 6240, 1335, 735)), QRect(5, 416, 89, 49));
}

void AppLogicTest::bytesComeBackUnchanged_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");
    const int utf8 = int(ScriptEncoding::Utf8);
    const int cp1252 = int(ScriptEncoding::Windows1252);
    QTest::newRow("empty") << QByteArray() << utf8 << false;
    QTest::newRow("ascii crlf") << QByteArray("modelbegin\r\nvertex 1 2 3\r\nmodelend\r\n") << utf8 << false;
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBFmodelbegin # caf\xC3\xA9\n") << utf8 << true;
    QTest::newRow("mark alone") << QByteArray("\xEF\xBB\xBF") << utf8 << true;
    QTest::newRow("utf-8 four bytes") << QByteArray("# \xF0\x9F\x99\x82\n") << utf8 << false;
    QTest::newRow("windows code page comment") << QByteArray("# \x93quoted\x94 caf\xE9 \x80 5\xB0\r\nvertex 0 0 0\r\n") << cp1252 << false;
    QTest::newRow("overlong") << QByteArray("a\xC0\x80z") << cp1252 << false;
    QTest::newRow("surrogate") << QByteArray("a\xED\xA0\x80z") << cp1252 << false;
    QTest::newRow("past U+10FFFF") << QByteArray("a\xF4\x90\x80\x80z") << cp1252 << false;
    QTest::newRow("cut off at the end") << QByteArray("abc\xE2\x82") << cp1252 << false;
    QTest::newRow("mark then cp1252") << QByteArray("\xEF\xBB\xBF# \xE9\n") << cp1252 << false;
    QTest::newRow("nul bytes") << QByteArray("a\0b\0\xFF", 5) << cp1252 << false;
    QTest::newRow("nul in utf-8") << QByteArray("a\0b", 3) << utf8 << false;
    const int le = int(ScriptEncoding::Utf16LE);
    const int be = int(ScriptEncoding::Utf16BE);
    QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE" "a\0\r\0\n\0", 8) << le << true;
    QTest::newRow("utf-16 be, a pair") << QByteArray("\xFE\xFF\0a\xD8\x3D\xDE\x42", 8) << be << true;
    QTest::newRow("utf-16 mark alone") << QByteArray("\xFF\xFE") << le << true;
    QTest::newRow("utf-16, U+FEFF after the mark") << QByteArray("\xFF\xFE\xFF\xFE" "a\0", 6) << le << true;
    QTest::newRow("utf-16, lone high surrogate") << QByteArray("\xFF\xFE\0\xD8" "a\0", 6) << cp1252 << false;
    QTest::newRow("utf-16, lone low surrogate") << QByteArray("\xFE\xFF\xDC\0", 4) << cp1252 << false;
    QTest::newRow("utf-16, high surrogate at the end") << QByteArray("\xFF\xFE" "a\0\x3D\xD8", 6) << cp1252 << false;
    QTest::newRow("utf-16, odd length") << QByteArray("\xFF\xFE" "a\0b", 5) << cp1252 << false;
    // Long texts are converted a megabyte at a time, never cutting a pair.
    QByteArray longUtf16("\xFF\xFE");
    for (int i = 0; i < (1 << 19) - 1; ++i)
        longUtf16.append("x\0", 2);
    longUtf16.append("\x3D\xD8\x42\xDE" "y\0", 6);
    QTest::newRow("utf-16, pair across a megabyte boundary") << longUtf16 << le << true;
    QByteArray every;
    for (int i = 0; i < 256; ++i)
        every.append(char(i));
    QTest::newRow("every byte") << every << cp1252 << false;
    QByteArray longAscii(100003, 'x');
    longAscii[99999] = '\xE9';
    QTest::newRow("8-bit byte far in") << longAscii << cp1252 << false;
}

void AppLogicTest::bytesComeBackUnchanged()
{
    QFETCH(QByteArray, raw);
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    const DecodedScript decoded = decodeScript(raw);
    QCOMPARE(int(decoded.encoding), encoding);
    QCOMPARE(decoded.byteOrderMark, bom);
    QVERIFY(decoded.utf8.isValidUtf8());
    const EncodedScript encoded = encodeScript(decoded.utf8, decoded.encoding, decoded.byteOrderMark);
    QCOMPARE(encoded.unwritable, QStringList());
    QCOMPARE(encoded.bytes, raw);
}

void AppLogicTest::readsTheWindowsCodePage()
{
    // The code page's letters and quotes, and the five bytes it leaves undefined, each as one character.
    const QByteArray raw("\x80\x93\x81\x8D\x8F\x90\x9D\xE9\x94");
    const DecodedScript decoded = decodeScript(raw);
    QCOMPARE(decoded.encoding, ScriptEncoding::Windows1252);
    QCOMPARE(QString::fromUtf8(decoded.utf8), QString::fromUtf8("\u20AC\u201C\u0081\u008D\u008F\u0090\u009D\u00E9\u201D"));
    QCOMPARE(encodeScript(decoded.utf8, decoded.encoding, false).bytes, raw);
}

void AppLogicTest::namesWhatTheCodePageCannotHold_data()
{
    QTest::addColumn<QByteArray>("utf8"); // the pane's text
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QStringList>("unwritable");
    const int utf8 = int(ScriptEncoding::Utf8);
    const int cp1252 = int(ScriptEncoding::Windows1252);
    QTest::newRow("letters, quotes and euro sign fit") << QByteArray("# caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D \xE2\x82\xAC") << cp1252 << false
                                                      << QByteArray("# caf\xE9 \x93q\x94 \x80") << QStringList();
    QTest::newRow("named once each, in order") << QString::fromUtf8("\u2603 a\u03A9 \u2603 \U0001F642\u03A9").toUtf8() << cp1252 << false
                                               << QByteArray() << QStringList({"\u2603", "\u03A9", "\U0001F642"});
    QTest::newRow("the first five only") << QString::fromUtf8("\u0100\u0101\u0102\u0103\u0104\u0105\u0106").toUtf8() << cp1252 << false
                                         << QByteArray() << QStringList({"\u0100", "\u0101", "\u0102", "\u0103", "\u0104"});
    QTest::newRow("utf-8 holds anything, mark kept") << QByteArray("a\xE2\x98\x83") << utf8 << true
                                                     << QByteArray("\xEF\xBB\xBF" "a\xE2\x98\x83") << QStringList();
    // Long texts are converted a megabyte at a time.
    QByteArray split(1 << 20, 'x');
    split.insert((1 << 20) - 1, "\xE2\x82\xAC");
    QByteArray splitSaved(1 << 20, 'x');
    splitSaved.insert((1 << 20) - 1, "\x80");
    QTest::newRow("character across a megabyte boundary") << split << cp1252 << false << splitSaved << QStringList();
    QTest::newRow("unwritable far in") << QByteArray(3 << 20, 'x') + "\xE2\x98\x83" << cp1252 << false << QByteArray() << QStringList({"\u2603"});
}

void AppLogicTest::namesWhatTheCodePageCannotHold()
{
    QFETCH(QByteArray, utf8);
    QFETCH(int, encoding);
    QFETCH(bool, bom);
    QFETCH(QByteArray, saved);
    QFETCH(QStringList, unwritable);
    const EncodedScript encoded = encodeScript(utf8, ScriptEncoding(encoding), bom);
    QCOMPARE(encoded.unwritable, unwritable);
    QCOMPARE(encoded.fits(), unwritable.isEmpty());
    QCOMPARE(encoded.bytes, saved);
}

void AppLogicTest::detectsLineBreaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("style");
    QTest::newRow("lf") << QByteArray("a\nb\n") << int(LineBreak::Lf);
    QTest::newRow("crlf") << QByteArray("a\r\nb") << int(LineBreak::CrLf);
    QTest::newRow("cr") << QByteArray("a\rb\r") << int(LineBreak::Cr);
    QTest::newRow("none") << QByteArray("ab") << int(LineBreak::CrLf);
    QTest::newRow("mixed crlf and lf") << QByteArray("a\r\nb\nc") << int(LineBreak::CrLf);
    QTest::newRow("lf with a lone cr") << QByteArray("a\rb\nc\n") << int(LineBreak::Lf);
    QTest::newRow("cr, the last line lf") << QByteArray("a\rb\rc\n") << int(LineBreak::Cr);
}

void AppLogicTest::detectsLineBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, style);
    QCOMPARE(int(detectLineBreak(bytes)), style);
}

void AppLogicTest::restoresLineBreaks_data()
{
    QTest::addColumn<QString>("original");
    QTest::addColumn<QString>("edited"); // breaksToCrLf(original), characters deleted
    QTest::addColumn<QString>("restored"); // "!" when there is nothing to restore
    QTest::newRow("each kind kept") << "a\r\nb\nc\rd" << "a\r\nb\r\nc\r\nd" << "a\r\nb\nc\rd";
    QTest::newRow("first of a run kept") << "a\n\r\n\rb" << "a\r\nb" << "a\nb";
    QTest::newRow("run at the start gone") << "\r\n\n\rb" << "b" << "b";
    QTest::newRow("lone cr meets lf") << "a\r#\nb" << "a\r\n\r\nb" << "a\n\nb";
    QTest::newRow("run of lone crs meets lf") << "a\r\r#\nb" << "a\r\n\r\n\r\nb" << "a\n\n\nb";
    QTest::newRow("lone cr meets cr lf") << "a\r#\r\nb" << "a\r\n\r\nb" << "a\r\r\nb";
    QTest::newRow("characters added") << "a\nb" << "a\r\nxb" << "!";
    QTest::newRow("pair split") << "a\nb" << "a\rb" << "!";
    QTest::newRow("order changed") << "ab" << "ba" << "!";
}

void AppLogicTest::restoresLineBreaks()
{
    QFETCH(QString, original);
    QFETCH(QString, edited);
    QFETCH(QString, restored);
    const std::optional<QString> got = restoreLineBreaks(original, edited);
    QCOMPARE(got.value_or(QStringLiteral("!")), restored);
    if (got)
        QCOMPARE(breaksToCrLf(*got), edited);
}

void AppLogicTest::lineBreakBoundaryRoundTrips()
{
    // Whatever the pane holds, its whole text as CR LF text comes back as the
    // same characters.
    QCOMPARE(breaksToCrLf(u"a\nb\rc\r\n\r\r\n"), QStringLiteral("a\r\nb\r\nc\r\n\r\n\r\n"));
    QCOMPARE(breaksFromCrLf(u"x\r\ny\r\n", LineBreak::Lf), QStringLiteral("x\ny\n"));
    QCOMPARE(breaksFromCrLf(u"x\r\ny\r\n", LineBreak::Cr), QStringLiteral("x\ry\r"));
    QRandomGenerator random(7);
    const char16_t alphabet[] = {u'a', u'\r', u'\n'};
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int length = random.bounded(12);
        for (int k = 0; k < length; ++k)
            text.append(QChar(alphabet[random.bounded(3)]));
        QCOMPARE(restoreLineBreaks(text, breaksToCrLf(text)).value_or(QStringLiteral("!")), text);
    }
}

ORVANE_CORE_TEST_MAIN(AppLogicTest)
#include "tst_applogic.moc"

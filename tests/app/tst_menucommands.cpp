// The menus acting on the real pane: every template's text as it arrives,
// templates at the caret, and the three clean-up commands over the whole
// text, each one undoable step.
#include <QAction>
#include <QTemporaryDir>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "cleanup/cleanup.h"
#include "support/scriptgen.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"
#include "templates/menubar.h"

using namespace orvane_test;

namespace {
void setPaneText(ScriptEditor *pane, const QString &text)
{
    pane->loadDocument(text.toUtf8(), LineBreak::CrLf);
}

int caret(ScriptEditor *pane)
{
    return int(pane->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
}

// The length of the longest run of blanks in s.
int longestBlankRun(const QString &s)
{
    int longest = 0, run = 0;
    for (QChar c : s) {
        run = c == u' ' ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

// One row per template: caption, the length of the inserted text, the longest
// run of blanks in it, and its shape:
//   hint     keyword, blank, "#<...>" parameter hint, one line
//   keyword  the keyword and one trailing blank
//   plain    a complete statement, no comment
//   comment  a complete statement followed by a "# ..." comment
//   pair     Begin line, empty line, End line
struct TemplateRow {
    const char *name;
    const char *caption;
    int chars;
    int blankRun;
    const char *shape;
};
const TemplateRow kTemplates[] = {
    // Shape
    {"mnuVertex", "Vertex", 7, 1, "keyword"},
    {"mnuUV", "uv", 11, 1, "hint"},
    {"mnuPrelight", "prelight", 33, 1, "hint"},
    {"mnuQuad", "Quad", 5, 1, "keyword"},
    {"mnuTriangle", "Triangle", 9, 1, "keyword"},
    {"mnuPolygon", "Polygon", 8, 1, "keyword"},
    {"mnuTag", "Tag", 4, 1, "keyword"},
    {"mnuBlock", "Block", 31, 1, "hint"},
    {"mnuSphere", "Sphere", 26, 1, "hint"},
    {"mnuHemisphere", "Hemisphere", 30, 1, "hint"},
    {"mnuCylinder", "Cylinder", 55, 1, "hint"},
    {"mnuCone", "Cone", 31, 1, "hint"},
    {"mnuDisc", "Disc", 31, 1, "hint"},
    // Material
    {"mnuColor", "Color", 27, 1, "hint"},
    {"mnuSurface", "Surface", 39, 1, "hint"},
    {"mnuTexture", "Texture", 30, 1, "hint"},
    {"mnuOpacity", "Opacity", 30, 5, "comment"},
    {"mnuCollision", "Collision", 37, 6, "comment"},
    {"mnuLSf", "LightSampling facet", 51, 5, "comment"},
    {"mnuLSv", "LightSampling vertex", 40, 5, "comment"},
    {"mnuMMd", "MaterialMode double", 19, 1, "plain"},
    {"mnuRMMd", "RemoveMaterialMode double", 25, 1, "plain"},
    {"mnuGSw", "GeometrySampling wireframe", 26, 1, "plain"},
    {"mnuGSs", "GeometrySampling solid", 36, 5, "comment"},
    {"mnuAxisAz", "AxisAlignment zorientx", 31, 2, "comment"},
    {"mnuAxisAn", "AxisAlignment none", 18, 1, "plain"},
    {"mnuRUVs", "RandomUVs", 12, 1, "plain"},
    {"mnuTextureAM", "TextureAddressMode", 110, 3, "comment"},
    {"mnuOpacityfix", "Opacityfix", 34, 3, "comment"},
    {"mnuMaterial", "MaterialBegin/End", 28, 0, "pair"},
    // Transform
    {"mnuTranslate", "Translate", 22, 1, "hint"},
    {"mnuScale", "Scale", 18, 1, "hint"},
    {"mnuRotate", "Rotate", 27, 1, "hint"},
    {"mnuTransformBE", "TransformBegin/End", 30, 0, "pair"},
    {"mnuTransform", "Transform", 21, 1, "hint"},
    {"mnuIdentity", "Identity", 8, 0, "plain"},
    // Marks
    {"mnuModel", "ModelBegin/End", 22, 0, "pair"},
    {"mnuClump", "ClumpBegin/End", 22, 0, "pair"},
    {"mnuProto", "ProtoBegin/End", 30, 1, "pair"},
    {"mnuPrI", "ProtoInstance", 21, 1, "hint"},
    {"mnuPrIGeo", "ProtoInstanceGeometry", 29, 1, "hint"},
};
} // namespace

class MenuCommandTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void templateTexts_data();
    void templateTexts();
    void everyTemplateHasARow();
    void beginEndPairs_data();
    void beginEndPairs();
    void templatesAtTheCaret_data();
    void templatesAtTheCaret();
    void templateOnTheStartUpHint();
    void disabledItemsDoNothing();
    void oneUndoRemovesOneTemplate();
    void templatesInAnLfScriptUseLf();
    void cleanUpCommandsRewriteTheText_data();
    void cleanUpCommandsRewriteTheText();
    void cleanUpIsOneUndoStep();
    void failedCleanUpIsReported();
    void cleanUpHandlesLongScripts();
    void cleanUpKeepsAZeroWidthNoBreakSpaceAtTheStart();

private:
    ScriptedDialogs::Log m_log;
    std::unique_ptr<Form1> m_window;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void MenuCommandTest::init()
{
    m_log = {};
    m_dir = std::make_unique<QTemporaryDir>();
    m_window = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
}

void MenuCommandTest::templateTexts_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("chars");
    QTest::addColumn<int>("blankRun");
    QTest::addColumn<QString>("shape");
    for (const TemplateRow &row : kTemplates)
        QTest::newRow(row.name) << row.caption << row.chars << row.blankRun << row.shape;
}

// The text a menu item puts into an empty pane, checked by properties that
// fail when a text or a caption is mistyped.
void MenuCommandTest::templateTexts()
{
    QFETCH(QString, caption);
    QFETCH(int, chars);
    QFETCH(int, blankRun);
    QFETCH(QString, shape);

    const templates::MenuItem *item = templates::findItem(QTest::currentDataTag());
    QVERIFY(item);
    QCOMPARE(item->kind, templates::ItemKind::Template);
    QAction *action = m_window->action(QTest::currentDataTag());
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QVERIFY(!action->isCheckable());
    QVERIFY(action->isEnabled());
    setPaneText(m_window->scriptEditor(), QString());
    action->trigger();
    const QString text = m_window->scriptEditor()->wholeText();
    QCOMPARE(text, templates::toQString(item->text));
    QCOMPARE(caret(m_window->scriptEditor()), int(text.size()));
    QCOMPARE(text.size(), chars);
    QCOMPARE(longestBlankRun(text), blankRun);

    // Plain ASCII text: no tabs, no other control characters than the CR LF
    // of a pair, no line break at either end.
    QVERIFY(!text.contains(u'\t'));
    for (QChar c : text)
        QVERIFY2(c == u'\r' || c == u'\n' || (c >= u' ' && c.unicode() < 0x7f),
                 qPrintable(QString("char %1").arg(c.unicode())));
    QVERIFY(!text.startsWith(u'\r') && !text.startsWith(u'\n'));
    QVERIFY(!text.endsWith(u'\r') && !text.endsWith(u'\n'));
    QCOMPARE(text.contains(u'\r') || text.contains(u'\n'), shape == "pair");

    // A text never starts with a blank, and the statement's keyword is the
    // caption's first word ("#! " statements and pairs aside); "#!" is
    // always followed by one blank and the statement.
    QVERIFY(!text.startsWith(u' '));
    if (text.startsWith("#!"))
        QVERIFY2(text.startsWith("#! ") && text.at(3).isLetter(), qPrintable(text));
    QString statement = text.startsWith("#! ") ? text.mid(3) : text;
    if (shape != "pair")
        QVERIFY2(statement.startsWith(caption.section(u' ', 0, 0), Qt::CaseInsensitive),
                 qPrintable(statement));

    if (shape == "keyword") {
        QCOMPARE(text, caption + u' ');
    } else if (shape == "hint") {
        QVERIFY(text.contains(" #<"));
        QVERIFY(text.endsWith(u'>') || text.endsWith(u']'));
    } else if (shape == "plain") {
        QCOMPARE(statement.indexOf(u'#'), -1);
        QCOMPARE(text, text.startsWith("#! ") ? "#! " + caption : caption);
    } else if (shape == "comment") {
        // The comment is the last "#" and follows the run of blanks.
        const qsizetype hash = statement.indexOf(" # ");
        QVERIFY(hash > 0);
        QCOMPARE(statement.indexOf(u'#'), hash + 1);
        QVERIFY(statement.contains(QString(blankRun, u' ') + "# "));
    }
}

// The rows above are the table's templates, and these are its "#!" statements.
void MenuCommandTest::everyTemplateHasARow()
{
    int templates = 0;
    QStringList extensions;
    for (const templates::Menu &menu : templates::menuTable()) {
        for (const templates::MenuItem &item : menu.items) {
            if (item.kind != templates::ItemKind::Template)
                continue;
            ++templates;
            const QString name = templates::toQString(item.controlName);
            QVERIFY2(std::any_of(std::begin(kTemplates), std::end(kTemplates),
                                 [&](const TemplateRow &row) { return name == QLatin1String(row.name); }),
                     qPrintable(name));
            if (templates::toQString(item.text).startsWith("#!"))
                extensions << name;
        }
    }
    QCOMPARE(templates, 41);
    QCOMPARE(qsizetype(std::size(kTemplates)), 41);
    QCOMPARE(extensions, (QStringList{"mnuPrelight", "mnuCollision", "mnuRUVs", "mnuTextureAM", "mnuOpacityfix"}));
    QCOMPARE(m_window->caption(), QStringLiteral("Orvane"));
    QCOMPARE(m_window->currentFile().path, QString());
}

void MenuCommandTest::beginEndPairs_data()
{
    QTest::addColumn<QString>("beginLine");
    QTest::addColumn<QString>("endLine");

    QTest::newRow("mnuMaterial") << "MaterialBegin" << "MaterialEnd";
    QTest::newRow("mnuTransformBE") << "TransformBegin" << "TransformEnd";
    QTest::newRow("mnuModel") << "ModelBegin" << "ModelEnd";
    QTest::newRow("mnuClump") << "ClumpBegin" << "ClumpEnd";
    QTest::newRow("mnuProto") << "ProtoBegin #<name>" << "ProtoEnd";
}

void MenuCommandTest::beginEndPairs()
{
    QFETCH(QString, beginLine);
    QFETCH(QString, endLine);

    setPaneText(m_window->scriptEditor(), QString());
    m_window->action(QTest::currentDataTag())->trigger();
    const QString text = m_window->scriptEditor()->wholeText();
    // Three lines joined by CR LF: no lone CR or LF anywhere.
    QCOMPARE(text.split("\r\n"), (QStringList{beginLine, QString(), endLine}));
    QCOMPARE(text.count(u'\r'), 2);
    QCOMPARE(text.count(u'\n'), 2);
}

void MenuCommandTest::templatesAtTheCaret_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("selectFrom");
    QTest::addColumn<int>("selectTo"); // equal to selectFrom: just the caret
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("after");
    QTest::newRow("Quad at the end of a vertex line") << "Vertex 1 2 3" << 12 << 12 << QStringList{"mnuQuad"}
                                                      << "Vertex 1 2 3Quad ";
    QTest::newRow("Vertex twice") << "" << 0 << 0 << QStringList{"mnuVertex", "mnuVertex"} << "Vertex Vertex ";
    QTest::newRow("ModelBegin/End over the whole text") << "clumpbegin\r\nclumpend" << 0 << 20
                                                        << QStringList{"mnuModel"} << "ModelBegin\r\n\r\nModelEnd";
    QTest::newRow("Begin/End replaces, not encloses") << "a b c" << 2 << 3 << QStringList{"mnuClump"}
                                                      << "a ClumpBegin\r\n\r\nClumpEnd c";
    QTest::newRow("in the middle of a line") << "Vertex 1 2 3" << 7 << 7 << QStringList{"mnuRUVs"}
                                             << "Vertex #! RandomUVs1 2 3";
    QTest::newRow("Opacity with its comment") << "Vertex 1 2 3\r\n" << 14 << 14 << QStringList{"mnuOpacity"}
                                              << "Vertex 1 2 3\r\nOpacity .5     # 0=transparent";
}

void MenuCommandTest::templatesAtTheCaret()
{
    QFETCH(QString, before);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    QFETCH(QStringList, items);
    QFETCH(QString, after);
    ScriptEditor *pane = m_window->scriptEditor();
    setPaneText(pane, before);
    pane->SendScintilla(QsciScintillaBase::SCI_SETSEL, static_cast<unsigned long>(selectFrom), static_cast<long>(selectTo));
    for (const QString &item : items)
        m_window->action(item)->trigger();
    QCOMPARE(pane->wholeText(), after);
    QCOMPARE(after.size() - before.size() + (selectTo - selectFrom), [&] {
        qsizetype n = 0;
        for (const QString &item : items)
            n += templates::toQString(templates::findItem(item.toStdString())->text).size();
        return n;
    }());
    QVERIFY(!pane->hasSelectedText());
    // The caret stands right after the last insertion.
    const QString lastText = templates::toQString(templates::findItem(items.last().toStdString())->text);
    QCOMPARE(after.left(caret(pane)).endsWith(lastText), true);
    QCOMPARE(caret(pane), selectFrom + int(after.size() - before.size() + (selectTo - selectFrom)));
}

void MenuCommandTest::templateOnTheStartUpHint()
{
    ScriptEditor *pane = m_window->scriptEditor();
    m_window->action("mnuTextureAM")->trigger();
    const QString text = pane->wholeText();
    QVERIFY(text.endsWith(QStringLiteral("Drag & drop file to open.\r\n")));
    QCOMPARE(text.left(text.size() - 27), QStringLiteral("#! TextureAddressMode clamp   # 'wrap' - default, 'mirror' - "
                                                         "tiled(not recommended), 'clamp' - for masked tex."));
    QCOMPARE(pane->lines(), 2);
}

void MenuCommandTest::disabledItemsDoNothing()
{
    const QString before = m_window->scriptEditor()->wholeText();
    for (const char *name : {"mnuseparator3", "mnusep5", "mnuVer"}) {
        QAction *action = m_window->action(name);
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
        action->trigger();
    }
    QCOMPARE(m_window->scriptEditor()->wholeText(), before);
}

void MenuCommandTest::oneUndoRemovesOneTemplate()
{
    ScriptEditor *pane = m_window->scriptEditor();
    setPaneText(pane, QStringLiteral("abc"));
    pane->SendScintilla(QsciScintillaBase::SCI_SETSEL, 1UL, 2L);
    m_window->action("mnuProto")->trigger();
    m_window->action("mnuTag")->trigger();
    QCOMPARE(pane->wholeText(), QStringLiteral("aProtoBegin #<name>\r\n\r\nProtoEndTag c"));
    pane->undo();
    QCOMPARE(pane->wholeText(), QStringLiteral("aProtoBegin #<name>\r\n\r\nProtoEndc"));
    pane->undo();
    QCOMPARE(pane->wholeText(), QStringLiteral("abc"));
    QVERIFY(!pane->isUndoAvailable());
}

void MenuCommandTest::templatesInAnLfScriptUseLf()
{
    dropFiles(*m_window, {writeFile(m_dir->filePath("lf1.rwx"), "modelbegin\nmodelend\n")});
    ScriptEditor *pane = m_window->scriptEditor();
    pane->setCursorPosition(1, 0);
    m_window->action("mnuMaterial")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("modelbegin\nMaterialBegin\n\nMaterialEndmodelend\n"));
}

void MenuCommandTest::cleanUpCommandsRewriteTheText_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const QString script = QStringLiteral("# header\r\nmodelbegin  # start\r\n\r\n   vertex 1  2 3 #! prelight 1 0 0\r\n"
                                          "#! RandomUVs\r\n\r\n\r\nmodelend  \r\n");
    QTest::newRow("Delete Comments") << "mnuDC" << script
                                     << "\r\nmodelbegin  \r\n\r\n   vertex 1  2 3 #! prelight 1 0 0\r\n#! RandomUVs\r\n\r\n\r\nmodelend  \r\n";
    QTest::newRow("Delete Spacers") << "mnuds" << script
                                    << "# header\r\nmodelbegin # start\r\n\r\nvertex 1 2 3 #! prelight 1 0 0\r\n#! RandomUVs\r\n\r\n\r\nmodelend\r\n";
    QTest::newRow("Delete Empty Strings") << "mnuDES" << script
                                          << "# header\r\nmodelbegin  # start\r\n   vertex 1  2 3 #! prelight 1 0 0\r\n#! RandomUVs\r\nmodelend  \r\n";
    QTest::newRow("nothing to do") << "mnuDES" << "a\r\nb" << "a\r\nb";
    QTest::newRow("empty text") << "mnuDC" << "" << "";
}

void MenuCommandTest::cleanUpCommandsRewriteTheText()
{
    QFETCH(QString, command);
    QFETCH(QString, before);
    QFETCH(QString, after);
    dropFiles(*m_window, {writeFile(m_dir->filePath("house4.rwx"), before.toUtf8())});
    const CurrentFile file = m_window->currentFile();
    const QString caption = m_window->caption();
    m_window->action(command)->trigger();
    QCOMPARE(m_window->scriptEditor()->wholeText(), after);
    QCOMPARE(m_window->caption(), caption);
    QCOMPARE(m_window->currentFile().number, file.number);
    QCOMPARE(m_window->currentFile().path, file.path);
    QVERIFY(m_log.messages.isEmpty());
}

void MenuCommandTest::cleanUpIsOneUndoStep()
{
    ScriptEditor *pane = m_window->scriptEditor();
    const QString before = QStringLiteral("a  # one\r\n\r\n\r\nb # two\r\n");
    setPaneText(pane, before);
    for (const char *command : {"mnuDC", "mnuds", "mnuDES"})
        m_window->action(command)->trigger();
    QCOMPARE(pane->wholeText(), QStringLiteral("a\r\nb\r\n"));
    pane->undo();
    QCOMPARE(pane->wholeText(), QStringLiteral("a\r\n\r\n\r\nb\r\n"));
    pane->undo();
    QCOMPARE(pane->wholeText(), QStringLiteral("a  \r\n\r\n\r\nb \r\n"));
    pane->undo();
    QCOMPARE(pane->wholeText(), before);
    QVERIFY(!pane->isUndoAvailable());
    pane->redo();
    QCOMPARE(pane->wholeText(), QStringLiteral("a  \r\n\r\n\r\nb \r\n"));
}

void MenuCommandTest::failedCleanUpIsReported()
{
    const QByteArray bytes("a # x\r\n");
    dropFiles(*m_window, {writeFile(m_dir->filePath("house4.rwx"), bytes)});
    m_window->runCleanUp(templates::MenuCommand::DeleteComments, [](const QString &) -> QString { throw std::bad_alloc(); });
    QCOMPARE(m_log.messages.size(), 1);
    QCOMPARE(m_log.messages[0].title, QStringLiteral("Orvane."));
    QCOMPARE(m_log.messages[0].icon, QMessageBox::Critical);
    QCOMPARE(m_log.messages[0].text, QStringLiteral("Delete Comments could not change house4.rwx: there is not enough "
                                                    "memory.\nThe text is as it was."));
    QCOMPARE(m_window->scriptEditor()->documentBytes().toByteArray(), bytes);
    QVERIFY(!m_window->scriptEditor()->isUndoAvailable());
}

void MenuCommandTest::cleanUpHandlesLongScripts()
{
    // Far past 32767 characters, with the comment at the very end.
    QString script = generateScript({.size = 100000, .comments = false});
    script += QStringLiteral("quad 1 2 3 4 # last face");
    QVERIFY(script.size() > 100000);
    setPaneText(m_window->scriptEditor(), script);
    m_window->action("mnuDC")->trigger();
    QCOMPARE(m_window->scriptEditor()->wholeText(), DeleteComments(script));
    QVERIFY(m_window->scriptEditor()->wholeText().endsWith(QStringLiteral("quad 1 2 3 4 ")));
}

void MenuCommandTest::cleanUpKeepsAZeroWidthNoBreakSpaceAtTheStart()
{
    // Of two byte-order marks the first is the file's; the second is text,
    // which a clean-up leaves where it is, like any other character.
    const QByteArray zwnbsp("\xEF\xBB\xBF");
    dropFiles(*m_window, {writeFile(m_dir->filePath("marks2.rwx"), zwnbsp + zwnbsp + "a # x\r\nb\r\n")});
    ScriptEditor *pane = m_window->scriptEditor();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a # x\r\nb\r\n");
    m_window->action("mnuDC")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a \r\nb\r\n");
    m_window->action("mnuDES")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a \r\nb\r\n");
}

ORVANE_GUI_TEST_MAIN(MenuCommandTest)
#include "tst_menucommands.moc"

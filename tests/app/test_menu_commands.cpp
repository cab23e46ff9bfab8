// The menus acting on the real pane: templates at the caret, and the three
// clean-up commands over the whole text, each one undoable step.
#include <QAction>
#include <QTemporaryDir>

#include "app/form1.h"
#include "app/richtextbox.h"
#include "cleanup/cleanup.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"
#include "templates/menubar.h"

using namespace orvane_test;

namespace {
void setPaneText(RichTextBox *pane, const QString &text)
{
    pane->loadDocument(text.toUtf8(), LineBreak::CrLf);
}

int caret(RichTextBox *pane)
{
    return int(pane->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS));
}
} // namespace

class MenuCommandTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void everyTemplateGoesInFromItsMenu();
    void templatesAtTheCaret_data();
    void templatesAtTheCaret();
    void templateOnTheStartUpHint();
    void disabledItemsDoNothing();
    void oneUndoRemovesOneTemplate();
    void templatesInAnLfScriptUseLf();
    void cleanUpCommandsRewriteTheText_data();
    void cleanUpCommandsRewriteTheText();
    void cleanUpIsOneUndoStep();
    void cleanUpKeepsAnLfScriptLf();
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

void MenuCommandTest::everyTemplateGoesInFromItsMenu()
{
    int templates = 0;
    for (const templates::Menu &menu : templates::menuTable()) {
        for (const templates::MenuItem &item : menu.items) {
            if (item.kind != templates::ItemKind::Template)
                continue;
            ++templates;
            const QString text = templates::toQString(item.text);
            setPaneText(m_window->richTextBox(), QString());
            QAction *action = m_window->action(templates::toQString(item.controlName));
            QVERIFY(action);
            action->trigger();
            QCOMPARE(m_window->richTextBox()->wholeText(), text);
            QCOMPARE(caret(m_window->richTextBox()), int(text.size()));
        }
    }
    QCOMPARE(templates, 41);
    QCOMPARE(m_window->caption(), QStringLiteral("Orvane"));
    QCOMPARE(m_window->currentFile().path, QString());
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
}

void MenuCommandTest::templatesAtTheCaret()
{
    QFETCH(QString, before);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    QFETCH(QStringList, items);
    QFETCH(QString, after);
    RichTextBox *pane = m_window->richTextBox();
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
    RichTextBox *pane = m_window->richTextBox();
    m_window->action("mnuTextureAM")->trigger();
    const QString text = pane->wholeText();
    QVERIFY(text.endsWith(QStringLiteral("Drag & drop file to open.\r\n")));
    const QString inserted = text.left(text.size() - 27);
    QCOMPARE(inserted.size(), 110);
    QVERIFY(!inserted.contains(u'\r') && !inserted.contains(u'\n'));
    QVERIFY(inserted.startsWith(QStringLiteral("#! TextureAddressMode clamp   # 'wrap'")));
    QCOMPARE(pane->lines(), 2);
}

void MenuCommandTest::disabledItemsDoNothing()
{
    const QString before = m_window->richTextBox()->wholeText();
    for (const char *name : {"mnuseparator3", "mnusep5", "mnuVer"}) {
        QAction *action = m_window->action(name);
        QVERIFY(action);
        QVERIFY(!action->isEnabled());
        action->trigger();
    }
    QCOMPARE(m_window->richTextBox()->wholeText(), before);
}

void MenuCommandTest::oneUndoRemovesOneTemplate()
{
    RichTextBox *pane = m_window->richTextBox();
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
    RichTextBox *pane = m_window->richTextBox();
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
    QCOMPARE(m_window->richTextBox()->wholeText(), after);
    QCOMPARE(m_window->caption(), caption);
    QCOMPARE(m_window->currentFile().number, file.number);
    QCOMPARE(m_window->currentFile().path, file.path);
    QVERIFY(m_log.messages.isEmpty());
}

void MenuCommandTest::cleanUpIsOneUndoStep()
{
    RichTextBox *pane = m_window->richTextBox();
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

void MenuCommandTest::cleanUpKeepsAnLfScriptLf()
{
    dropFiles(*m_window, {writeFile(m_dir->filePath("lf2.rwx"), "a # x\n\n\nb  c\n")});
    RichTextBox *pane = m_window->richTextBox();
    m_window->action("mnuDC")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("a \n\n\nb  c\n"));
    m_window->action("mnuds")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("a\n\n\nb c\n"));
    m_window->action("mnuDES")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("a\nb c\n"));
}

void MenuCommandTest::cleanUpHandlesLongScripts()
{
    // Far past 32767 characters, with the comment at the very end.
    QString script;
    for (int i = 0; i < 8000; ++i)
        script += QStringLiteral("vertex %1 0 0\r\n").arg(i);
    script += QStringLiteral("quad 1 2 3 4 # last face");
    QVERIFY(script.size() > 100000);
    setPaneText(m_window->richTextBox(), script);
    m_window->action("mnuDC")->trigger();
    QCOMPARE(m_window->richTextBox()->wholeText(), DeleteComments(script));
    QVERIFY(m_window->richTextBox()->wholeText().endsWith(QStringLiteral("quad 1 2 3 4 ")));
}

void MenuCommandTest::cleanUpKeepsAZeroWidthNoBreakSpaceAtTheStart()
{
    // Of two byte-order marks the first is the file's; the second is text,
    // which a clean-up leaves where it is, like any other character.
    const QByteArray zwnbsp("\xEF\xBB\xBF");
    dropFiles(*m_window, {writeFile(m_dir->filePath("marks2.rwx"), zwnbsp + zwnbsp + "a # x\r\nb\r\n")});
    RichTextBox *pane = m_window->richTextBox();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a # x\r\nb\r\n");
    m_window->action("mnuDC")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a \r\nb\r\n");
    m_window->action("mnuDES")->trigger();
    QCOMPARE(pane->documentBytes().toByteArray(), zwnbsp + "a \r\nb\r\n");
}

ORVANE_GUI_TEST_MAIN(MenuCommandTest)
#include "test_menu_commands.moc"

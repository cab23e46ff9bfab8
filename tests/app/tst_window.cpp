// The main window as a user meets it: start-up state, layout, the close
// question, always on top, and scripts dropped on the pane.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include "app/form1.h"
#include "app/scripteditor.h"
#include "rwx/livechecks.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;

namespace {
// Everything a failed open must leave as it was.
struct Snapshot {
    QByteArray document;
    QString caption;
    QStringList labels;
    bool buttonEnabled;
    QStringList record;
    bool operator==(const Snapshot &) const = default;
};

Snapshot snapshot(const Form1 &w)
{
    const CurrentFile &f = w.currentFile();
    QStringList labels;
    for (const QLabel *label : w.labels().inOrder())
        labels << label->text();
    return {w.scriptEditor()->documentBytes().toByteArray(), w.caption(), labels, w.saveZipNextButton()->isEnabled(),
            {f.path, f.folder, f.driveRoot, f.fileName, f.baseName, f.extension, f.prefix, f.number, f.zipFolder}};
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void opensInItsStartState();
    void readsTheStoredZipFolder_data();
    void readsTheStoredZipFolder();
    void laysOutAtStartAndKeepsTheMinimum();
    void minimisingMovesNothing();
    void asksBeforeClosing();
    void togglesAlwaysOnTop();
    void hintIsOrdinaryText();
    void opensADroppedScript();
    void opensOnlyTheFirstOfSeveral();
    void failedDropsChangeNothing_data();
    void failedDropsChangeNothing();
    void keepsEightBitBytes();
    void keepsLfBreaksAtTheBoundary();
    void emptyBaseNameKeepsTheNumber();
    void firstFolderBecomesTheZipFolder();
    void marksStructuralMistakes();

private:
    std::unique_ptr<Form1> makeWindow();
    ScriptedDialogs::Log m_log;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void WindowTest::init()
{
    m_log = {};
    m_dir = std::make_unique<QTemporaryDir>();
    storeZipFolder(QString());
}

std::unique_ptr<Form1> WindowTest::makeWindow()
{
    return std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
}

void WindowTest::opensInItsStartState()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->windowTitle(), QStringLiteral("Orvane"));
    QCOMPARE(w->objectName(), QStringLiteral("Form1"));
    QCOMPARE(w->scriptEditor()->objectName(), QStringLiteral("RichTextBox1"));
    QCOMPARE(w->scriptEditor()->wholeText(), QStringLiteral("Drag & drop file to open.\r\n"));
    QCOMPARE(w->saveZipNextButton()->objectName(), QStringLiteral("Command2"));
    QCOMPARE(w->saveZipNextButton()->text(), QStringLiteral("Save Zip Next"));
    QVERIFY(!w->saveZipNextButton()->isEnabled());
    const QStringList captions = {"RWX folder", "ZIP  folder", "Prefix", "", "", ""};
    const auto labels = w->labels().inOrder();
    for (int i = 1; i <= 6; ++i) {
        QCOMPARE(labels[i - 1]->objectName(), QStringLiteral("Label%1").arg(i));
        QCOMPARE(labels[i - 1]->text(), captions[i - 1]);
        QCOMPARE(labels[i - 1]->font().underline(), i == 2);
        QCOMPARE(labels[i - 1]->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(w->labels().zipFolderCaption->cursor().shape(), Qt::PointingHandCursor);
    QStringList menus;
    for (QAction *a : w->menuBar()->actions())
        menus << a->text();
    // The five menus of the table, then View with the 3D preview.
    QCOMPARE(menus, QStringList({"Shape", "Material", "Transform", "Marks", "Options", "View"}));
    QVERIFY(w->action("mnuAonT")->isCheckable());
    QVERIFY(!w->action("mnuAonT")->isChecked());
    QVERIFY(!w->action("mnuVer")->isEnabled());
    QCOMPARE(w->currentFile().path, QString());
    QCOMPARE(w->currentFile().number, QString());
    QVERIFY(w->scriptEditor()->wrapMode() == QsciScintilla::WrapNone);
    QVERIFY(QFontInfo(w->scriptEditor()->font()).fixedPitch());
    QCOMPARE(w->focusWidget(), static_cast<QWidget *>(w->scriptEditor()));
    QWidget *next = w->scriptEditor()->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    QCOMPARE(next, static_cast<QWidget *>(w->saveZipNextButton()));
}

void WindowTest::readsTheStoredZipFolder_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("absent") << QString();
    QTest::newRow("missing folder used as stored") << QStringLiteral("/no/such/folder");
    QTest::newRow("no trailing separator added") << QStringLiteral("/tmp/zips");
}

void WindowTest::readsTheStoredZipFolder()
{
    QFETCH(QString, stored);
    storeZipFolder(stored);
    auto w = makeWindow();
    QCOMPARE(w->currentFile().zipFolder, stored.isNull() ? QString() : stored);
    QCOMPARE(w->labels().zipFolder->text(), stored.isNull() ? QString() : stored);
    QVERIFY(m_log.messages.isEmpty());
}

void WindowTest::laysOutAtStartAndKeepsTheMinimum()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    // 9330 x 7050 twips of client area: the start-up layout in pixels.
    QCOMPARE(w->centralWidget()->size(), QSize(622, 470));
    QCOMPARE(w->scriptEditor()->geometry(), QRect(0, 0, 622, 409));
    QCOMPARE(w->saveZipNextButton()->geometry(), QRect(5, 416, 89, 49));
    QCOMPARE(w->labels().rwxFolderCaption->geometry(), QRect(104, 416, 89, 17));
    QCOMPARE(w->labels().zipFolderCaption->geometry(), QRect(104, 432, 89, 17));
    QCOMPARE(w->labels().prefixCaption->geometry(), QRect(104, 448, 89, 17));
    QCOMPARE(w->labels().rwxFolder->geometry(), QRect(200, 416, 550, 17)); // 9450 - 1195 twips
    QCOMPARE(w->labels().prefix->geometry(), QRect(200, 448, 550, 17));

    const int menuHeight = w->height() - w->centralWidget()->height();
    w->resize(100, 100);
    QTRY_COMPARE(w->centralWidget()->size(), QSize(292, 254));
    QCOMPARE(w->height() - menuHeight, 254);
    QCOMPARE(w->scriptEditor()->geometry(), QRect(0, 0, 292, 193));
    QCOMPARE(w->saveZipNextButton()->geometry().top(), 200);
    QCOMPARE(w->labels().zipFolder->geometry(), QRect(200, 216, 220, 17));

    w->resize(1000, 700 + menuHeight);
    QTRY_COMPARE(w->centralWidget()->size(), QSize(1000, 700));
    QCOMPARE(w->scriptEditor()->geometry(), QRect(0, 0, 1000, 639));
    QCOMPARE(w->labels().prefixCaption->geometry(), QRect(104, 678, 89, 17));
}

void WindowTest::minimisingMovesNothing()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const QRect pane = w->scriptEditor()->geometry();
    const QRect button = w->saveZipNextButton()->geometry();
    w->showMinimized();
    QTRY_VERIFY(w->isMinimized());
    w->resize(100, 100); // a size change while minimised lays nothing out
    QCoreApplication::processEvents();
    QCOMPARE(w->scriptEditor()->geometry(), pane);
    QCOMPARE(w->saveZipNextButton()->geometry(), button);
}

void WindowTest::asksBeforeClosing()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    m_log.buttons = {QMessageBox::No};
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QCOMPARE(m_log.messages.size(), 1);
    const MessageBoxRequest &q = m_log.messages[0];
    QCOMPARE(q.text, QStringLiteral("Exit?"));
    QCOMPARE(q.title, QStringLiteral("Orvane."));
    QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(q.icon, QMessageBox::Question);
    QCOMPARE(q.defaultButton, QMessageBox::No);

    m_log.buttons = {QMessageBox::Yes};
    QVERIFY(w->close());
    QVERIFY(!w->isVisible());
    QCOMPARE(m_log.messages.size(), 2);
}

void WindowTest::togglesAlwaysOnTop()
{
    auto w = makeWindow();
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QAction *item = w->action("mnuAonT");
    w->toggleAlwaysOnTop();
    QVERIFY(item->isChecked());
    QVERIFY(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(w->isVisible());
    w->toggleAlwaysOnTop();
    QVERIFY(!item->isChecked());
    QVERIFY(!w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(w->isVisible());
}

void WindowTest::hintIsOrdinaryText()
{
    auto w = makeWindow();
    ScriptEditor *pane = w->scriptEditor();
    pane->selectAll();
    pane->replaceSelection(QStringLiteral("Vertex 1 2 3"));
    QCOMPARE(pane->wholeText(), QStringLiteral("Vertex 1 2 3"));
    QVERIFY(!w->saveZipNextButton()->isEnabled());
    QCOMPARE(w->caption(), QStringLiteral("Orvane"));
}

void WindowTest::opensADroppedScript()
{
    auto w = makeWindow();
    const QByteArray bytes("modelbegin\r\nclumpbegin\r\nclumpend\r\nmodelend\r\n");
    const QString path = writeFile(m_dir->filePath("house12.rwx"), bytes);
    dropFiles(*w, {path});
    const CurrentFile &f = w->currentFile();
    QCOMPARE(f.path, path);
    QCOMPARE(f.folder, m_dir->path() + "/");
    QCOMPARE(f.driveRoot, QStringLiteral("/"));
    QCOMPARE(f.fileName, QStringLiteral("house12.rwx"));
    QCOMPARE(f.baseName, QStringLiteral("house12"));
    QCOMPARE(f.extension, QStringLiteral(".rwx"));
    QCOMPARE(f.prefix, QStringLiteral("house"));
    QCOMPARE(f.number, QStringLiteral("12"));
    QCOMPARE(w->caption(), "Orvane.  " + path);
    QCOMPARE(w->windowTitle(), "Orvane.  " + path);
    QCOMPARE(w->labels().rwxFolder->text(), f.folder);
    QCOMPARE(w->labels().zipFolder->text(), f.folder);
    QCOMPARE(w->labels().prefix->text(), QStringLiteral("house"));
    QVERIFY(w->saveZipNextButton()->isEnabled());
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), bytes);
    QCOMPARE(w->scriptEditor()->wholeText(), QString::fromLatin1(bytes));
    QVERIFY(!w->scriptEditor()->isUndoAvailable());
    QVERIFY(m_log.messages.isEmpty());
}

void WindowTest::opensOnlyTheFirstOfSeveral()
{
    auto w = makeWindow();
    const QString a = writeFile(m_dir->filePath("a7.rwx"), "first\n");
    const QString b = writeFile(m_dir->filePath("b8.rwx"), "second\n");
    const QString c = writeFile(m_dir->filePath("c9.rwx"), "third\n");
    dropFiles(*w, {a, b, c});
    QCOMPARE(w->currentFile().path, a);
    QCOMPARE(w->currentFile().number, QStringLiteral("7"));
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), QByteArray("first\n"));
}

void WindowTest::failedDropsChangeNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("dragged text") << "text";
    QTest::newRow("no dot in the name") << "nodot";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("a folder") << "folder";
    QTest::newRow("a web address") << "web";
    QTest::newRow("no data at all") << "empty";
}

void WindowTest::failedDropsChangeNothing()
{
    QFETCH(QString, kind);
    auto w = makeWindow();
    dropFiles(*w, {writeFile(m_dir->filePath("house3.rwx"), "clumpbegin\nclumpend\n")});
    w->scriptEditor()->setSelection(0, 2, 0, 7); // "umpbe" selected: a failed open must not touch it
    const Snapshot before = snapshot(*w);

    QMimeData mime;
    if (kind == "text") {
        mime.setText(QStringLiteral("Vertex 1 2 3"));
    } else if (kind == "nodot") {
        mime.setUrls({QUrl::fromLocalFile(writeFile(m_dir->filePath("README"), "other bytes\n"))});
    } else if (kind == "missing") {
        mime.setUrls({QUrl::fromLocalFile(m_dir->filePath("gone4.rwx"))});
    } else if (kind == "folder") {
        QDir(m_dir->path()).mkdir("models5.d");
        mime.setUrls({QUrl::fromLocalFile(m_dir->filePath("models5.d"))});
    } else if (kind == "web") {
        mime.setUrls({QUrl("https://example.invalid/house9.rwx")});
    }
    sendDrop(w->scriptEditor()->viewport(), &mime);
    QCOMPARE(snapshot(*w), before);
    QCOMPARE(w->scriptEditor()->selectedText(), QStringLiteral("umpbe"));
    QVERIFY(m_log.messages.isEmpty());
}

void WindowTest::keepsEightBitBytes()
{
    auto w = makeWindow();
    const QByteArray bytes("# caf\xE9 \x93" "3\xB0\x94\r\nvertex 0 0 0 # \x80\r\n\xFF");
    dropFiles(*w, {writeFile(m_dir->filePath("cp1252.rwx"), bytes)});
    QCOMPARE(w->currentFile().encoding, ScriptEncoding::Latin1);
    const QByteArray back = encodeScript(w->scriptEditor()->documentBytes(), ScriptEncoding::Latin1, false);
    QCOMPARE(back, bytes);
    QCOMPARE(w->scriptEditor()->wholeText(), QString::fromLatin1(bytes));
}

void WindowTest::keepsLfBreaksAtTheBoundary()
{
    auto w = makeWindow();
    const QByteArray bytes("modelbegin\nmodelend");
    dropFiles(*w, {writeFile(m_dir->filePath("lf1.rwx"), bytes)});
    ScriptEditor *pane = w->scriptEditor();
    QCOMPARE(pane->lineBreak(), LineBreak::Lf);
    QCOMPARE(pane->wholeText(), QStringLiteral("modelbegin\r\nmodelend"));
    pane->setCursorPosition(0, 10);
    pane->replaceSelection(QStringLiteral("\r\nClumpBegin\r\n\r\nClumpEnd"));
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("modelbegin\nClumpBegin\n\nClumpEnd\nmodelend"));
    pane->replaceWholeText(QStringLiteral("a\r\nb\r\n"));
    QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("a\nb\n"));
}

void WindowTest::emptyBaseNameKeepsTheNumber()
{
    auto w = makeWindow();
    dropFiles(*w, {writeFile(m_dir->filePath("tree_b2_010.RWX"), "a")});
    const QString onlyExtension = writeFile(m_dir->filePath(".rwx"), "b");
    dropFiles(*w, {onlyExtension});
    const CurrentFile &f = w->currentFile();
    QCOMPARE(f.path, onlyExtension);
    QCOMPARE(f.fileName, QStringLiteral(".rwx"));
    QCOMPARE(f.baseName, QString());
    QCOMPARE(f.extension, QStringLiteral(".rwx"));
    QCOMPARE(f.prefix, QStringLiteral("tree_b2_"));
    QCOMPARE(f.number, QStringLiteral("010"));
    QCOMPARE(w->caption(), "Orvane.  " + onlyExtension);
}

void WindowTest::firstFolderBecomesTheZipFolder()
{
    auto w = makeWindow();
    QDir(m_dir->path()).mkdir("one");
    QDir(m_dir->path()).mkdir("two");
    dropFiles(*w, {writeFile(m_dir->filePath("one/a1.rwx"), "a")});
    dropFiles(*w, {writeFile(m_dir->filePath("two/b2.rwx"), "b")});
    QCOMPARE(w->currentFile().folder, m_dir->path() + "/two/");
    QCOMPARE(w->currentFile().zipFolder, m_dir->path() + "/one/");
    QCOMPARE(w->labels().zipFolder->text(), m_dir->path() + "/one/");
    // Kept in memory only.
    QCOMPARE(storedZipFolder(), QString());
}

void WindowTest::marksStructuralMistakes()
{
    auto w = makeWindow();
    const QByteArray bytes("modelbegin\nclumpbegin\nvertex 0 0 0\ntriangle 1 2 1\nclumpend\nclumpend\nmodelend\n");
    dropFiles(*w, {writeFile(m_dir->filePath("broken1.rwx"), bytes)});
    rwx::LiveChecks *marks = w->scriptEditor()->liveChecks();
    QVERIFY(marks);
    marks->checkNow();
    QStringList messages;
    for (const rwx::LiveChecks::Mark &mark : marks->marks())
        messages << mark.message;
    QCOMPARE(messages, QStringList({"vertex 2 does not exist in this clump (1 vertex)", "ClumpEnd without ClumpBegin"}));
    // Marking never touches the text or what undo would do.
    QCOMPARE(w->scriptEditor()->documentBytes().toByteArray(), bytes);
    QVERIFY(!w->scriptEditor()->isUndoAvailable());
}

ORVANE_GUI_TEST_MAIN(WindowTest)
#include "tst_window.moc"

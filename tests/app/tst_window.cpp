// The main window as a user meets it: start-up state, layout, the close
// question, always on top, and scripts dropped on the pane.
#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "editor/livechecks.h"
#include "preview/previewwindow.h"
#include "rwx/styling.h"
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

// Where a printable ASCII character, as the pane draws it in any of its
// styles, is not as wide as a blank (which would put a script's columns
// out of line); empty when none is.
QString unevenAscii(ScriptEditor *pane)
{
    for (int style = 0; style < rwx::HighlightCount; ++style) {
        const QByteArray blanks(80, ' ');
        const long width = pane->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, style, blanks.constData());
        for (char c = '!'; c <= '~'; ++c) {
            const QByteArray run(80, c);
            if (pane->SendScintilla(QsciScintillaBase::SCI_TEXTWIDTH, style, run.constData()) != width)
                return QStringLiteral("style %1, '%2' in %3").arg(style).arg(QLatin1Char(c)).arg(pane->font().family());
        }
    }
    return QString();
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
    void asksBeforeDiscardingChanges_data();
    void asksBeforeDiscardingChanges();
    void unreadableFilesAreReported_data();
    void unreadableFilesAreReported();
    void showsTheBusyCursorWhileReading();
    void dropsAreCopies_data();
    void dropsAreCopies();
    void keepsLfBreaksAtTheBoundary();
    void emptyBaseNameKeepsTheNumber();
    void firstFolderBecomesTheZipFolder();
    void marksStructuralMistakes();
    void notesWhatAWorldWouldNotLoad();

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
    // The five menus of the table, then View with the 3D preview, then Export.
    QCOMPARE(menus, QStringList({"Shape", "Material", "Transform", "Marks", "Options", "View", "Export"}));
    QVERIFY(w->action("mnuAonT")->isCheckable());
    QVERIFY(!w->action("mnuAonT")->isChecked());
    QVERIFY(!w->action("mnuVer")->isEnabled());
    QCOMPARE(w->currentFile().path, QString());
    QCOMPARE(w->currentFile().number, QString());
    QVERIFY(w->scriptEditor()->wrapMode() == QsciScintilla::WrapNone);
    const QString uneven = unevenAscii(w->scriptEditor());
    QVERIFY2(uneven.isEmpty(), qPrintable(uneven));
    QCOMPARE(w->focusWidget(), static_cast<QWidget *>(w->scriptEditor()));
    QWidget *next = w->scriptEditor()->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    QCOMPARE(next, static_cast<QWidget *>(w->saveZipNextButton()));
}

void WindowTest::readsTheStoredZipFolder_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("folder"); // "": none, the opened script's folder is used
    QTest::newRow("absent") << QString() << "";
    QTest::newRow("missing folder used as stored") << "/no/such/folder/" << "/no/such/folder/";
    QTest::newRow("trailing separator added") << "/tmp/zips" << "/tmp/zips/";
    QTest::newRow("relative: none") << "zips" << "";
    QTest::newRow("home not expanded: none") << "~/zips" << "";
}

// A hand-edited setting never sends the archives anywhere but the folder it names.
void WindowTest::readsTheStoredZipFolder()
{
    QFETCH(QString, stored);
    QFETCH(QString, folder);
    storeZipFolder(stored);
    auto w = makeWindow();
    QCOMPARE(w->currentFile().zipFolder, folder);
    QCOMPARE(w->labels().zipFolder->text(), folder);
    const QString models = m_dir->path() + "/models/";
    dropFiles(*w, {writeFile(models + "house12.rwx", "x")});
    QCOMPARE(w->currentFile().zipFolder, folder.isEmpty() ? models : folder);
    QCOMPARE(w->labels().zipFolder->text(), folder.isEmpty() ? models : folder);
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
    QCOMPARE(w->document().encoding(), ScriptEncoding::Windows1252);
    const QByteArray back = encodeScript(w->scriptEditor()->documentBytes(), ScriptEncoding::Windows1252, false).bytes;
    QCOMPARE(back, bytes);
    QCOMPARE(w->scriptEditor()->wholeText(), QString::fromUtf8("# caf\u00E9 \u201C3\u00B0\u201D\r\nvertex 0 0 0 # \u20AC\r\n\u00FF"));
}

void WindowTest::asksBeforeDiscardingChanges_data()
{
    QTest::addColumn<bool>("openFirst");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("answer");
    QTest::newRow("unchanged") << true << "" << false << 0;
    QTest::newRow("typed, kept") << true << "type" << true << int(QMessageBox::No);
    QTest::newRow("typed, discarded") << true << "type" << true << int(QMessageBox::Yes);
    QTest::newRow("typed and undone") << true << "undo" << false << 0;
    QTest::newRow("typed and deleted again") << true << "retype" << false << 0;
    QTest::newRow("start-up hint") << false << "" << false << 0;
}

void WindowTest::asksBeforeDiscardingChanges()
{
    QFETCH(bool, openFirst);
    QFETCH(QString, edit);
    QFETCH(bool, asked);
    QFETCH(int, answer);
    auto w = makeWindow();
    ScriptEditor *pane = w->scriptEditor();
    if (openFirst)
        dropFiles(*w, {writeFile(m_dir->filePath("house3.rwx"), "clumpbegin\nclumpend\n")});
    if (edit == "type" || edit == "undo") {
        pane->replaceSelection(QStringLiteral("vertex 1 2 3\r\n"));
        if (edit == "undo")
            pane->undo();
    } else if (edit == "retype") {
        const QString text = pane->wholeText();
        pane->replaceWholeText(text + QStringLiteral("x"));
        pane->replaceWholeText(text);
    }
    const Snapshot before = snapshot(*w);
    if (asked)
        m_log.buttons = {QMessageBox::StandardButton(answer)};

    const QString other = writeFile(m_dir->filePath("tree7.rwx"), "modelbegin\nmodelend\n");
    dropFiles(*w, {other});
    QCOMPARE(m_log.messages.size(), asked ? 1 : 0);
    if (asked) {
        const MessageBoxRequest &q = m_log.messages[0];
        QCOMPARE(q.text, QStringLiteral("Discard the changes to house3.rwx?"));
        QCOMPARE(q.title, QStringLiteral("Orvane."));
        QCOMPARE(q.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(q.defaultButton, QMessageBox::No);
        QCOMPARE(m_log.busyCursor, QList<bool>({false}));
    }
    if (answer == QMessageBox::No) {
        QCOMPARE(snapshot(*w), before);
        QVERIFY(pane->isUndoAvailable());
    } else {
        QCOMPARE(w->currentFile().path, other);
        QCOMPARE(pane->documentBytes().toByteArray(), QByteArray("modelbegin\nmodelend\n"));
    }
}

void WindowTest::unreadableFilesAreReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // the system's words, in the language the user reads
    QTest::newRow("no permission to read") << "permission" << qt_error_string(EACCES);
    QTest::newRow("read error") << "ioerror" << qt_error_string(EIO);
    QTest::newRow("over the size limit") << "large" << "larger than 256 MB";
    QTest::newRow("name not in the file-name encoding") << "name" << "not valid in this system's file-name encoding";
}

void WindowTest::unreadableFilesAreReported()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    auto w = makeWindow();
    dropFiles(*w, {writeFile(m_dir->filePath("house3.rwx"), "clumpbegin\nclumpend\n")});
    const Snapshot before = snapshot(*w);

    QUrl url = QUrl::fromLocalFile(m_dir->filePath("bad4.rwx"));
    std::function<void()> cleanUp = [] {};
    const auto cleanUpAtEnd = qScopeGuard([&] { cleanUp(); });
    if (kind == "permission") {
        if (geteuid() == 0)
            QSKIP("root may read any file");
        writeFile(m_dir->filePath("bad4.rwx"), "vertex 1 2 3\n");
        QVERIFY(QFile::setPermissions(m_dir->filePath("bad4.rwx"), QFile::WriteOwner));
    } else if (kind == "ioerror") {
        // Reading this process's memory from address 0 fails in the kernel.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), m_dir->filePath("bad4.rwx")));
    } else if (kind == "large") {
        QFile large(m_dir->filePath("bad4.rwx"));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(qint64(256) * 1024 * 1024 + 1));
    } else if (kind == "name") {
        const QByteArray raw = QFile::encodeName(m_dir->path()) + "/bad\xE9" "4.rwx";
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        // The temporary folder cannot name this file to remove it.
        cleanUp = [raw] { ::unlink(raw.constData()); };
        url = QUrl::fromEncoded("file://" + raw.toPercentEncoding("/"));
    }
    QMimeData mime;
    mime.setUrls({url});
    sendDrop(w->scriptEditor()->viewport(), &mime);

    QCOMPARE(m_log.messages.size(), 1);
    const MessageBoxRequest &box = m_log.messages[0];
    QCOMPARE(box.title, QStringLiteral("Orvane."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QVERIFY2(box.text.contains(m_dir->filePath("bad")) && box.text.contains(reason), qPrintable(box.text));
    QCOMPARE(m_log.busyCursor, QList<bool>({false}));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QCOMPARE(snapshot(*w), before);
}

void WindowTest::showsTheBusyCursorWhileReading()
{
    auto w = makeWindow();
    QList<Qt::CursorShape> whileLoading;
    connect(w->scriptEditor(), &QsciScintilla::textChanged, this, [&] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        whileLoading << (cursor ? cursor->shape() : Qt::ArrowCursor);
    });
    dropFiles(*w, {writeFile(m_dir->filePath("house3.rwx"), QByteArray(1 << 20, 'x'))});
    QCOMPARE(w->currentFile().fileName, QStringLiteral("house3.rwx"));
    QVERIFY(!whileLoading.isEmpty());
    QCOMPARE(whileLoading, QList<Qt::CursorShape>(whileLoading.size(), Qt::WaitCursor));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void WindowTest::dropsAreCopies_data()
{
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Shift proposes Move") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::ShiftModifier) << true;
    QTest::newRow("Copy") << int(Qt::CopyAction) << int(Qt::NoModifier) << true;
    QTest::newRow("Move only") << int(Qt::MoveAction) << int(Qt::NoModifier) << false;
}

void WindowTest::dropsAreCopies()
{
    QFETCH(int, offered);
    QFETCH(int, modifiers);
    QFETCH(bool, opens);
    auto w = makeWindow();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(writeFile(m_dir->filePath("house3.rwx"), "x"))});
    QWidget *target = w->scriptEditor()->viewport();
    const auto actions = Qt::DropActions(offered);
    const auto keys = Qt::KeyboardModifiers(modifiers);
    QDragEnterEvent enter(QPoint(10, 10), actions, &mime, Qt::LeftButton, keys);
    QDragMoveEvent move(QPoint(12, 12), actions, &mime, Qt::LeftButton, keys);
    QDropEvent drop(QPointF(12, 12), actions, &mime, Qt::LeftButton, keys);
    if (keys == Qt::ShiftModifier)
        QCOMPARE(drop.proposedAction(), Qt::MoveAction);
    for (QDropEvent *event : {static_cast<QDropEvent *>(&enter), static_cast<QDropEvent *>(&move), &drop}) {
        QCoreApplication::sendEvent(target, event);
        QCOMPARE(event->isAccepted(), opens);
        if (opens)
            QCOMPARE(event->dropAction(), Qt::CopyAction);
    }
    QCOMPARE(w->currentFile().fileName, opens ? QStringLiteral("house3.rwx") : QString());
}

void WindowTest::keepsLfBreaksAtTheBoundary()
{
    auto w = makeWindow();
    const QByteArray bytes("modelbegin\nmodelend");
    dropFiles(*w, {writeFile(m_dir->filePath("lf1.rwx"), bytes)});
    ScriptEditor *pane = w->scriptEditor();
    QCOMPARE(w->document().lineBreak(), LineBreak::Lf);
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

// Textures a world's server would not find are marked in the pane, and a
// name it would not take is noted by the prefix and in the preview.
void WindowTest::notesWhatAWorldWouldNotLoad()
{
    auto w = makeWindow();
    writeFile(m_dir->filePath("wood.jpg"), "x");
    dropFiles(*w, {writeFile(m_dir->filePath("House12.rwx"), "modelbegin\r\ntexture Wood\r\nmodelend\r\n")});
    const QString note = "object name House12 has capitals: worlds need lower case";
    QCOMPARE(w->labels().prefix->toolTip(), note);
    rwx::LiveChecks *marks = w->scriptEditor()->liveChecks();
    marks->checkNow();
    QCOMPARE(marks->marks().size(), 1);
    QCOMPARE(marks->marks()[0].message, "texture Wood.jpg is found only as wood.jpg: servers are case-sensitive");

    w->showPreview(true);
    preview::PreviewWindow *preview = w->previewWindow();
    if (preview->view()) {
        QTRY_VERIFY(preview->sceneCount() > 0 && !preview->rebuildPending());
        QCOMPARE(preview->statusLine()->text(), "0 triangles; " + note);
    }
    dropFiles(*w, {writeFile(m_dir->filePath("house13.rwx"), "modelbegin\r\nmodelend\r\n")});
    QCOMPARE(w->labels().prefix->toolTip(), QString());
    if (preview->view())
        QTRY_COMPARE(preview->statusLine()->text(), "0 triangles");
    QCOMPARE(w->labels().prefix->text(), "house"); // the band shows what it always did
}

ORVANE_GUI_TEST_MAIN(WindowTest)
#include "tst_window.moc"

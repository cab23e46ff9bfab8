// The preview window as part of the main window: the View menu after the
// five of the table, opening and closing with the item and F5, the message
// where there is no OpenGL, and the script, its undo history and its files
// left as they were. Runs with and without OpenGL.
#include <QAction>
#include <QCryptographicHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/form1.h"
#include "editor/scripteditor.h"
#include "preview/previewwindow.h"
#include "support/files.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"
#include "templates/table.h"

using namespace orvane_test;
using preview::PreviewWindow;

namespace {
// Offscreen, the platform has no OpenGL even where a display is at hand.
struct OffscreenWithoutGlx {
    OffscreenWithoutGlx() { qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1"); }
};
class TestApplication : private OffscreenWithoutGlx, public QApplication {
public:
    TestApplication(int &argc, char **argv) : QApplication(argc, argv) {}
};

// Every file of a folder with its SHA-256 and permissions.
QStringList folderState(const QString &folder)
{
    QStringList state;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
        state << QStringLiteral("%1 %2 %3")
                     .arg(info.fileName(),
                          QString::fromLatin1(QCryptographicHash::hash(readFile(info.filePath()),
                                                                       QCryptographicHash::Sha256).toHex()))
                     .arg(int(info.permissions()), 0, 16);
    return state;
}
} // namespace

class PreviewWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void itemOpensAndClosesTheWindow();
    void withoutOpenGLSaysSoAndAllElseWorks();
    void leavesScriptUndoAndFilesAlone();

private:
    QAction *item() const { return m_window->action(QStringLiteral("mnuPreview")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedDialogs::Log m_log;
    std::unique_ptr<Form1> m_window;
};

void PreviewWindowTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_log = {};
    m_window = std::make_unique<Form1>(std::make_unique<ScriptedDialogs>(&m_log));
}

void PreviewWindowTest::itemOpensAndClosesTheWindow()
{
    // After the five menus of the table (tst_window checks their names).
    const QList<QAction *> menus = m_window->menuBar()->actions();
    QAction *view = menus.value(templates::menuTable().size());
    QVERIFY(view);
    QCOMPARE(view->text(), QStringLiteral("View"));
    QCOMPARE(view->menu()->actions(), QList<QAction *>{item()});
    QCOMPARE(item()->text(), QStringLiteral("3D Preview"));
    QVERIFY(item()->isCheckable() && !item()->isChecked());
    QCOMPARE(item()->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(m_window->previewWindow(), nullptr); // made when first opened

    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QTest::keyClick(m_window.get(), Qt::Key_F5);
    QVERIFY(item()->isChecked());
    PreviewWindow *preview = m_window->previewWindow();
    QVERIFY(preview && preview->isVisible() && preview->isWindow());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Orvane. 3D preview"));
    QVERIFY(m_window->isVisible());

    // Closing the window unchecks the item; the item opens the same window again.
    QVERIFY(preview->close());
    QVERIFY(!preview->isVisible() && !item()->isChecked());
    item()->trigger();
    QCOMPARE(m_window->previewWindow(), preview);
    QVERIFY(preview->isVisible());
    item()->trigger();
    QVERIFY(!preview->isVisible() && !item()->isChecked());

    // Leaving the program closes it too.
    item()->trigger();
    m_log.buttons = {QMessageBox::Yes};
    QVERIFY(m_window->close());
    QVERIFY(!preview->isVisible());
}

void PreviewWindowTest::withoutOpenGLSaysSoAndAllElseWorks()
{
    if (preview::openGLAvailable())
        QSKIP("OpenGL is available on this platform; the picture is tested by tst_previewrender");
    m_window->show();
    item()->trigger();
    PreviewWindow *preview = m_window->previewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    QCOMPARE(preview->view(), nullptr);
    QCOMPARE(preview->statusLine()->text(), QStringLiteral("The 3D preview needs OpenGL 2.1 or later."));
    QVERIFY(preview->statusLine()->isVisible());

    // Drops, typing and the clean-ups go on as before.
    const QString path = writeFile(m_dir->filePath(QStringLiteral("a1.rwx")), "Block 1 1 1 # box\r\n");
    dropFiles(*m_window, {path});
    QCOMPARE(m_window->currentFile().path, path);
    m_window->scriptEditor()->replaceSelection(QStringLiteral("Color 1 0 0 # red\r\n"));
    m_window->action(QStringLiteral("mnuDC"))->trigger();
    QCOMPARE(m_window->scriptEditor()->wholeText(), QStringLiteral("Color 1 0 0 \r\nBlock 1 1 1 \r\n"));
    preview->rebuildNow(preview::PreviewView::Fit::Fit);
    QVERIFY(!preview->rebuildPending());
    QCOMPARE(preview->sceneCount(), 0);
    QCOMPARE(preview->statusLine()->text(), QStringLiteral("The 3D preview needs OpenGL 2.1 or later."));
    QVERIFY(m_log.messages.isEmpty());
}

void PreviewWindowTest::leavesScriptUndoAndFilesAlone()
{
    const QByteArray bytes = "ModelBegin\r\nColor 1 0 0\r\nTexture wood Mask wm\r\nBlock 1 1 1\r\nModelEnd";
    const QString path = writeFile(m_dir->filePath(QStringLiteral("crate7.rwx")), bytes);
    writeFile(m_dir->filePath(QStringLiteral("wood.jpg")), "not really a picture");
    writeFile(m_dir->filePath(QStringLiteral("wm.zip")), "not really an archive");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QStringList files = folderState(m_dir->path());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    dropFiles(*m_window, {path});
    ScriptEditor *editor = m_window->scriptEditor();
    QVERIFY(!editor->isUndoAvailable());

    item()->trigger();
    PreviewWindow *preview = m_window->previewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(preview));
    if (preview->view()) {
        QTRY_VERIFY(preview->sceneCount() > 0 && !preview->rebuildPending());
        QCOMPARE(preview->statusLine()->text(),
                 QString::fromUtf8("12 triangles; 10.0 \u00D7 10.0 \u00D7 10.0 m; texture wood could not be read (not a readable picture)"));
        const QPoint centre = preview->view()->rect().center();
        QTest::mouseClick(preview->view(), Qt::LeftButton, {}, centre);
        QTest::keyClick(preview->view(), Qt::Key_Delete);
        QTest::keyClick(preview->view(), Qt::Key_Z, Qt::ControlModifier);
        preview->rebuildNow();
        QTRY_VERIFY(!preview->rebuildPending());
    }
    item()->trigger();
    item()->trigger();
    QCOMPARE(editor->documentBytes().toByteArray(), bytes);
    QVERIFY(!editor->isUndoAvailable());
    QVERIFY(!editor->isModified());
    QCOMPARE(folderState(m_dir->path()), files);
    QVERIFY(m_log.messages.isEmpty());
}

ORVANE_TEST_MAIN(TestApplication, PreviewWindowTest)
#include "tst_previewwindow.moc"

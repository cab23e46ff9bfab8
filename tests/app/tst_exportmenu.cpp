// Export > glTF Binary / OBJ + MTL in the window: where the dialog starts,
// what is written (the pane's text as it is now), and what the user is told.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "editor/snapshotworker.h"
#include "support/exports.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;

namespace {
const QByteArray kOneBlock = "ModelBegin\r\nBlock 1 1 1\r\nModelEnd\r\n";
const QString kTwoBlocks = "ModelBegin\r\nBlock 1 1 1\r\nTranslate 1 0 0\r\nBlock 1 1 1\r\nModelEnd\r\n";
} // namespace

class ExportMenuTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void menuFollowsView();
    void exports_data();
    void exports();
};

void ExportMenuTest::cleanup()
{
    QTRY_COMPARE(editor::SnapshotWorker::threadsRunning(), 0);
}

void ExportMenuTest::menuFollowsView()
{
    ScriptedDialogs::Log log;
    Form1 window(std::make_unique<ScriptedDialogs>(&log));
    const QList<QAction *> menus = window.menuBar()->actions();
    QCOMPARE(menus.last()->text(), QStringLiteral("Export"));
    QCOMPARE(menus.at(menus.size() - 2)->text(), QStringLiteral("View"));
    QStringList items;
    for (const QAction *item : menus.last()->menu()->actions())
        items << item->objectName() + ": " + item->text();
    QCOMPARE(items, QStringList({"mnuExportGlb: glTF Binary (.glb)\u2026", "mnuExportObj: OBJ + MTL\u2026"}));
}

void ExportMenuTest::exports_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("answer");    // the file chosen ("@" is the script's folder); empty: Cancel
    QTest::addColumn<bool>("exists");       // the file chosen is there already, and Replace? is answered No
    QTest::addColumn<QString>("script");    // what the pane holds when exporting; empty: the file's text
    QTest::addColumn<QString>("written");   // the file expected ("@" as above); empty: none
    QTest::addColumn<int>("triangles");
    QTest::addColumn<QString>("message");   // the one message box ("@" as above), or empty
    QTest::newRow("glb of the unsaved text") << "mnuExportGlb" << "@/house13.glb" << false << kTwoBlocks
                                             << "@/house13.glb" << 24 << "";
    QTest::newRow("obj and its mtl") << "mnuExportObj" << "@/house13.obj" << false << "" << "@/house13.obj" << 12 << "";
    QTest::newRow("a name without the extension") << "mnuExportGlb" << "@/other" << false << "" << "@/other.glb" << 12 << "";
    QTest::newRow("cancelled") << "mnuExportGlb" << "" << false << "" << "" << 0 << "";
    QTest::newRow("not replaced") << "mnuExportGlb" << "@/house13.glb" << true << "" << "" << 0
                                  << "Orvane.: house13.glb already exists. Replace it?";
    QTest::newRow("a file where a folder should be")
        << "mnuExportGlb" << "@/house13.rwx/x.glb" << false << "" << "" << 0
        << "Orvane.: Could not export @/house13.rwx/x.glb\ncannot make the folder @/house13.rwx: Not a directory";
    QTest::newRow("a missing texture") << "mnuExportGlb" << "@/tex.glb" << false
                                       << "ModelBegin\r\nTexture wood\r\nBlock 1 1 1\r\nModelEnd\r\n" << "@/tex.glb" << 12
                                       << "Orvane.: Exported @/tex.glb, but:\ntexture wood not found";
}

void ExportMenuTest::exports()
{
    QFETCH(QString, item);
    QFETCH(QString, answer);
    QFETCH(bool, exists);
    QFETCH(QString, script);
    QFETCH(QString, written);
    QFETCH(int, triangles);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QString scriptPath = writeFile(folder + "/house13.rwx", kOneBlock);
    const QString chosen = QString(answer).replace('@', folder);
    const QString existing = exists ? writeFile(chosen, "keep me") : QString();
    const QString before = exists ? fileState(existing) : QString();
    ScriptedDialogs::Log log;
    log.savePaths.push_back(answer.isEmpty() ? std::nullopt : std::make_optional(chosen));
    log.buttons.push_back(QMessageBox::No);
    Form1 window(std::make_unique<ScriptedDialogs>(&log));
    QVERIFY(window.openFile(scriptPath));
    if (!script.isEmpty())
        window.scriptEditor()->replaceWholeText(script);
    log.buttons.assign(exists ? 1 : 0, QMessageBox::No);

    QSignalSpy finished(&window, &Form1::exportFinished);
    window.action(item)->trigger();
    if (window.isExporting()) {
        QVERIFY(!window.action(item)->isEnabled()); // one export at a time
        QVERIFY(finished.wait(60000));
    }
    QVERIFY(window.action(item)->isEnabled());

    QCOMPARE(log.saveFiles.size(), 1);
    QCOMPARE(log.saveFiles[0].path, folder + (item == "mnuExportGlb" ? "/house13.glb" : "/house13.obj"));
    QStringList messages;
    for (const MessageBoxRequest &box : log.messages)
        messages << box.title + ": " + box.text;
    QCOMPARE(messages, message.isEmpty() ? QStringList() : QStringList{QString(message).replace('@', folder)});
    if (exists)
        QCOMPARE(fileState(existing), before);
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    files.removeAll("house13.rwx");
    files.removeAll(QFileInfo(existing).fileName());
    if (written.isEmpty()) {
        QCOMPARE(files, QStringList());
        return;
    }
    const QString path = QString(written).replace('@', folder);
    QVERIFY2(files.contains(QFileInfo(path).fileName()), qPrintable(files.join(' ')));
    if (path.endsWith(".obj")) {
        QCOMPARE(files, QStringList({"house13.mtl", "house13.obj"}));
        QCOMPARE(readObj(path).faces, triangles);
    } else {
        QCOMPARE(files.size(), 1);
        QString error;
        QCOMPARE(gltfTriangles(loadGltf(path, &error)), triangles);
    }
}

ORVANE_GUI_TEST_MAIN(ExportMenuTest)
#include "tst_exportmenu.moc"

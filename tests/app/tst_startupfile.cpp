// `orvane FILE`: the file named on the command line is opened exactly as a
// drop of that one file on the window would be.
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include "app/startupfile.h"
#include "support/scripteddialogs.h"
#include "support/testmain.h"
#include "support/windowdriver.h"

using namespace orvane_test;

namespace {
// What a user sees of the window, and every message it gave.
QStringList seen(const Form1 &window, const ScriptedDialogs::Log &log)
{
    QStringList state{window.caption(), QString::fromUtf8(window.scriptEditor()->documentBytes().toByteArray()),
                      window.currentFile().path, window.saveZipNextButton()->isEnabled() ? "enabled" : "disabled"};
    for (const QLabel *label : window.labels().inOrder())
        state << label->text();
    for (const MessageBoxRequest &box : log.messages)
        state << box.title + ": " + box.text;
    return state;
}
} // namespace

class StartupFileTest : public QObject {
    Q_OBJECT
private slots:
    void opensAsADropWould_data();
    void opensAsADropWould();
};

void StartupFileTest::opensAsADropWould_data()
{
    QTest::addColumn<QByteArray>("name"); // relative to the test's folder
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("messages");
    QTest::newRow("a script") << QByteArray("house12.rwx") << true << 0;
    QTest::newRow("a script in a folder") << QByteArray("./models/../models/tree7.RWX") << true << 0;
    QTest::newRow("missing") << QByteArray("gone4.rwx") << false << 0;
    QTest::newRow("a folder") << QByteArray("models") << false << 0;
    QTest::newRow("no dot in the name") << QByteArray("README") << false << 0;
    QTest::newRow("read error") << QByteArray("bad4.rwx") << false << 1;
    QTest::newRow("name not in the file-name encoding") << QByteArray("bad\xE9" "4.rwx") << false << 1;
    QTest::newRow("over unsaved changes, declined") << QByteArray("house12.rwx") << false << 1;
}

void StartupFileTest::opensAsADropWould()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, opens);
    QFETCH(int, messages);
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    writeFile(dir.filePath("house12.rwx"), "modelbegin\r\nclumpbegin\r\nclumpend\r\nmodelend\r\n");
    writeFile(dir.filePath("models/tree7.RWX"), "modelbegin\nmodelend\n");
    writeFile(dir.filePath("README"), "not a script\n");
    QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), dir.filePath("bad4.rwx")));
    const QByteArray oddName = folder + "/bad\xE9" "4.rwx";
    const int fd = ::open(oddName.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    const auto removeOddName = qScopeGuard([&] { ::unlink(oddName.constData()); });

    // The same file dropped on one window and named on the command line of another.
    ScriptedDialogs::Log droppedLog, namedLog;
    Form1 dropped(std::make_unique<ScriptedDialogs>(&droppedLog));
    Form1 named(std::make_unique<ScriptedDialogs>(&namedLog));
    if (QByteArray(QTest::currentDataTag()).contains("unsaved")) {
        for (Form1 *window : {&dropped, &named}) {
            dropFiles(*window, {writeFile(dir.filePath("other3.rwx"), "clumpbegin\nclumpend\n")});
            window->scriptEditor()->replaceSelection(QStringLiteral("vertex 1 2 3\r\n"));
        }
        droppedLog.buttons = namedLog.buttons = {QMessageBox::No};
    }
    // A file manager's drop names the file by its plain absolute path.
    QByteArray path = folder + "/" + name;
    if (QFile::encodeName(QFile::decodeName(path)) == path)
        path = QFile::encodeName(QDir::cleanPath(QFile::decodeName(path)));
    QMimeData drop;
    drop.setUrls({QUrl::fromEncoded("file://" + path.toPercentEncoding("/"))});
    sendDrop(dropped.scriptEditor()->viewport(), &drop);

    QCOMPARE(openStartupFile(named, name, folder), opens);
    QCOMPARE(namedLog.messages.size(), messages);
    QCOMPARE(seen(named, namedLog), seen(dropped, droppedLog));
    if (opens)
        QCOMPARE(named.currentFile().path, QFile::decodeName(path));
}

ORVANE_GUI_TEST_MAIN(StartupFileTest)
#include "tst_startupfile.moc"

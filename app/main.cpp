#include <QApplication>
#include <QTimer>

#include "app/form1.h"
#include "app/startupfile.h"
#include "commandline/commandline.h"
#include "commandline/filearguments.h"
#include "editor/snapshotworker.h"
#include "preview/memoryreuse.h"

#include <chrono>

int main(int argc, char *argv[])
{
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setApplicationVersion(commandline::version());
    QApplication::setDesktopFileName(QStringLiteral("orvane"));

    // --help, --version and plain mistakes are answered before the window
    // system is reached, so they work without a display. Qt's own options
    // (-platform, -style …) are known only once the application object has
    // taken them out: an option not known here waits for that.
    commandline::Arguments arguments(
        QStringLiteral("orvane"),
        QStringLiteral("Edit RWX model scripts and save each variant as a numbered zip archive."));
    arguments.setPositional(QStringLiteral("FILE"),
                            QStringLiteral("The RWX script to open, as if it were dropped on the window."),
                            QStringLiteral("[FILE]"), 0, 1);
    const commandline::Result early = arguments.read(commandline::decodeArguments(argc, argv));
    if (early.stop && arguments.parser().unknownOptionNames().isEmpty())
        return commandline::finish(early);

    preview::keepFreedMemoryForReuse();
    QApplication app(argc, argv);
    const commandline::Result result = arguments.read(QCoreApplication::arguments());
    if (result.stop)
        return commandline::finish(result);

    int code = 0;
    {
        Form1 window;
        window.show();
        if (!arguments.positional().isEmpty()) {
            // Opened from the running event loop, as a drop is, over the shown window.
            const QByteArray name = commandline::argumentBytes(arguments.positional().first(), argc, argv);
            QTimer::singleShot(0, &window, [&window, name, folder = commandline::workingFolder()] {
                openStartupFile(window, name, folder);
            });
        }
        code = app.exec();
    }
    // The window's going stopped the checks and scene builds under way; one
    // stuck in a system call (a texture on a hung network share) must not
    // keep the program alive.
    editor::SnapshotWorker::exitIfThreadsOutlast(code, std::chrono::milliseconds(500));
    return code;
}

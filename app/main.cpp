#include <QApplication>

#include "app/form1.h"
#include "editor/snapshotworker.h"

#include <chrono>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("orvane"));
    int code = 0;
    {
        Form1 window;
        window.show();
        code = app.exec();
    }
    // The window's going stopped the checks and scene builds under way; one
    // stuck in a system call (a texture on a hung network share) must not
    // keep the program alive.
    editor::SnapshotWorker::exitIfThreadsOutlast(code, std::chrono::milliseconds(500));
    return code;
}

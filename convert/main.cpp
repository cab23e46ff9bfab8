// orvane-convert [-f glb|gltf|obj] [-o DIR] [-j N] [-q] INPUT...
// Converts RWX scripts and object archives to glTF 2.0 or OBJ.
#include "commandline/commandline.h"
#include "convert/batch.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // The application object lets Qt find its picture format plug-ins.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvane-convert"));
    QCoreApplication::setApplicationVersion(commandline::version());

    commandline::Arguments arguments(QStringLiteral("orvane-convert"),
                                     QStringLiteral("Convert RWX model scripts to glTF 2.0 or OBJ."));
    QCommandLineParser &parser = arguments.parser();
    const QCommandLineOption format(
        {QStringLiteral("f"), QStringLiteral("format")},
        QStringLiteral("The output format: glb (the default), gltf (a .gltf with its .bin) or obj (an .obj with its "
                       ".mtl and images)."),
        QStringLiteral("format"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the output into DIR instead of beside each input."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")},
                                  QStringLiteral("Convert N inputs at a time; as many as there are cores when not given."),
                                  QStringLiteral("N"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("Quiet: report nothing but failures."));
    parser.addOptions({format, output, jobs, quiet});
    arguments.setPositional(QStringLiteral("INPUT"),
                            QStringLiteral("An RWX script, or an object archive (.zip) holding one."),
                            QStringLiteral("INPUT..."), 1, -1);
    const commandline::Result read = arguments.read(QCoreApplication::arguments());
    if (read.stop)
        return commandline::finish(read);

    convert::BatchOptions options;
    if (parser.isSet(format)) {
        const std::optional<convert::Format> named = convert::formatNamed(parser.value(format));
        if (!named)
            return commandline::finish(arguments.usageError(
                QStringLiteral("unknown format '%1' (glb, gltf or obj)").arg(parser.value(format))));
        options.format = *named;
    }
    options.jobs = QThread::idealThreadCount();
    if (parser.isSet(jobs)) {
        bool number = false;
        options.jobs = parser.value(jobs).toInt(&number);
        if (!number || options.jobs < 1)
            return commandline::finish(arguments.usageError(
                QStringLiteral("-j wants a number of 1 or more, not '%1'").arg(parser.value(jobs))));
    }
    if (parser.isSet(output)) {
        options.outputFolder = parser.value(output);
        if (options.outputFolder.isEmpty())
            return commandline::finish(arguments.usageError(QStringLiteral("-o wants a folder")));
    }
    options.quiet = parser.isSet(quiet);
    options.progress = ::isatty(STDERR_FILENO) == 1;
    const int code = convert::runBatch(arguments.positional(), options, stdout, stderr);
    std::fflush(stdout);
    return code;
}

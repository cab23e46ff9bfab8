#include "convert/conversion.h"

#include "convert/exportobject.h"
#include "convert/gltfwriter.h"
#include "convert/objwriter.h"
#include "convert/outputfiles.h"
#include "convert/scriptinput.h"

#include <QDir>
#include <QFileInfo>

#include <exception>
#include <new>

namespace convert {

namespace {

QList<OutputFile> filesOf(const ExportObject &object, const QString &mainName, const QString &stem, Format format)
{
    switch (format) {
    case Format::Glb:
        return gltfFiles(object, mainName, stem, true);
    case Format::Gltf:
        return gltfFiles(object, mainName, stem, false);
    case Format::Obj:
        return objFiles(object, mainName, stem);
    }
    return {};
}

} // namespace

ExportResult exportScript(QStringView text, const QStringList &textureFolders, const QString &outputPath, Format format,
                          const QStringList &inputs, std::stop_token stop)
{
    ExportResult result;
    try {
        const QFileInfo output(outputPath);
        const ExportObject object = makeExportObject(text, output.completeBaseName(), textureFolders, stop);
        if (object.cancelled || stop.stop_requested()) {
            result.cancelled = true;
            return result;
        }
        result.warnings = object.notes;
        const QList<OutputFile> files = filesOf(object, output.fileName(), companionStem(output.completeBaseName()), format);
        if (stop.stop_requested()) {
            result.cancelled = true;
            return result;
        }
        const QDir folder = output.absoluteDir();
        if (!writeOutputs(folder.path(), files, inputs + object.filesRead, &result.error))
            return result;
        for (const OutputFile &file : files)
            result.written << folder.filePath(file.name);
        result.ok = true;
    } catch (const std::bad_alloc &) {
        result.error = QStringLiteral("there is not enough memory to export it");
    } catch (const std::exception &failure) {
        result.error = QString::fromLocal8Bit(failure.what());
    }
    return result;
}

QString outputPathFor(const QString &input, const QString &outputFolder, Format format)
{
    const QFileInfo file(input);
    const QDir folder(outputFolder.isEmpty() ? file.absolutePath() : QFileInfo(outputFolder).absoluteFilePath());
    return folder.filePath(file.completeBaseName() + u'.' + formatName(format));
}

ExportResult convertInput(const QString &input, const QString &outputFolder, Format format)
{
    ExportResult result;
    try {
        ScriptInput script;
        if (!readScriptInput(input, &script, &result.error))
            return result;
        return exportScript(script.text, script.textureFolders, outputPathFor(input, outputFolder, format), format,
                            {input});
    } catch (const std::bad_alloc &) {
        result.error = QStringLiteral("there is not enough memory to read it");
    }
    return result;
}

} // namespace convert

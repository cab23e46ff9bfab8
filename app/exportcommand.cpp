// Form1: the Export menu. The object the pane's script draws, written as a
// glTF binary file or as OBJ with its MTL, from a snapshot of the text on a
// worker thread; the files are only ever written whole (convert/).
#include "app/form1.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include <memory>

#include "app/windowtext.h"
#include "convert/conversion.h"
#include "editor/documentcopy.h"
#include "editor/scripteditor.h"
#include "editor/snapshotworker.h"
#include "scene/textures.h"

namespace {
struct ExportItem {
    const char *controlName;
    const char *caption; // UTF-8
    const char *filter;
    convert::Format format;
};
constexpr ExportItem kExportItems[] = {
    {"mnuExportGlb", "glTF Binary (.glb)\u2026", "glTF Binary (*.glb)", convert::Format::Glb},
    {"mnuExportObj", "OBJ + MTL\u2026", "OBJ + MTL (*.obj)", convert::Format::Obj},
};
} // namespace

// "Export" follows "View"; the menus before it stay as they are.
void Form1::addExportMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("Export"));
    menu->setObjectName(QStringLiteral("mnuExport"));
    menu->menuAction()->setMenuRole(QAction::NoRole);
    for (const ExportItem &item : kExportItems) {
        QAction *action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.controlName));
        action->setMenuRole(QAction::NoRole);
        connect(action, &QAction::triggered, this, [this, format = item.format] { exportObject(format); });
        m_exportItems << action;
    }
    // Each export is started once, by startExport(), and never stopped by
    // typing; the window's going stops one that has not started writing.
    m_exporter = new editor::SnapshotWorker(
        [this]() -> editor::SnapshotWorker::Job {
            const QStringList folders = rwx::scriptTextureFolders(m_document.file().folder);
            QStringList inputs;
            if (m_document.isOpen())
                inputs << m_document.textPath();
            auto copy = [editor = QPointer<ScriptEditor>(m_editor)](QByteArray &snapshot) {
                if (editor)
                    snapshot = editor::documentCopy(*editor);
                return true;
            };
            auto work = [this, utf8 = m_editor->isUtf8(), folders, inputs, pending = m_pendingExport](
                            QByteArray bytes, std::stop_token stop) -> editor::SnapshotWorker::Apply {
                const QString text = editor::documentText(bytes, utf8);
                bytes = QByteArray();
                auto result = std::make_shared<const convert::ExportResult>(
                    convert::exportScript(text, folders, pending.path, pending.format, inputs, stop));
                return [this, path = pending.path, result] { finishExport(path, *result); };
            };
            return {copy, work};
        },
        this);
    m_exporter->setObjectName(QStringLiteral("exporter"));
}

bool Form1::isExporting() const
{
    return m_exporter->busy();
}

void Form1::exportObject(convert::Format format)
{
    if (isExporting())
        return;
    const ExportItem *item = std::find_if(std::begin(kExportItems), std::end(kExportItems),
                                          [format](const ExportItem &each) { return each.format == format; });
    const QString extension = convert::formatName(format);
    const QString folder = m_document.isOpen() ? m_document.file().folder : QDir::homePath();
    const QString name = m_document.isOpen() ? QFileInfo(m_document.textFileName()).completeBaseName()
                                             : QStringLiteral("untitled");
    SaveFileRequest request;
    request.title = QStringLiteral("Orvane. Export %1").arg(QString::fromUtf8(item->caption).chopped(1));
    request.path = QDir(folder).filePath(name + u'.' + extension);
    request.filter = QString::fromLatin1(item->filter);
    request.suffix = extension;
    std::optional<QString> chosen = m_dialogs->saveFile(this, request);
    if (!chosen || chosen->isEmpty())
        return;
    QString path = QFileInfo(*chosen).absoluteFilePath();
    if (!path.endsWith(u'.' + extension, Qt::CaseInsensitive))
        path += u'.' + extension;
    if (QFileInfo::exists(path)
        && !askYesNo(QStringLiteral("%1 already exists. Replace it?").arg(QFileInfo(path).fileName())))
        return;
    startExport(path, format);
}

void Form1::startExport(const QString &path, convert::Format format)
{
    m_pendingExport = {path, format};
    for (QAction *action : std::as_const(m_exportItems))
        action->setEnabled(false);
    m_exporter->startNow();
}

void Form1::finishExport(const QString &path, const convert::ExportResult &result)
{
    for (QAction *action : std::as_const(m_exportItems))
        action->setEnabled(true);
    const QString shown = QDir::toNativeSeparators(path);
    if (!result.ok) {
        showError(QStringLiteral("Could not export %1\n%2").arg(shown, result.error));
    } else if (!result.warnings.isEmpty()) {
        MessageBoxRequest box;
        box.text = QStringLiteral("Exported %1, but:\n%2").arg(shown, result.warnings.join(u'\n'));
        box.title = windowtext::boxTitle;
        box.icon = QMessageBox::Warning;
        m_dialogs->messageBox(this, box);
    }
    emit exportFinished();
}

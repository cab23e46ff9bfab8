#pragma once
// The main window: the editing pane, the "Save Zip Next" button, the three
// rows of folder and prefix labels, and the menu bar.
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <memory>

#include "app/bandlabels.h"
#include "app/currentfile.h"
#include "app/dialogs.h"
#include "app/layout.h"
#include "app/scriptdocument.h"
#include "cleanup/commands.h"
#include "convert/exportformat.h"
#include "templates/table.h"

class QAction;
class QLabel;
class QMimeData;
class QPushButton;
class ScriptEditor;
namespace VBZipBas {
class BackgroundPack;
}
namespace preview {
class PreviewWindow;
}
namespace editor {
class SnapshotWorker;
}
namespace convert {
struct ExportResult;
}

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // The window asks its questions through `dialogs` (the real dialogs when none is given).
    explicit Form1(std::unique_ptr<Dialogs> dialogs = nullptr, QWidget *parent = nullptr);
    ~Form1() override;

    ScriptEditor *scriptEditor() const { return m_editor; }
    QPushButton *saveZipNextButton() const { return m_saveZipNext; }
    const BandLabels<QLabel *> &labels() const { return m_labels; }
    QAction *action(const QString &controlName) const;
    const CurrentFile &currentFile() const { return m_document.file(); }
    const ScriptDocument &document() const { return m_document; }
    // The caption as the user sees it.
    QString caption() const { return m_caption; }
    // The 3D preview window; null until View > 3D Preview first opens it.
    preview::PreviewWindow *previewWindow() const { return m_preview.get(); }

    void layoutWindow();
    bool confirmExit();
    void toggleAlwaysOnTop();
    // Opens the first file the drop carries; anything else changes nothing.
    // A file that exists but cannot be read is reported.
    bool openDroppedFile(const QMimeData *data);
    // Asks first when the pane holds changes that were never saved.
    bool openFile(const QString &path);
    void saveNextAndPack();
    // True from a "Save Zip Next" click's packing start until its end;
    // meanwhile the button and drops do nothing.
    bool isPacking() const;
    void chooseZipFolder();
    void runMenuCommand(templates::MenuCommand command);
    // Runs one of the clean-up commands with the given transformation and
    // reports it when the transformation fails; the text then stays as it was.
    void runCleanUp(templates::MenuCommand command, cleanup::Transformation transformation);

    // Opens (creating it the first time) or closes the 3D preview window.
    void showPreview(bool on);

    // Export > glTF Binary / OBJ + MTL: asks where, then writes what the
    // pane's text draws now, on a worker thread; the Export items wait
    // meanwhile. A failure, or what was left out, is told in a message box.
    void exportObject(convert::Format format);
    bool isExporting() const;

signals:
    // A packing started by "Save Zip Next" has ended, its outcome shown.
    void packingFinished();
    // An export has ended, its outcome shown.
    void exportFinished();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void initWindow();
    void buildControls();
    void addViewMenu();
    void addExportMenu();
    void startExport(const QString &path, convert::Format format);
    void finishExport(const QString &path, const convert::ExportResult &result);
    void applyGeometry();
    void setCaption(const QString &caption);
    void showObjectNameNote();
    QAction *alwaysOnTopItem() const;
    void applyAlwaysOnTop(bool on);
    ScriptDocument::SaveQuestions saveQuestions();
    // Over `parent`, the main window when none is given.
    bool askYesNo(const QString &text, QWidget *parent = nullptr);
    void showError(const QString &text, QWidget *parent = nullptr);
    void startPacking(const QString &archivePath, const QString &savePath);
    void showPackingProgress();
    void cancelPacking();
    void finishPacking(qint32 code, const QString &reason);

    std::unique_ptr<Dialogs> m_dialogs;
    ScriptDocument m_document;
    QString m_caption;
    QWidget *m_client = nullptr;
    ScriptEditor *m_editor = nullptr;
    QPushButton *m_saveZipNext = nullptr;
    BandLabels<QLabel *> m_labels{};
    layout::Controls m_controls;
    bool m_saving = false;

    // The packing in the background, and what the user is told of it.
    std::unique_ptr<VBZipBas::BackgroundPack> m_pack;
    struct Packing {
        QString archivePath;
        QString savePath;
        bool archiveExisted = false;
        bool cancelRequested = false;
        int percent = 0;
    } m_packing;
    QTimer m_progressDelay;
    std::unique_ptr<ProgressView> m_packingProgress;
    // A close was asked for while packing: asked again once it has ended.
    bool m_closeWhenPacked = false;

    QAction *m_previewItem = nullptr;
    // A window of its own, not a child: recreating the main window's native
    // window (always on top) must not take it along.
    std::unique_ptr<preview::PreviewWindow> m_preview;

    // The export under way: one at a time, on a snapshot of the text.
    QList<QAction *> m_exportItems;
    editor::SnapshotWorker *m_exporter = nullptr;
    struct PendingExport {
        QString path;
        convert::Format format = convert::Format::Glb;
    } m_pendingExport;
};

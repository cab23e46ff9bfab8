#pragma once
// The main window: the editing pane, the "Save Zip Next" button, the three
// rows of folder and prefix labels, and the menu bar.
#include <QMainWindow>
#include <QString>
#include <memory>

#include "app/bandlabels.h"
#include "app/currentfile.h"
#include "app/dialogs.h"
#include "app/layout.h"
#include "templates/table.h"

class QAction;
class QLabel;
class QMimeData;
class QPushButton;
class ScriptEditor;
namespace preview {
class PreviewWindow;
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
    const CurrentFile &currentFile() const { return m_file; }
    // The caption as the user sees it.
    QString caption() const { return m_caption; }
    // The 3D preview window; null until View > 3D Preview first opens it.
    preview::PreviewWindow *previewWindow() const { return m_preview.get(); }

    void layoutWindow();
    bool confirmExit();
    void toggleAlwaysOnTop();
    // Opens the first file the drop carries; anything else changes nothing.
    bool openDroppedFile(const QMimeData *data);
    bool openFile(const QString &path);
    void saveNextAndPack();
    void chooseZipFolder();
    void runMenuCommand(templates::MenuCommand command);
    // Opens (creating it the first time) or closes the 3D preview window.
    void showPreview(bool on);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void initWindow();
    void buildControls();
    void addViewMenu();
    void applyGeometry();
    void setCaption(const QString &caption);
    QAction *alwaysOnTopItem() const;
    void applyAlwaysOnTop(bool on);
    bool saveScript(const QString &path, QString *reason);
    void showError(const QString &text);

    std::unique_ptr<Dialogs> m_dialogs;
    CurrentFile m_file;
    QString m_caption;
    QWidget *m_client = nullptr;
    ScriptEditor *m_editor = nullptr;
    QPushButton *m_saveZipNext = nullptr;
    BandLabels<QLabel *> m_labels{};
    layout::Controls m_controls;
    bool m_saving = false;
    QAction *m_previewItem = nullptr;
    // A window of its own, not a child: recreating the main window's native
    // window (always on top) must not take it along.
    std::unique_ptr<preview::PreviewWindow> m_preview;
};

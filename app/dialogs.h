#pragma once
// Every modal question the window asks goes through this one interface, so
// that tests can answer it without a person.
#include <QMessageBox>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

struct MessageBoxRequest {
    QString text;
    QString title;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

struct PromptRequest {
    QString message;
    QString title;
    QString initial;
};

// A file to write: the chooser starts at `suggested` (folder and name) and
// offers files matching `filter` ("PNG pictures (*.png)"); a name typed
// without an extension gets `suffix`. It does not ask about replacing a
// file: the caller asks.
struct SaveFileRequest {
    QString title;
    QString suggested;
    QString filter;
    QString suffix;
};

struct ProgressRequest {
    QString text;
    QString title;
};

// A progress window left open beside the window (not modal) while long
// work runs; it closes when this object is deleted.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void setPercent(int percent) = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual QMessageBox::StandardButton messageBox(QWidget *parent, const MessageBoxRequest &request) = 0;
    // The entry confirmed with OK, or nothing when the user cancelled.
    virtual std::optional<QString> prompt(QWidget *parent, const PromptRequest &request) = 0;
    // The file chosen, or nothing when the user cancelled.
    virtual std::optional<QString> saveFileName(QWidget *parent, const SaveFileRequest &request) = 0;
    // Shows a progress window at 0 %, with a Cancel button that calls
    // `cancel`; none (nullptr) where there is no one to see it.
    virtual std::unique_ptr<ProgressView> showProgress(QWidget *parent, const ProgressRequest &request,
                                                       std::function<void()> cancel) = 0;
};

// The real thing: QMessageBox, QInputDialog and QProgressDialog.
class WidgetDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton messageBox(QWidget *parent, const MessageBoxRequest &request) override;
    std::optional<QString> prompt(QWidget *parent, const PromptRequest &request) override;
    std::optional<QString> saveFileName(QWidget *parent, const SaveFileRequest &request) override;
    std::unique_ptr<ProgressView> showProgress(QWidget *parent, const ProgressRequest &request,
                                               std::function<void()> cancel) override;
};

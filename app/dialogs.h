#pragma once
// Every modal question the window asks goes through this one interface, so
// that tests can answer it without a person.
#include <QMessageBox>
#include <QString>
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

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual QMessageBox::StandardButton messageBox(QWidget *parent, const MessageBoxRequest &request) = 0;
    // The entry confirmed with OK, or nothing when the user cancelled.
    virtual std::optional<QString> prompt(QWidget *parent, const PromptRequest &request) = 0;
};

// The real thing: QMessageBox and QInputDialog.
class WidgetDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton messageBox(QWidget *parent, const MessageBoxRequest &request) override;
    std::optional<QString> prompt(QWidget *parent, const PromptRequest &request) override;
};

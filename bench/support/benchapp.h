#pragma once
// What a benchmark needs to run the window: dialogs that answer by
// themselves (messages go to stderr, questions are answered Yes so the
// measured work goes ahead, prompts are cancelled) and an
// application object that stays off the screen and out of the settings.
#include <cstdio>

#include "app/dialogs.h"

class SilentDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton messageBox(QWidget *, const MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return request.buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    std::optional<QString> prompt(QWidget *, const PromptRequest &) override { return std::nullopt; }
    std::optional<QString> saveFileName(QWidget *, const SaveFileRequest &) override { return std::nullopt; }
    std::unique_ptr<ProgressView> showProgress(QWidget *, const ProgressRequest &, std::function<void()>) override
    {
        return nullptr;
    }
};

#include <QApplication>
#include <QTemporaryDir>

// The environment a benchmark runs the window in: offscreen, with settings
// in a throwaway folder, set up before the application object exists.
struct BenchEnvironment {
    QTemporaryDir settings;
    BenchEnvironment()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    }
};

class BenchApplication : private BenchEnvironment, public QApplication {
public:
    BenchApplication(int &argc, char **argv) : QApplication(argc, argv) {}
};

#pragma once
// Dialog answers for benchmarks: every message goes to stderr, every prompt is cancelled.
#include <cstdio>

#include "app/dialogs.h"

class SilentDialogs final : public Dialogs {
public:
    QMessageBox::StandardButton messageBox(QWidget *, const MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    }
    std::optional<QString> prompt(QWidget *, const PromptRequest &) override { return std::nullopt; }
};

#pragma once
// Answers the window's questions from a script and records what was asked.
#include <QGuiApplication>
#include <QList>
#include <QStringList>
#include <deque>

#include "app/dialogs.h"

namespace orvane_test {

class ScriptedDialogs final : public Dialogs {
public:
    struct Log {
        QList<MessageBoxRequest> messages;
        QList<PromptRequest> prompts;
        std::deque<QMessageBox::StandardButton> buttons; // answers to message boxes, in order
        std::deque<std::optional<QString>> entries;      // answers to prompts, in order
        QList<SaveFileRequest> saveFiles;
        std::deque<std::optional<QString>> fileNames;    // answers to file choosers, in order (none: cancel)
        QList<bool> busyCursor; // whether an override cursor was showing at each message box
        // Progress windows: each one asked for, the percents shown in them,
        // how many are open, and the Cancel button of the last one (what a
        // click on it does; empty once it has closed).
        QList<ProgressRequest> progress;
        QList<int> percents;
        int progressOpen = 0;
        std::function<void()> cancelProgress;
    };

    explicit ScriptedDialogs(Log *log) : m_log(log) {}

    QMessageBox::StandardButton messageBox(QWidget *, const MessageBoxRequest &request) override
    {
        m_log->messages.append(request);
        m_log->busyCursor.append(QGuiApplication::overrideCursor() != nullptr);
        if (m_log->buttons.empty())
            return QMessageBox::Ok;
        const auto answer = m_log->buttons.front();
        m_log->buttons.pop_front();
        return answer;
    }

    std::optional<QString> prompt(QWidget *, const PromptRequest &request) override
    {
        m_log->prompts.append(request);
        if (m_log->entries.empty())
            return std::nullopt;
        const bool cancelled = !m_log->entries.front().has_value();
        const QString entry = cancelled ? QString() : *m_log->entries.front();
        m_log->entries.pop_front();
        if (cancelled)
            return std::nullopt;
        return std::make_optional(entry);
    }

    std::optional<QString> saveFileName(QWidget *, const SaveFileRequest &request) override
    {
        m_log->saveFiles.append(request);
        if (m_log->fileNames.empty())
            return std::nullopt;
        const std::optional<QString> answer = m_log->fileNames.front();
        m_log->fileNames.pop_front();
        return answer;
    }

    std::unique_ptr<ProgressView> showProgress(QWidget *, const ProgressRequest &request,
                                               std::function<void()> cancel) override
    {
        m_log->progress.append(request);
        m_log->cancelProgress = std::move(cancel);
        return std::make_unique<View>(m_log);
    }

private:
    class View final : public ProgressView {
    public:
        explicit View(Log *log) : m_log(log) { ++m_log->progressOpen; }
        ~View() override
        {
            --m_log->progressOpen;
            m_log->cancelProgress = nullptr;
        }
        void setPercent(int percent) override { m_log->percents.append(percent); }

    private:
        Log *m_log;
    };

    Log *m_log;
};

} // namespace orvane_test

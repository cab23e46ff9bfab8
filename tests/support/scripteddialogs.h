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
        QList<bool> busyCursor; // whether an override cursor was showing at each message box
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

private:
    Log *m_log;
};

} // namespace orvane_test

#include "convert/batch.h"

#include "convert/conversion.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace convert {

namespace {

constexpr auto kProgressEvery = std::chrono::milliseconds(200);

void print(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The results of the conversions, filled by the workers in any order.
struct Results {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::optional<ExportResult>> of;
    qsizetype done = 0;

    void put(qsizetype index, ExportResult result)
    {
        const std::lock_guard lock(mutex);
        of[size_t(index)] = std::move(result);
        ++done;
        arrived.notify_all();
    }
};

class Batch {
public:
    Batch(const QStringList &inputs, const BatchOptions &options, std::FILE *output, std::FILE *errors)
        : m_inputs(inputs), m_options(options), m_output(output), m_errors(errors)
    {
        m_results.of.resize(size_t(inputs.size()));
    }

    int run()
    {
        m_clock.start();
        claimOutputs();
        std::vector<std::thread> workers;
        const qsizetype threads = std::min<qsizetype>(std::max(1, m_options.jobs), m_inputs.size());
        for (qsizetype i = 0; i < threads; ++i) {
            try {
                workers.emplace_back([this] { work(); });
            } catch (const std::system_error &) {
                break; // as many as the system gives; this thread works too when it gives none
            }
        }
        if (workers.empty())
            work();
        report();
        for (std::thread &worker : workers)
            worker.join();
        return m_failed == 0 ? 0 : 1;
    }

private:
    // Two inputs that would write the same file: the later one fails.
    void claimOutputs()
    {
        QHash<QString, qsizetype> claimed;
        for (qsizetype i = 0; i < m_inputs.size(); ++i) {
            const QString output = outputPathFor(m_inputs[i], m_options.outputFolder, m_options.format);
            const auto first = claimed.constFind(output);
            if (first == claimed.cend()) {
                claimed.insert(output, i);
                continue;
            }
            ExportResult result;
            result.error = QStringLiteral("%1 is made from %2 already")
                               .arg(QDir::toNativeSeparators(output), m_inputs[*first]);
            m_results.put(i, std::move(result));
        }
    }

    void work()
    {
        for (;;) {
            const qsizetype index = m_next.fetch_add(1);
            if (index >= m_inputs.size())
                return;
            {
                const std::lock_guard lock(m_results.mutex);
                if (m_results.of[size_t(index)])
                    continue;
            }
            m_results.put(index, convertInput(m_inputs[index], m_options.outputFolder, m_options.format));
        }
    }

    // Prints each input's lines once it and all before it are done.
    void report()
    {
        for (qsizetype printed = 0; printed < m_inputs.size();) {
            std::vector<ExportResult> ready;
            qsizetype done = 0;
            {
                std::unique_lock lock(m_results.mutex);
                m_results.arrived.wait_for(lock, kProgressEvery, [&] { return bool(m_results.of[size_t(printed)]); });
                while (printed + qsizetype(ready.size()) < m_inputs.size() && m_results.of[size_t(printed + ready.size())])
                    ready.push_back(std::move(*m_results.of[size_t(printed + ready.size())]));
                done = m_results.done;
            }
            for (const ExportResult &result : ready)
                reportOne(m_inputs[printed++], result);
            showProgress(done);
        }
        clearProgress();
        if (!m_options.quiet)
            print(m_output, summary());
    }

    void reportOne(const QString &input, const ExportResult &result)
    {
        QString lines;
        if (!result.ok)
            lines += QStringLiteral("%1: %2\n").arg(input, result.error);
        if (!m_options.quiet) {
            for (const QString &warning : result.warnings)
                lines += QStringLiteral("%1: warning: %2\n").arg(input, warning);
        }
        m_failed += result.ok ? 0 : 1;
        m_warned += result.warnings.isEmpty() ? 0 : 1;
        if (lines.isEmpty())
            return;
        clearProgress();
        print(m_errors, lines);
    }

    double rate(qsizetype done) const
    {
        const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
        return seconds > 0 ? double(done) / seconds : 0.0;
    }

    void showProgress(qsizetype done)
    {
        if (!m_options.progress || m_options.quiet)
            return;
        print(m_errors, QStringLiteral("\r%1/%2 done, %3 a second").arg(done).arg(m_inputs.size()).arg(rate(done), 0, 'f', 0));
        std::fflush(m_errors);
        m_progressShown = true;
    }

    void clearProgress()
    {
        if (!m_progressShown)
            return;
        print(m_errors, QStringLiteral("\r\x1b[K"));
        m_progressShown = false;
    }

    QString summary() const
    {
        const qsizetype total = m_inputs.size();
        QString text = QStringLiteral("%1 of %2 converted to %3 in %4 s (%5 a second)")
                           .arg(total - m_failed)
                           .arg(total)
                           .arg(formatName(m_options.format))
                           .arg(double(m_clock.nsecsElapsed()) / 1e9, 0, 'f', 2)
                           .arg(rate(total), 0, 'f', 0);
        if (m_failed > 0)
            text += QStringLiteral(", %1 failed").arg(m_failed);
        if (m_warned > 0)
            text += QStringLiteral(", %1 with warnings").arg(m_warned);
        return text + u'\n';
    }

    const QStringList &m_inputs;
    const BatchOptions &m_options;
    std::FILE *m_output;
    std::FILE *m_errors;
    Results m_results;
    std::atomic<qsizetype> m_next = 0;
    QElapsedTimer m_clock;
    qsizetype m_failed = 0;
    qsizetype m_warned = 0;
    bool m_progressShown = false;
};

} // namespace

int runBatch(const QStringList &inputs, const BatchOptions &options, std::FILE *output, std::FILE *errors)
{
    if (inputs.isEmpty())
        return 0;
    return Batch(inputs, options, output, errors).run();
}

} // namespace convert

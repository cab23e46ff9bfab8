#include "commandline/commandline.h"

#include <cstdio>

namespace commandline {

QString version()
{
    return QStringLiteral(ORVANE_VERSION);
}

QStringList decodeArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int finish(const Result &result)
{
    if (!result.standardOutput.isEmpty()) {
        std::fputs(result.standardOutput.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!result.standardError.isEmpty())
        std::fputs(result.standardError.toLocal8Bit().constData(), stderr);
    return result.exitCode;
}

Arguments::Arguments(QString program, const QString &description)
    : m_program(std::move(program))
    , m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."))
    , m_version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Show the version and exit."))
{
    m_parser.setApplicationDescription(description);
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
}

void Arguments::setPositional(const QString &name, const QString &description, const QString &syntax, int minimum,
                              int maximum)
{
    m_parser.clearPositionalArguments();
    m_parser.addPositionalArgument(name, description, syntax);
    m_positionalName = name;
    m_minimum = minimum;
    m_maximum = maximum;
}

QString Arguments::helpText() const
{
    // The parser names the program by the path it was started with (or by a
    // placeholder before the application object exists): the usage line
    // names the command instead.
    QString text = m_parser.helpText();
    const qsizetype start = text.indexOf(QLatin1Char(' '));
    const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
    if (start >= 0 && end > start)
        text.replace(start + 1, end - start - 1, m_program);
    return text;
}

Result Arguments::usageError(const QString &reason) const
{
    Result result;
    result.stop = true;
    result.exitCode = kUsageError;
    result.standardError = QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(m_program, reason);
    return result;
}

Result Arguments::read(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return usageError(m_parser.errorText());
    Result result;
    if (m_parser.isSet(m_help)) {
        result.stop = true;
        result.standardOutput = helpText();
        return result;
    }
    if (m_parser.isSet(m_version)) {
        result.stop = true;
        result.standardOutput = QStringLiteral("%1 %2\n").arg(m_program, version());
        return result;
    }
    const QStringList names = m_parser.positionalArguments();
    if (names.size() < m_minimum)
        return usageError(QStringLiteral("missing %1").arg(m_positionalName));
    if (m_maximum >= 0 && names.size() > m_maximum)
        return usageError(QStringLiteral("unexpected argument '%1'").arg(names.at(m_maximum)));
    return result;
}

} // namespace commandline

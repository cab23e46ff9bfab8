#pragma once
// The command-line conventions every Orvane program follows:
//   -h, --help      the usage on standard output, exit 0
//   -v, --version   "<program> <version>" on standard output, exit 0
//   anything else it cannot read: the reason and a pointer to --help on
//   standard error, exit 2.
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace commandline {

// The exit code for arguments the program cannot read.
inline constexpr int kUsageError = 2;

// The version of this build, as --version prints it.
QString version();

// What reading the arguments came to: go on, or stop with an exit code
// after the texts are printed.
struct Result {
    bool stop = false;
    int exitCode = 0;
    QString standardOutput;
    QString standardError;
};

// The arguments the system gave the program, decoded as Qt decodes them.
QStringList decodeArguments(int argc, const char *const *argv);

// Prints the result's texts to standard output and standard error and
// returns its exit code.
int finish(const Result &result);

class Arguments {
public:
    // `program` is the command's name, as the user types it.
    Arguments(QString program, const QString &description);

    // Options beyond --help and --version are added here; read() leaves
    // their values in the parser.
    QCommandLineParser &parser() { return m_parser; }
    const QCommandLineParser &parser() const { return m_parser; }

    // The names after the options, shown in the usage as `syntax` (for
    // example "[FILE]" or "INPUT..."); `maximum` < 0 for no limit.
    void setPositional(const QString &name, const QString &description, const QString &syntax, int minimum,
                       int maximum);

    // Reads the arguments, the program's own name first.
    Result read(const QStringList &arguments);
    QStringList positional() const { return m_parser.positionalArguments(); }

    // A usage error that the program found itself (a bad option value, say).
    Result usageError(const QString &reason) const;
    QString helpText() const;

private:
    QString m_program;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QString m_positionalName;
    int m_minimum = 0;
    int m_maximum = -1;
};

} // namespace commandline

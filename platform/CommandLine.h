#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

namespace kvr::platform {

// A program's command line read with QCommandLineParser: long options after
// one or two dashes, -h/--help, and faults the program words itself (Qt's own
// error texts are English).
class CommandLine final
{
public:
    enum class Fault {
        None,
        UnknownOption, // also a positional argument, or a value given to a flag
        MissingValue,
    };

    explicit CommandLine(const QList<QCommandLineOption> &options);

    // Reads the arguments, the program name first. On a fault FaultArgument()
    // is the argument as typed ("--verbose", "--db").
    Fault Parse(const QStringList &arguments);
    QString FaultArgument() const { return m_faultArgument; }

    bool HelpRequested() const { return m_parser.isSet(m_help); }
    const QCommandLineParser &Parser() const { return m_parser; }

    // The synopsis line, then one line per option with its value name, the
    // descriptions aligned.
    QString HelpText(const QString &synopsis) const;

private:
    const QCommandLineOption *find(const QString &name) const;
    Fault fault(const QStringList &arguments);

    QList<QCommandLineOption> m_options;
    QCommandLineOption m_help;
    QCommandLineParser m_parser;
    QString m_faultArgument;
};

} // namespace kvr::platform

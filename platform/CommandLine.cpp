#include "platform/CommandLine.h"

namespace kvr::platform {

CommandLine::CommandLine(const QList<QCommandLineOption> &options)
    : m_options(options),
      m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("mostra esta ajuda"))
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions(m_options);
    m_parser.addOption(m_help);
    m_options.append(m_help);
}

CommandLine::Fault CommandLine::Parse(const QStringList &arguments)
{
    m_faultArgument.clear();
    if (!m_parser.parse(arguments))
        return fault(arguments);
    const QStringList extra = m_parser.positionalArguments();
    if (extra.isEmpty())
        return Fault::None;
    m_faultArgument = extra.first();
    return Fault::UnknownOption;
}

const QCommandLineOption *CommandLine::find(const QString &name) const
{
    for (const QCommandLineOption &option : m_options) {
        if (option.names().contains(name))
            return &option;
    }
    return nullptr;
}

// Walks the arguments as the parser did to name the first one it refused.
CommandLine::Fault CommandLine::fault(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            continue;
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0)
            name.truncate(equals);
        const QCommandLineOption *option = find(name);
        const bool takesValue = option && !option->valueName().isEmpty();
        if (!option || (equals >= 0 && !takesValue)) {
            m_faultArgument = argument;
            return Fault::UnknownOption;
        }
        if (takesValue && equals < 0) {
            if (i + 1 >= arguments.size()) {
                m_faultArgument = argument;
                return Fault::MissingValue;
            }
            ++i;
        }
    }
    m_faultArgument = arguments.value(1);
    return Fault::UnknownOption;
}

QString CommandLine::HelpText(const QString &synopsis) const
{
    QStringList columns;
    qsizetype width = 0;
    for (const QCommandLineOption &option : m_options) {
        QStringList names;
        for (const QString &name : option.names())
            names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
        QString column = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            column += QLatin1Char(' ') + option.valueName();
        width = qMax(width, column.size());
        columns.append(column);
    }
    QString text = synopsis + QLatin1Char('\n');
    for (qsizetype i = 0; i < m_options.size(); ++i)
        text += QStringLiteral("  ") + columns.at(i).leftJustified(width) + QStringLiteral("  ") +
                m_options.at(i).description() + QLatin1Char('\n');
    return text;
}

} // namespace kvr::platform

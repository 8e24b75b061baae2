// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"

#include "link/program.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

namespace orva
{

namespace
{

const QString kProgram = QStringLiteral("orva-control");
const QString kUsage =
    QStringLiteral("Usage: orva-control [--port COMn] [--rate 9600|19200] [--send TEXT]\n");

// QGuiApplication's and QApplication's own options, which QApplication takes
// out of the arguments later. Listed so that they are not unknown here.
const QStringList kQtOptionsWithValue = {
    QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"), QStringLiteral("plugin"),
    QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
    QStringLiteral("geometry"),      QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),  QStringLiteral("title"),
    QStringLiteral("display"),       QStringLiteral("name"),
    QStringLiteral("session"),       QStringLiteral("style"),
    QStringLiteral("stylesheet"),    QStringLiteral("visual"),
    QStringLiteral("ncols"),
};
const QStringList kQtOptionsAlone = {
    QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
    QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("cmap"),
};

CommandLine usageError(const QString& message)
{
    CommandLine line;
    line.action = CommandLine::Action::Exit;
    line.exitCode = kUsageExit;
    line.text = kProgram + QStringLiteral(": ") + message + QLatin1Char('\n') + kUsage +
                QStringLiteral("Try 'orva-control --help' for more information.\n");
    return line;
}

CommandLine exitWith(const QString& text)
{
    CommandLine line;
    line.action = CommandLine::Action::Exit;
    line.text = text;
    return line;
}

} // namespace

CommonOptions commonOptions()
{
    return {QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                               QStringLiteral("Show this help and end.")),
            QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the version and end."))};
}

QString helpBody(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
    return text;
}

QString portValueError(const QString& value)
{
    return QStringLiteral("--port wants COM%1 to COM%2 (or %1 to %2), not '%3'")
        .arg(kFirstPort)
        .arg(kLastPort)
        .arg(value);
}

std::optional<quint8> rateCode(const QString& text)
{
    if (text == QLatin1String("9600"))
        return quint8(96);
    if (text == QLatin1String("19200"))
        return quint8(192);
    return std::nullopt;
}

QString rateValueError(const QString& value)
{
    return QStringLiteral("--rate wants 9600 or 19200, not '%1'").arg(value);
}

std::optional<qint16> portNumber(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(?:COM)?([0-9]{1,2})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text);
    const qint16 number = match.hasMatch() ? qint16(match.captured(1).toInt()) : 0;
    if (!isValidPort(number))
        return std::nullopt;
    return qint16(number);
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform xcb).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Control panel for the ORVA MV-TR58 data projector on a serial line.\n"
                       "With no option the panel opens the port chosen last in COM PORT."));
    const auto [help, version] = commonOptions();
    const QCommandLineOption port(
        {QStringLiteral("p"), QStringLiteral("port")},
        QStringLiteral("Use COMn (%1 to %2; COM may be left out) for this run instead of the "
                       "port chosen in COM PORT.")
            .arg(kFirstPort)
            .arg(kLastPort),
        QStringLiteral("COMn"));
    // -p and -s as in GTKTerm, whose users expect them.
    const QCommandLineOption rate(
        {QStringLiteral("s"), QStringLiteral("rate"), QStringLiteral("speed")},
        QStringLiteral("Use 9600 or 19200 bit/s for this run."), QStringLiteral("RATE"));
    const QCommandLineOption send(
        QStringLiteral("send"),
        QStringLiteral("Send TEXT and a carriage return without opening a window, print "
                       "the reply's trace (and STATUS for a status read) and end: 0 when an "
                       "answer came, 1 when none came, 2 when the port would not open, 128 + the "
                       "signal when cut short by SIGTERM, SIGINT or SIGHUP."),
        QStringLiteral("TEXT"));
    parser.addOptions({help, version, port, rate, send});
    for (const QString& name : kQtOptionsWithValue) {
        QCommandLineOption qt(name, QString(), QStringLiteral("value"));
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }
    for (const QString& name : kQtOptionsAlone) {
        QCommandLineOption qt(name);
        qt.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qt);
    }

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return exitWith(kUsage + helpBody(parser));
    if (parser.isSet(version))
        return exitWith(kProgram + QStringLiteral(" " ORVA_VERSION "\n"));
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    CommandLine line;
    if (parser.isSet(port)) {
        line.portNo = portNumber(parser.value(port));
        if (!line.portNo)
            return usageError(portValueError(parser.value(port)));
    }
    if (parser.isSet(rate)) {
        line.baudCode = rateCode(parser.value(rate));
        if (!line.baudCode)
            return usageError(rateValueError(parser.value(rate)));
    }
    if (parser.isSet(send)) {
        const QString text = parser.value(send);
        // A command is printable ASCII; the carriage return is added. \z, as
        // $ would let a line feed at the end through ($(…) and here-strings
        // leave one).
        static const QRegularExpression printable(QStringLiteral("\\A[ -~]+\\z"));
        if (!printable.match(text).hasMatch())
            return usageError(
                QStringLiteral("--send wants a command of printable ASCII characters"));
        line.action = CommandLine::Action::Send;
        line.command = text.toLatin1();
    }
    return line;
}

} // namespace orva

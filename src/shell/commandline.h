// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCommandLineOption>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QCommandLineParser;

#include <optional>

namespace orva
{

// What the command line asks for. It is read before any window exists, so
// --help, --version, --send and a usage error need no display.
struct CommandLine {
    enum class Action {
        Panel, // start the panel (the port and rate below, if given, for this run)
        Send,  // send one command from a script, print the reply, end
        Exit,  // print text and end with exitCode: help, version or a usage error
    };
    Action action = Action::Panel;
    std::optional<qint16> portNo;
    std::optional<quint8> baudCode;
    // The command without its carriage return.
    QByteArray command;
    // Printed on standard output when exitCode is 0, else on standard error.
    QString text;
    int exitCode = 0;
};

// Exit codes of a usage error and of a port that would not open.
constexpr int kUsageExit = 2;

// What every program of the package reads alike, so their command lines
// agree word for word.
struct CommonOptions {
    QCommandLineOption help;
    QCommandLineOption version;
};
CommonOptions commonOptions();
// The parser's help without its first line, which names whatever binary runs.
QString helpBody(const QCommandLineParser& parser);

// A port as the command lines take it: "COM5", "com5" or "5", within the
// panel's port range; nothing otherwise.
std::optional<qint16> portNumber(const QString& text);
QString portValueError(const QString& value);
// "9600" or "19200" as the stored rate code (96, 192); nothing otherwise.
std::optional<quint8> rateCode(const QString& text);
QString rateValueError(const QString& value);

// Reads the arguments (the program name first). Qt's own options (-platform,
// -style, -display …) are let through for QApplication to take.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace orva

// SPDX-License-Identifier: GPL-3.0-or-later
#include "simcommandline.h"

#include "link/program.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <limits>
#include <optional>

namespace orva::sim
{

namespace
{

const QString kProgram = QStringLiteral("orva-projector-sim");
const QString kUsage =
    QStringLiteral("Usage: orva-projector-sim [--com N | --link PATH] [OPTION]...\n");

SimCommandLine ending(const QString& text, int exitCode)
{
    SimCommandLine line;
    line.run = false;
    line.text = text;
    line.exitCode = exitCode;
    return line;
}

SimCommandLine usageError(const QString& message)
{
    return ending(kProgram + QStringLiteral(": ") + message + QLatin1Char('\n') + kUsage +
                      QStringLiteral("Try 'orva-projector-sim --help' for more information.\n"),
                  2);
}

// A whole number from minimum to maximum (the largest int when not given).
struct Number {
    QCommandLineOption option;
    int minimum;
    int maximum = std::numeric_limits<int>::max();
};

} // namespace

SimCommandLine parseSimCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A projector on a pseudo-terminal, for trying out orva-control."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Link the port as PATH."),
                                  QStringLiteral("PATH"));
    const Number com{{QStringLiteral("com"),
                      QStringLiteral("Link the port where the panel looks for COM N (%1 to %2).")
                          .arg(kFirstPort)
                          .arg(kLastPort),
                      QStringLiteral("N")},
                     kFirstPort,
                     kLastPort};
    const QCommandLineOption noReply(QStringLiteral("no-reply"), QStringLiteral("Never answer."));
    const Number delay{{QStringLiteral("delay"), QStringLiteral("Answer MS milliseconds late."),
                        QStringLiteral("MS")},
                       0};
    const Number split{{QStringLiteral("split"), QStringLiteral("Send each reply in N pieces."),
                        QStringLiteral("N")},
                       1};
    const Number splitGap{{QStringLiteral("split-gap"),
                           QStringLiteral("Pause between pieces (default 20)."),
                           QStringLiteral("MS")},
                          0};
    const QCommandLineOption ackFirst(QStringLiteral("ack-first"),
                                      QStringLiteral("Send an ACK before each reply."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send garbage instead of each reply."));
    const QCommandLineOption garbageFirst(QStringLiteral("garbage-first"),
                                          QStringLiteral("Send garbage before each reply."));
    const QCommandLineOption stream(QStringLiteral("stream"),
                                    QStringLiteral("Send unsolicited bytes at the line rate."));
    const Number hangUpAfter{{QStringLiteral("hangup-after"),
                              QStringLiteral("Hang up after N commands."), QStringLiteral("N")},
                             1};
    const QCommandLineOption powerOn(QStringLiteral("power-on"),
                                     QStringLiteral("Start switched on."));
    const Number warmUp{{QStringLiteral("warmup"),
                         QStringLiteral("Count-down length (default 3000)."), QStringLiteral("MS")},
                        0};
    const Number coolDown{{QStringLiteral("cooldown"),
                           QStringLiteral("Cooling length (default 5000)."), QStringLiteral("MS")},
                          0};
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print each command received."));
    parser.addOptions({help, version, link, com.option, noReply, delay.option, split.option,
                       splitGap.option, ackFirst, garbage, garbageFirst, stream, hangUpAfter.option,
                       powerOn, warmUp.option, coolDown.option, log});

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        // The parser's own first line names whatever binary is running.
        QString text = parser.helpText();
        text.remove(0, text.indexOf(QLatin1Char('\n')) + 1);
        return ending(kUsage + text, 0);
    }
    if (parser.isSet(version))
        return ending(kProgram + QStringLiteral(" " ORVA_VERSION "\n"), 0);
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(link) && parser.isSet(com.option))
        return usageError(QStringLiteral("give --link or --com, not both"));
    if (parser.isSet(garbage) && parser.isSet(garbageFirst))
        return usageError(QStringLiteral("give --garbage or --garbage-first, not both"));

    SimCommandLine line;
    std::optional<QString> bad;
    // The value given, or fallback when the option is absent.
    const auto number = [&](const Number& n, int fallback) {
        if (!parser.isSet(n.option))
            return fallback;
        bool ok = false;
        const int value = parser.value(n.option).toInt(&ok);
        if ((!ok || value < n.minimum || value > n.maximum) && !bad) {
            const QString range = n.maximum == std::numeric_limits<int>::max()
                                      ? QStringLiteral("a whole number, %1 or more").arg(n.minimum)
                                      : QStringLiteral("%1 to %2").arg(n.minimum).arg(n.maximum);
            bad = QStringLiteral("--%1 wants %2, not '%3'")
                      .arg(n.option.names().first(), range, parser.value(n.option));
        }
        return value;
    };
    line.faults.noReply = parser.isSet(noReply);
    line.faults.delayMs = number(delay, line.faults.delayMs);
    line.faults.splitPieces = number(split, line.faults.splitPieces);
    line.faults.splitGapMs = number(splitGap, line.faults.splitGapMs);
    line.faults.ackFirst = parser.isSet(ackFirst);
    if (parser.isSet(garbage))
        line.faults.garbage = FaultOptions::Garbage::Instead;
    else if (parser.isSet(garbageFirst))
        line.faults.garbage = FaultOptions::Garbage::Before;
    line.faults.stream = parser.isSet(stream);
    line.faults.hangUpAfter = number(hangUpAfter, line.faults.hangUpAfter);
    line.model.powerOn = parser.isSet(powerOn);
    line.model.warmUpMs = number(warmUp, line.model.warmUpMs);
    line.model.coolDownMs = number(coolDown, line.model.coolDownMs);
    line.comNumber = number(com, 0);
    line.linkPath = parser.value(link);
    line.log = parser.isSet(log);
    if (bad)
        return usageError(*bad);
    return line;
}

} // namespace orva::sim

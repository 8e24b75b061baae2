// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypeer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using orva::sim::FaultOptions;
using orva::sim::PtyPeer;

namespace
{

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM quit the event loop so the link is removed on the way out.
void quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void say(FILE* stream, const QByteArray& line)
{
    std::fputs(line.constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString comPortLink(int number)
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = config + QStringLiteral("/ORVA/ports");
    QDir().mkpath(folder);
    return folder + QStringLiteral("/COM%1").arg(number);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orva-projector-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Projector on a pseudo-terminal, for trying out orva-control."));
    parser.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Link the port as PATH."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption com(QStringLiteral("com"),
                                 QStringLiteral("Link the port where the panel looks for COM N."),
                                 QStringLiteral("N"));
    const QCommandLineOption noReply(QStringLiteral("no-reply"), QStringLiteral("Never answer."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Answer MS milliseconds late."),
                                   QStringLiteral("MS"));
    const QCommandLineOption split(QStringLiteral("split"),
                                   QStringLiteral("Send each reply in N pieces."),
                                   QStringLiteral("N"));
    const QCommandLineOption splitGap(QStringLiteral("split-gap"),
                                      QStringLiteral("Pause between pieces (default 20)."),
                                      QStringLiteral("MS"), QStringLiteral("20"));
    const QCommandLineOption ackFirst(QStringLiteral("ack-first"),
                                      QStringLiteral("Send an ACK before each reply."));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Send garbage instead of each reply."));
    const QCommandLineOption garbageFirst(QStringLiteral("garbage-first"),
                                          QStringLiteral("Send garbage before each reply."));
    const QCommandLineOption stream(QStringLiteral("stream"),
                                    QStringLiteral("Send unsolicited bytes at the line rate."));
    const QCommandLineOption hangUpAfter(QStringLiteral("hangup-after"),
                                         QStringLiteral("Hang up after N commands."),
                                         QStringLiteral("N"));
    const QCommandLineOption powerOn(QStringLiteral("power-on"),
                                     QStringLiteral("Start switched on."));
    const QCommandLineOption warmUp(QStringLiteral("warmup"),
                                    QStringLiteral("Count-down length (default 3000)."),
                                    QStringLiteral("MS"), QStringLiteral("3000"));
    const QCommandLineOption coolDown(QStringLiteral("cooldown"),
                                      QStringLiteral("Cooling length (default 5000)."),
                                      QStringLiteral("MS"), QStringLiteral("5000"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Print each command received."));
    parser.addOptions({link, com, noReply, delay, split, splitGap, ackFirst, garbage, garbageFirst,
                       stream, hangUpAfter, powerOn, warmUp, coolDown, log});
    parser.process(app);

    bool valid = true;
    const auto number = [&](const QCommandLineOption& option, int minimum) {
        if (!parser.isSet(option) && option.defaultValues().isEmpty())
            return 0;
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < minimum) {
            say(stderr, "orva-projector-sim: bad value for --" + option.names().first().toUtf8());
            valid = false;
        }
        return value;
    };

    FaultOptions faults;
    faults.noReply = parser.isSet(noReply);
    faults.delayMs = number(delay, 0);
    faults.splitPieces = parser.isSet(split) ? number(split, 1) : 1;
    faults.splitGapMs = number(splitGap, 0);
    faults.ackFirst = parser.isSet(ackFirst);
    if (parser.isSet(garbage))
        faults.garbage = FaultOptions::Garbage::Instead;
    else if (parser.isSet(garbageFirst))
        faults.garbage = FaultOptions::Garbage::Before;
    faults.stream = parser.isSet(stream);
    faults.hangUpAfter = number(hangUpAfter, 1);

    orva::sim::ProjectorModel::Options model;
    model.powerOn = parser.isSet(powerOn);
    model.warmUpMs = number(warmUp, 0);
    model.coolDownMs = number(coolDown, 0);

    const int comNumber = number(com, 1);
    if (parser.isSet(link) && parser.isSet(com)) {
        say(stderr, "orva-projector-sim: give --link or --com, not both");
        valid = false;
    }
    if (!valid)
        return 2;

    PtyPeer peer(model, faults);
    if (!peer.isOpen()) {
        say(stderr, "orva-projector-sim: " + peer.errorString().toUtf8());
        return 1;
    }
    const QString linkPath = parser.isSet(com) ? comPortLink(comNumber) : parser.value(link);
    // COM N stays a link to the simulator's place after it ends, so the panel
    // reports it gone instead of opening the default device for that number.
    const bool linked =
        parser.isSet(com)
            ? peer.linkThrough(linkPath, QFileInfo(linkPath).absolutePath() +
                                             QStringLiteral("/.COM%1.sim").arg(comNumber))
            : linkPath.isEmpty() || peer.linkAs(linkPath);
    if (!linked) {
        say(stderr, "orva-projector-sim: " + peer.errorString().toUtf8());
        return 1;
    }

    if (parser.isSet(log)) {
        QObject::connect(&peer, &PtyPeer::commandReceived, [](const QByteArray& command) {
            say(stdout, orva::sim::escapeForLog(command));
        });
    }
    QObject::connect(&peer, &PtyPeer::hungUp, [] { say(stderr, "orva-projector-sim: hung up"); });
    quitOnSignals(app);

    QByteArray banner = "orva-projector-sim: listening on " + peer.slavePath().toUtf8();
    if (!linkPath.isEmpty())
        banner += ", linked as " + linkPath.toUtf8();
    say(stdout, banner);
    return app.exec();
}

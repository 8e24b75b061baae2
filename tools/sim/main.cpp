// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypeer.h"
#include "simcommandline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using orva::sim::PtyPeer;

namespace
{

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// SIGHUP (its terminal closed), SIGINT and SIGTERM quit the event loop so the
// link is removed on the way out: a pseudo-terminal number left behind is
// soon another program's.
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
    for (const int signal : {SIGHUP, SIGINT, SIGTERM})
        ::sigaction(signal, &action, nullptr);
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
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const orva::sim::SimCommandLine line = orva::sim::parseSimCommandLine(arguments);
    if (!line.run) {
        std::fputs(line.text.toLocal8Bit().constData(), line.exitCode == 0 ? stdout : stderr);
        return line.exitCode;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orva-projector-sim"));

    PtyPeer peer(line.model, line.faults);
    if (!peer.isOpen()) {
        say(stderr, "orva-projector-sim: " + peer.errorString().toUtf8());
        return 1;
    }
    const QString linkPath = line.comNumber ? comPortLink(line.comNumber) : line.linkPath;
    // COM N stays a link to the simulator's place after it ends, so the panel
    // reports it gone instead of opening the default device for that number.
    const bool linked =
        line.comNumber
            ? peer.linkThrough(linkPath, QFileInfo(linkPath).absolutePath() +
                                             QStringLiteral("/.COM%1.sim").arg(line.comNumber))
            : linkPath.isEmpty() || peer.linkAs(linkPath);
    if (!linked) {
        say(stderr, "orva-projector-sim: " + peer.errorString().toUtf8());
        return 1;
    }

    if (line.log) {
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

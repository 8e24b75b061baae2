// SPDX-License-Identifier: GPL-3.0-or-later
#include "bridge/bridgeoptions.h"
#include "bridge/pjlinkserver.h"
#include "bridge/projectorline.h"
#include "shell/endsignals.h"

#include <QCoreApplication>
#include <cstdio>

namespace
{

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const orva::BridgeOptions options = orva::parseBridgeCommandLine(arguments);
    if (options.action == orva::BridgeOptions::Action::Exit) {
        print(options.exitCode == 0 ? stdout : stderr, options.text);
        return options.exitCode;
    }
    QByteArray password;
    if (!options.passwordFile.isEmpty()) {
        QString error;
        password = orva::readPasswordFile(options.passwordFile, &error);
        if (password.isEmpty()) {
            print(stderr, QStringLiteral("orva-pjlink: %1\n").arg(error));
            return 2;
        }
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orva-pjlink"));
    const orva::pjlink::Identity identity{
        options.name,
        QByteArray("COM") + QByteArray::number(options.portNo) + " by orva-pjlink",
        QByteArray("orva-pjlink " ORVA_VERSION),
    };
    orva::ProjectorLine line(options.portNo, options.baudCode, identity);
    orva::PjlinkServer server(&line, password);
    server.setNotified(options.notify);
    QString error;
    if (!server.listen(options.address, options.port, &error)) {
        print(stderr, QStringLiteral("orva-pjlink: %1\n").arg(error));
        return 2;
    }
    // Ended by the service manager or a signal: the line is let go and its
    // lock file removed on the way out.
    const orva::EndSignals endSignals([](int) { QCoreApplication::quit(); });
    print(stderr, QStringLiteral("orva-pjlink: COM%1 on PJLink port %2%3\n")
                      .arg(options.portNo)
                      .arg(options.port)
                      .arg(password.isEmpty() ? QStringLiteral(", no password")
                                              : QStringLiteral(", password required")));
    server.announce();
    return app.exec();
}

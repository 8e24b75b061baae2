// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/scriptsend.h"
#include "look/accessibility.h"
#include "settings/storedsettings.h"
#include "shell/commandline.h"
#include "shell/endsignals.h"
#include "shell/form1.h"

#include <QApplication>
#include <cstdio>

namespace
{

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QStringList argumentList(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

} // namespace

int main(int argc, char* argv[])
{
    // Read before any application object: help, version, usage errors and a
    // send from a script need no display.
    const orva::CommandLine line = orva::parseCommandLine(argumentList(argc, argv));
    if (line.action == orva::CommandLine::Action::Exit) {
        print(line.exitCode == 0 ? stdout : stderr, line.text);
        return line.exitCode;
    }
    if (line.action == orva::CommandLine::Action::Send) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("orva-control"));
        const qint16 portNo = line.portNo.value_or(orva::storedPortNo());
        if (!orva::isValidPort(portNo)) {
            print(stderr, QStringLiteral("orva-control: no port chosen: give --port COMn, or "
                                         "choose one in COM PORT\n"));
            return 2;
        }
        const orva::ScriptSendResult result =
            orva::scriptSend(portNo, line.baudCode.value_or(orva::storedBaudCode()), line.command);
        print(stdout, result.out);
        print(stderr, result.err);
        return result.exitCode;
    }

    orva::keepGtkOffAccessibilityBus();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-control"));
    // Lets Wayland desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("orva-control"));
    orva::Form1 form1;
    form1.setStartChoice(line.portNo, line.baudCode);
    // A signal while the start still waits for a network port ends the
    // program too: quit() does nothing before the event loop runs, exit()
    // ends the wait, and the loop is then not started.
    bool ended = false;
    const orva::EndSignals endSignals([&](int) {
        ended = true;
        form1.Command16_Click();
        QCoreApplication::exit(0);
    });
    form1.start();
    return ended ? 0 : app.exec();
}

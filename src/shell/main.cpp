// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/endsignals.h"
#include "shell/form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orva-control"));
    // Lets Wayland desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("orva-control"));
    orva::Form1 form1;
    const orva::EndSignals endSignals([&form1] { form1.Command16_Click(); });
    form1.start();
    return app.exec();
}

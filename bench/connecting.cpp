// SPDX-License-Identifier: GPL-3.0-or-later
#include "connecting.h"

#include "line/portmap.h"
#include "shell/connecting.h"
#include "shell/form1.h"

#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>

namespace orva::bench
{

namespace
{

constexpr int kPortNo = 9;
constexpr int kStarts = 10;

} // namespace

void printConnectingWindow()
{
    QTcpServer silent;
    silent.listen(QHostAddress::LocalHost);
    QDir().mkpath(PortMap::portsFolder());
    QFile file(PortMap::linkPath(kPortNo));
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QStringLiteral("rfc2217://127.0.0.1:%1\n").arg(silent.serverPort()).toLatin1());
    file.close();

    QList<double> shown;
    for (int i = 0; i < kStarts; ++i) {
        // No boxes, and no end of the program: the dialog of a start given
        // up is closed with its window.
        Form1 form({[] {}, [](QWidget*, const QString&, const QString&, const QString&) {}});
        form.setStartChoice(kPortNo, 96);
        auto* window = form.findChild<QDialog*>(QStringLiteral("Connecting"));
        QElapsedTimer clock;
        QTimer look;
        look.setTimerType(Qt::PreciseTimer);
        QObject::connect(&look, &QTimer::timeout, window, [&] {
            if (!window->windowHandle() || !window->windowHandle()->isExposed())
                return;
            shown << clock.nsecsElapsed() / 1e6;
            look.stop();
            window->findChild<QPushButton*>(QStringLiteral("ConnectingButton"))->click();
        });
        look.start(1);
        clock.start();
        form.start();
    }
    QFile::remove(PortMap::linkPath(kPortNo));
    std::sort(shown.begin(), shown.end());
    if (shown.isEmpty())
        return;
    std::printf("\nconnecting window, start-up on a silent network server (%lld starts): "
                "exposed after %.1f ms (median), %.1f ms (max); it waits %d ms first, so a "
                "server nearby never makes it flash\n",
                qint64(shown.size()), shown[shown.size() / 2], shown.last(),
                int(Connecting::kShowDelay.count()));
}

} // namespace orva::bench

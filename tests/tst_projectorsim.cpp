// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectormodel.h"

#include <QTest>

using orva::sim::ProjectorModel;

// The simulator's answers that the panel's tests rely on; its fault options
// are exercised over a pty by tst_exchange and tst_panel.
class TstProjectorSim : public QObject
{
    Q_OBJECT
  private slots:
    void replies_data()
    {
        QTest::addColumn<bool>("powerOn");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");
        const auto row = [](const char* name, bool on, const char* before, const char* command,
                            const char* reply) {
            QTest::newRow(name) << on << QByteArray(before) << QByteArray(command)
                                << QByteArray(reply);
        };
        row("standby", false, "", "CR0", "80\r");
        row("control ACK", false, "", "C0A", "\x06");
        row("unknown command", false, "", "C0a", "?\r");
        // With the power-on option CR0 says "00" (every pty test of the panel).
        row("lamp status", true, "", "CR LAMPSTS", "000 1I\r");
        row("lamp mode", false, "CF LAMPMODE ECO", "CR LAMPMODE", "000 ECO\r");
        row("expanded read", false, "C0D", "CR VMUTE", "000 ON\r");
    }
    void replies()
    {
        QFETCH(bool, powerOn);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);
        ProjectorModel model({.powerOn = powerOn});
        if (!before.isEmpty())
            QCOMPARE(model.reply(before), QByteArray("\x06"));
        QCOMPARE(model.reply(command), reply);
    }
};

QTEST_GUILESS_MAIN(TstProjectorSim)
#include "tst_projectorsim.moc"

#pragma once

#include "link/portmap.h"
#include "ptypeer.h"
#include "settings/form2.h"
#include "shell/form1.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <memory>

// Stands in for the modal retry box and for the end of the program, so the
// tests drive the windows without nested event loops.
struct ShellHarness {
    QStringList messages;
    int ends = 0;

    ShellHarness()
    {
        isolatedConfigHome();
        QDir().mkpath(orva::PortMap::portsFolder());
    }

    orva::Form1::Hooks hooks()
    {
        return {[this] { ++ends; }, [this](QWidget*, const QString& prompt, const QString& title,
                                           const QString&) { messages << title + ": " + prompt; }};
    }

    // A simulated projector reachable as COM<port>.
    static std::unique_ptr<orva::sim::PtyPeer> projectorAt(int port)
    {
        auto peer = std::make_unique<orva::sim::PtyPeer>(orva::sim::ModelOptions{.powerOn = true});
        peer->linkAs(orva::PortMap::linkPath(port));
        return peer;
    }

    static void clearStore()
    {
        QFile::remove(configFile());
        QDir ports(orva::PortMap::portsFolder());
        for (const QString& name : ports.entryList(QDir::System | QDir::Files))
            ports.remove(name);
    }
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/mscomm.h"
#include "line/portmap.h"
#include "ptypeer.h"
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
        QDir(isolatedConfigHome().path()).removeRecursively();
        QDir().mkpath(orva::PortMap::portsFolder());
    }

    // A fresh store holding the given [StartUP] lines, and a panel started on it.
    std::unique_ptr<orva::Form1> startPanel(const QByteArray& stored)
    {
        QFile::remove(configFile());
        messages.clear();
        ends = 0;
        writeConfig("[StartUP]\n" + stored + "\n");
        auto form = std::make_unique<orva::Form1>(hooks());
        form->start();
        return form;
    }
};

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace orva
{

// Turns SIGTERM, SIGINT and SIGHUP (log-off, kill, Ctrl+C, timeout(1), a
// service manager) into a call on the event loop, given the signal, so the
// program ends as END ends it: port closed, lock file gone. One at a time.
class EndSignals : public QObject
{
    Q_OBJECT
  public:
    explicit EndSignals(std::function<void(int signal)> end, QObject* parent = nullptr);
    ~EndSignals() override;

  private:
    std::function<void(int)> m_end;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orva

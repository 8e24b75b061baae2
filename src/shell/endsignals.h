// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace orva
{

// Turns SIGTERM, SIGINT and SIGHUP (log-off, kill, a service manager) into a
// call on the event loop, so the program ends as END ends it: port closed,
// lock file gone. One per process.
class EndSignals : public QObject
{
    Q_OBJECT
  public:
    explicit EndSignals(std::function<void()> end, QObject* parent = nullptr);
    ~EndSignals() override;

  private:
    std::function<void()> m_end;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace orva

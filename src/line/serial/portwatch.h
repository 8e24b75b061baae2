// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace orva
{

// One link on the way from a path to its device, as the file system has it:
// a link removed and made again is another one, even with the same target.
struct LinkHop {
    quint64 dev = 0;
    quint64 ino = 0;
    qint64 ctimeNs = 0;
    QString target;
    bool operator==(const LinkHop&) const = default;
};
// Every link from path to where the chain ends (the device, or nothing).
QList<LinkHop> linkChain(const QString& path);

// Watches one path for a device to turn up there again: a timer that stats
// the path twice a second, following every link, so a recreated or
// re-pointed link and a replugged device alike are seen. No folder watching:
// /dev/serial/by-id itself comes and goes with the adapters.
class PortWatch : public QObject
{
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kPeriod{500};

    explicit PortWatch(QObject* parent = nullptr);

    // Starts watching; what is at the path now counts as already seen.
    void watch(const QString& path);
    void stop();
    bool isWatching() const { return m_timer.isActive(); }
    QString path() const { return m_path; }
    // A device that was there but would not open (busy) is offered again at
    // every look, not only when the path changes.
    void offerEveryLook(bool every) { m_everyLook = every; }

    // One look at the path; the timer calls it.
    void look();

  signals:
    // The path leads to a device that was not there at the last look.
    void arrived();

  private:
    struct Identity {
        quint64 dev = 0;
        quint64 ino = 0;
        quint64 rdev = 0;
        quint32 mode = 0;
        quint32 uid = 0;
        quint32 gid = 0;
        qint64 ctimeNs = 0;
        // A link on the way made again is a change too, even when it leads
        // to the very same device.
        QList<LinkHop> links;
        bool operator==(const Identity&) const = default;
    };
    std::optional<Identity> identity() const;

    QTimer m_timer;
    QString m_path;
    std::optional<Identity> m_seen;
    bool m_everyLook = false;
};

} // namespace orva

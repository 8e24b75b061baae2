// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/serial/portwatch.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace orva
{

QList<LinkHop> linkChain(const QString& path)
{
    QList<LinkHop> hops;
    QString at = path;
    // As many as the kernel follows before it gives up (ELOOP).
    for (int i = 0; i < 40 && !at.isEmpty(); ++i) {
        struct stat st {
        };
        const QByteArray name = QFile::encodeName(at);
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        const QString target = QFileInfo(at).symLinkTarget();
        hops.append({quint64(st.st_dev), quint64(st.st_ino),
                     qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec, target});
        at = target;
    }
    return hops;
}

PortWatch::PortWatch(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(kPeriod);
    connect(&m_timer, &QTimer::timeout, this, &PortWatch::look);
}

void PortWatch::watch(const QString& path)
{
    m_path = path;
    m_seen = identity();
    m_everyLook = false;
    m_timer.start();
}

void PortWatch::stop()
{
    m_timer.stop();
    m_everyLook = false;
}

void PortWatch::look()
{
    if (!isWatching())
        return;
    const std::optional<Identity> now = identity();
    const bool changed = now != m_seen;
    m_seen = now;
    if (now && (changed || m_everyLook))
        emit arrived();
}

std::optional<PortWatch::Identity> PortWatch::identity() const
{
    struct stat st {
    };
    if (m_path.isEmpty() || ::stat(QFile::encodeName(m_path).constData(), &st) != 0)
        return std::nullopt;
    return Identity{quint64(st.st_dev),
                    quint64(st.st_ino),
                    quint64(st.st_rdev),
                    quint32(st.st_mode),
                    quint32(st.st_uid),
                    quint32(st.st_gid),
                    qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec,
                    linkChain(m_path)};
}

} // namespace orva

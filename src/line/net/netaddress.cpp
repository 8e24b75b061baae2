// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/net/netaddress.h"

#include <QList>

#include <arpa/inet.h>

namespace orva
{

namespace
{

// Letters, digits and hyphens in dot-separated labels of at most 63, as DNS
// and /etc/hosts take them (an IPv4 address is such a name too).
bool isHostName(QStringView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    for (const QStringView label : host.split(QLatin1Char('.'))) {
        if (label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')) ||
            label.endsWith(QLatin1Char('-')))
            return false;
        for (const QChar c : label) {
            if (!(c.isDigit() || c == QLatin1Char('-') ||
                  (c.toLatin1() >= 'a' && c.toLatin1() <= 'z') ||
                  (c.toLatin1() >= 'A' && c.toLatin1() <= 'Z')))
                return false;
        }
    }
    return true;
}

// An IPv6 address, with a zone after "%" allowed ("fe80::1%eth0"). The C
// library checks it, so reading a ports file needs nothing of the network
// part.
bool isIpv6(QStringView text)
{
    const QByteArray address = text.left(text.indexOf(QLatin1Char('%'))).toLatin1();
    in6_addr parsed{};
    return ::inet_pton(AF_INET6, address.constData(), &parsed) == 1;
}

std::optional<NetAddress> fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return std::nullopt;
}

} // namespace

QString NetAddress::url() const
{
    const QString scheme =
        kind == Kind::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket");
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("%1://%2:%3").arg(scheme, shown).arg(port);
}

std::optional<NetAddress> NetAddress::parse(QStringView text, QString* why)
{
    const QStringView line = text.trimmed();
    if (line.contains(QLatin1Char('\n')))
        return fail(why, QStringLiteral("more than one line"));
    NetAddress a;
    QStringView rest;
    if (line.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive)) {
        rest = line.mid(10);
    } else if (line.startsWith(QLatin1String("socket://"), Qt::CaseInsensitive)) {
        a.kind = Kind::Raw;
        rest = line.mid(9);
    } else {
        return fail(why, QStringLiteral("not rfc2217://host:port or socket://host:port"));
    }
    qsizetype colon = -1;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0 || !isIpv6(rest.mid(1, close - 1)))
            return fail(why, QStringLiteral("not an IPv6 address in brackets"));
        a.host = rest.mid(1, close - 1).toString();
        colon = close + 1;
        if (colon >= rest.size() || rest[colon] != QLatin1Char(':'))
            return fail(why, QStringLiteral("no port number after the host"));
    } else {
        colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return fail(why, QStringLiteral("no port number after the host"));
        const QStringView host = rest.first(colon);
        if (host.contains(QLatin1Char(':')))
            return fail(why, QStringLiteral("an IPv6 address goes in brackets, as [::1]:4001"));
        if (!isHostName(host))
            return fail(why, QStringLiteral("\"%1\" is not a host name").arg(host));
        a.host = host.toString();
    }
    const QStringView port = rest.mid(colon + 1);
    bool ok = !port.isEmpty() && port.size() <= 5;
    for (const QChar c : port)
        ok = ok && c.isDigit();
    const uint number = ok ? port.toUInt() : 0;
    if (number < 1 || number > 65535)
        return fail(why, QStringLiteral("the port must be a number from 1 to 65535"));
    a.port = quint16(number);
    return a;
}

} // namespace orva

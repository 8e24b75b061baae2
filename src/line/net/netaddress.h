// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace orva
{

// A serial port on a network server, as a ports/COMn file names it:
// "rfc2217://host:port" (telnet with the serial port option, so the rate and
// 8N1 are set on the far port) or "socket://host:port" (bytes as they are).
// The host is a name, an IPv4 address or an IPv6 address in brackets.
struct NetAddress {
    enum class Kind { Rfc2217, Raw };

    Kind kind = Kind::Rfc2217;
    QString host;
    quint16 port = 0;

    // The address written back the way it is parsed: "rfc2217://[::1]:4001".
    QString url() const;

    // Surrounding white space (a final newline) is allowed; why says what is
    // wrong otherwise.
    static std::optional<NetAddress> parse(QStringView text, QString* why);
};

} // namespace orva

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <bitset>

namespace orva
{

// The telnet layer (RFC 854/855) a serial port on a network server runs over,
// with the serial port's own option (RFC 2217), seen from the client.
//
// decode() takes the bytes from the server in pieces of any size: data bytes
// come out as data (a doubled 0xFF as one 0xFF), commands never do. Options
// are agreed without loops: binary both ways, no go-ahead, the serial port
// option on our side; anything else (echo among them) is refused once.
class TelnetCodec
{
  public:
    static constexpr quint8 kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                            kSe = 240;
    static constexpr quint8 kBinary = 0, kEcho = 1, kSuppressGoAhead = 3, kComPort = 44;
    // The serial port's settings the client sets; the server answers each
    // with the command plus 100 and the value it did set.
    enum Setting : quint8 {
        kSetBaudRate = 1,
        kSetDataSize = 2,
        kSetParity = 3,
        kSetStopSize = 4,
        kSetControl = 5,
    };
    static constexpr quint8 kReplyOffset = 100;

    enum class ComPort { Unknown, Accepted, Refused };

    struct Subnegotiation {
        quint8 option = 0;
        QByteArray payload;
        bool operator==(const Subnegotiation&) const = default;
    };
    struct Decoded {
        QByteArray data;
        // What must go back to the server in answer, already encoded.
        QByteArray reply;
        QList<Subnegotiation> subnegotiations;
    };

    // The client's opening: it runs the serial port, binary both ways, with
    // no go-aheads.
    QByteArray start();
    Decoded decode(QByteArrayView bytes);
    // Whether the server agreed to run its serial port for us.
    ComPort comPort() const { return m_comPort; }

    // Data as it goes on the wire: every 0xFF doubled.
    static QByteArray escape(QByteArrayView data);
    static QByteArray setBaudRate(quint32 baud);
    // 8 data bits, no parity, 1 stop bit, no flow control.
    static QByteArray set8N1();
    // What set8N1() asks for, by setting.
    static quint8 asked8N1(Setting setting);
    // A setting's value in words: "9600 bit/s", "7 data bits", "even parity".
    static QString settingText(Setting setting, quint32 value);

  private:
    enum class State { Data, Iac, Verb, Sb, SbIac };

    // The byte after an IAC.
    void afterIac(quint8 b, Decoded& out);
    void negotiate(quint8 verb, quint8 option, QByteArray& reply);
    void endSubnegotiation(Decoded& out);

    State m_state = State::Data;
    quint8 m_verb = 0;
    QByteArray m_sb;
    // Options in force on our side and the server's, and those already refused.
    std::bitset<256> m_will, m_do, m_wontSaid, m_dontSaid;
    ComPort m_comPort = ComPort::Unknown;
};

} // namespace orva

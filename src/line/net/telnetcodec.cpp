// SPDX-License-Identifier: GPL-3.0-or-later
#include "line/net/telnetcodec.h"

namespace orva
{

namespace
{

// A subnegotiation longer than any this client understands is cut here so a
// server that never ends one cannot grow memory.
constexpr qsizetype kSubnegotiationLimit = 256;

QByteArray command(quint8 verb, quint8 option)
{
    const char bytes[3] = {char(TelnetCodec::kIac), char(verb), char(option)};
    return QByteArray(bytes, 3);
}

QByteArray comPortSet(quint8 what, QByteArrayView value)
{
    const char head[4] = {char(TelnetCodec::kIac), char(TelnetCodec::kSb),
                          char(TelnetCodec::kComPort), char(what)};
    QByteArray out(head, 4);
    out += TelnetCodec::escape(value);
    out += char(TelnetCodec::kIac);
    out += char(TelnetCodec::kSe);
    return out;
}

bool weDo(quint8 option)
{
    return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead ||
           option == TelnetCodec::kComPort;
}

bool theyMay(quint8 option)
{
    return option == TelnetCodec::kBinary || option == TelnetCodec::kSuppressGoAhead;
}

} // namespace

QByteArray TelnetCodec::start()
{
    QByteArray out;
    for (const quint8 option : {kComPort, kBinary, kSuppressGoAhead}) {
        m_will.set(option);
        out += command(kWill, option);
    }
    for (const quint8 option : {kBinary, kSuppressGoAhead}) {
        m_do.set(option);
        out += command(kDo, option);
    }
    return out;
}

TelnetCodec::Decoded TelnetCodec::decode(QByteArrayView bytes)
{
    Decoded out;
    out.data.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = quint8(c);
        switch (m_state) {
        case State::Data:
            if (b == kIac)
                m_state = State::Iac;
            else
                out.data += c;
            break;
        case State::Iac:
            afterIac(b, out);
            break;
        case State::Verb:
            negotiate(m_verb, b, out.reply);
            m_state = State::Data;
            break;
        case State::Sb:
            if (b == kIac)
                m_state = State::SbIac;
            else if (m_sb.size() < kSubnegotiationLimit)
                m_sb += c;
            break;
        case State::SbIac:
            if (b == kIac) {
                if (m_sb.size() < kSubnegotiationLimit)
                    m_sb += c;
                m_state = State::Sb;
                break;
            }
            // Any other command where SE belonged ends the subnegotiation and
            // counts as itself (another SB among them): none of it is data.
            endSubnegotiation(out);
            afterIac(b, out);
            break;
        }
    }
    return out;
}

void TelnetCodec::afterIac(quint8 b, Decoded& out)
{
    m_state = State::Data;
    if (b == kIac) {
        out.data += char(b);
    } else if (b >= kWill && b <= kDont) {
        m_verb = b;
        m_state = State::Verb;
    } else if (b == kSb) {
        m_sb.clear();
        m_state = State::Sb;
    }
    // NOP, go-ahead and the other bare commands mean nothing here.
}

void TelnetCodec::endSubnegotiation(Decoded& out)
{
    if (m_sb.isEmpty())
        return;
    out.subnegotiations.append({quint8(m_sb[0]), m_sb.mid(1)});
    m_sb.clear();
}

void TelnetCodec::negotiate(quint8 verb, quint8 option, QByteArray& reply)
{
    // Answer only what changes a state, so two sides never echo each other.
    switch (verb) {
    case kDo:
        if (option == kComPort)
            m_comPort = ComPort::Accepted;
        if (weDo(option) && !m_will[option]) {
            m_will.set(option);
            reply += command(kWill, option);
        } else if (!weDo(option) && !m_wontSaid[option]) {
            m_wontSaid.set(option);
            reply += command(kWont, option);
        }
        break;
    case kDont:
        if (option == kComPort)
            m_comPort = ComPort::Refused;
        if (m_will[option]) {
            m_will.reset(option);
            reply += command(kWont, option);
        }
        break;
    case kWill:
        if (theyMay(option) && !m_do[option]) {
            m_do.set(option);
            reply += command(kDo, option);
        } else if (!theyMay(option) && !m_dontSaid[option]) {
            m_dontSaid.set(option);
            reply += command(kDont, option);
        }
        break;
    case kWont:
        if (m_do[option]) {
            m_do.reset(option);
            reply += command(kDont, option);
        }
        break;
    }
}

QByteArray TelnetCodec::escape(QByteArrayView data)
{
    QByteArray out;
    out.reserve(data.size());
    for (const char c : data) {
        out += c;
        if (quint8(c) == kIac)
            out += c;
    }
    return out;
}

QByteArray TelnetCodec::setBaudRate(quint32 baud)
{
    const char value[4] = {char(baud >> 24), char(baud >> 16), char(baud >> 8), char(baud)};
    return comPortSet(kSetBaudRate, QByteArrayView(value, 4));
}

quint8 TelnetCodec::asked8N1(Setting setting)
{
    // 8 data bits; parity NONE (1), 1 stop bit (1), no flow control either
    // way (1).
    return setting == kSetDataSize ? 8 : 1;
}

QByteArray TelnetCodec::set8N1()
{
    QByteArray out;
    for (const Setting setting : {kSetDataSize, kSetParity, kSetStopSize, kSetControl}) {
        const char value = char(asked8N1(setting));
        out += comPortSet(setting, QByteArrayView(&value, 1));
    }
    return out;
}

QString TelnetCodec::settingText(Setting setting, quint32 value)
{
    static const char* const parities[] = {"no", "odd", "even", "mark", "space"};
    static const char* const stops[] = {"1 stop bit", "2 stop bits", "1.5 stop bits"};
    static const char* const controls[] = {"no flow control", "XON/XOFF flow control",
                                           "RTS/CTS flow control"};
    switch (setting) {
    case kSetBaudRate:
        return QStringLiteral("%1 bit/s").arg(value);
    case kSetDataSize:
        return QStringLiteral("%1 data bits").arg(value);
    case kSetParity:
        if (value >= 1 && value <= 5)
            return QStringLiteral("%1 parity").arg(QLatin1String(parities[value - 1]));
        break;
    case kSetStopSize:
        if (value >= 1 && value <= 3)
            return QLatin1String(stops[value - 1]);
        break;
    case kSetControl:
        if (value >= 1 && value <= 3)
            return QLatin1String(controls[value - 1]);
        break;
    }
    return QStringLiteral("setting %1 = %2").arg(setting).arg(value);
}

} // namespace orva

// SPDX-License-Identifier: GPL-3.0-or-later
#include "pjlink.h"

#include "link/replytrace.h"

#include <QCryptographicHash>

#include <algorithm>
#include <array>

namespace orva::pjlink
{

namespace
{

constexpr char Ack = 0x06;

struct Command {
    const char* name;
    // The lowest class that defines it.
    char cls;
};

constexpr std::array kCommands = {
    Command{"POWR", '1'}, Command{"INPT", '1'}, Command{"AVMT", '1'}, Command{"ERST", '1'},
    Command{"LAMP", '1'}, Command{"INST", '1'}, Command{"NAME", '1'}, Command{"INF1", '1'},
    Command{"INF2", '1'}, Command{"INFO", '1'}, Command{"CLSS", '1'}, Command{"SNUM", '2'},
    Command{"SVER", '2'}, Command{"INNM", '2'}, Command{"IRES", '2'}, Command{"RRES", '2'},
    Command{"FILT", '2'}, Command{"RLMP", '2'}, Command{"RFIL", '2'}, Command{"SVOL", '2'},
    Command{"MVOL", '2'}, Command{"FREZ", '2'},
};

// The inputs the projector can be switched to, PJLink's number first: its
// computer inputs are RGB, video and S-video are VIDEO, DVI is DIGITAL.
struct Input {
    const char* pjlink;
    const char* command;
    const char* name;
};
constexpr std::array kInputs = {
    Input{"11", "C05", "Computer 1"},     Input{"12", "C06", "Computer 2"},
    Input{"21", "C07", "Video"},          Input{"22", "C34", "S-video"},
    Input{"31", "C5B", "Computer 2 DVI"},
};

const Input* inputNamed(QByteArrayView pjlink)
{
    const auto it =
        std::ranges::find_if(kInputs, [&](const Input& i) { return pjlink == i.pjlink; });
    return it == kInputs.end() ? nullptr : &*it;
}

bool printable(QByteArrayView text)
{
    return std::ranges::all_of(text, [](char c) { return c >= 0x20 && c <= 0x7e; });
}

Parsed answered(const Request& request, Error e)
{
    Parsed parsed;
    parsed.kind = Parsed::Kind::Answer;
    parsed.request = request;
    parsed.answer = error(request, e);
    return parsed;
}

// The text of a read's reply before its carriage return, any ACK in front
// taken off; nothing for a reply that never reached its carriage return.
std::optional<QByteArrayView> readText(const QByteArray& reply)
{
    QByteArrayView text(reply);
    while (text.startsWith(Ack))
        text = text.sliced(1);
    const qsizetype cr = text.indexOf('\r');
    if (cr < 0)
        return std::nullopt;
    return text.first(cr);
}

// An expanded read's value: "000 ON" is ON.
std::optional<QByteArrayView> expandedValue(const QByteArray& reply)
{
    const auto text = readText(reply);
    if (!text || !text->startsWith("000 "))
        return std::nullopt;
    return text->sliced(4);
}

std::optional<bool> onOff(const QByteArray& reply)
{
    const auto value = expandedValue(reply);
    if (value == QByteArrayView("ON"))
        return true;
    if (value == QByteArrayView("OFF"))
        return false;
    return std::nullopt;
}

// The panel's STATUS words for a status read's reply, an ACK in front taken
// off: the bridge reads a reply as the panel shows it.
QString statusWords(const char* read, const QByteArray& reply)
{
    QByteArrayView bytes(reply);
    while (bytes.startsWith(Ack))
        bytes = bytes.sliced(1);
    ReplyTrace trace;
    trace.append(bytes);
    return trace.decode(QByteArray(read) + '\r', QString()).value_or(QString());
}

bool is(const QString& words, const char* text)
{
    return words == QLatin1String(text);
}

// PJLink's power state from the status read "CR0": 0 stand-by, 1 on,
// 2 cooling down, 3 warming up (the projector's count down); 'E' for the
// projector's abnormalities, 0 for a reply that says nothing.
char powerState(const QByteArray& reply)
{
    const QString words = statusWords("CR0", reply);
    if (is(words, " Power ON"))
        return '1';
    if (is(words, " Stand by"))
        return '0';
    if (is(words, " Count down"))
        return '3';
    if (is(words, " Cooling down"))
        return '2';
    return words.isEmpty() ? 0 : 'E';
}

// Fan, lamp, temperature, cover, filter, other: 0 fine, 1 warning, 2 error.
QByteArray errorDigits(const QByteArray& status, const QByteArray& lamp, const QByteArray& warn)
{
    QByteArray digits = "000000";
    const QString power = statusWords("CR0", status);
    if (is(power, " Temperature abnormality"))
        digits[2] = '2';
    else if (is(power, " Lamp Failure"))
        digits[1] = '2';
    else if (is(power, " Power abnormality"))
        digits[5] = '2';
    if (is(statusWords("CR LAMPSTS", lamp), " Lamp is failure"))
        digits[1] = '2';
    if (const auto near = expandedValue(warn);
        near && !near->isEmpty() && *near != "0" && digits[2] == '0')
        digits[2] = '1';
    return digits;
}

QByteArray withoutLeadingZeros(QByteArrayView digits)
{
    while (digits.size() > 1 && digits.front() == '0')
        digits = digits.sliced(1);
    return digits.toByteArray();
}

bool allDigits(QByteArrayView text)
{
    return !text.isEmpty() &&
           std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

QByteArray macText(QByteArrayView mac)
{
    return mac.toByteArray().toHex(':');
}

} // namespace

Parsed parse(QByteArrayView line)
{
    Parsed parsed;
    if (line.size() < 2 || line[0] != '%' || line[1] < '0' || line[1] > '9')
        return parsed;
    Request request;
    request.cls = line[1];
    request.command = line.sliced(2).first(std::min<qsizetype>(4, line.size() - 2)).toByteArray();
    const auto known = std::ranges::find_if(
        kCommands, [&](const Command& c) { return request.command == c.name; });
    if (known == kCommands.end() || (request.cls != '1' && request.cls != '2') ||
        request.cls < known->cls || (line.size() > 6 && line[6] != ' '))
        return answered(request, Error::Undefined);
    request.param = line.size() > 7 ? line.sliced(7).toByteArray() : QByteArray();
    if (request.param.isEmpty() || !printable(request.param))
        return answered(request, Error::OutOfRange);
    parsed.kind = Parsed::Kind::Request;
    parsed.request = request;
    return parsed;
}

QByteArray overLong(QByteArrayView start)
{
    const Parsed parsed = parse(start.first(std::min<qsizetype>(8, start.size())));
    if (parsed.kind == Parsed::Kind::Junk)
        return {};
    if (parsed.kind == Parsed::Kind::Answer)
        return parsed.answer;
    return error(parsed.request, Error::OutOfRange);
}

QByteArray answer(const Request& request, QByteArrayView value)
{
    return '%' + QByteArray(1, request.cls) + request.command + '=' + value.toByteArray() + '\r';
}

QByteArray error(const Request& request, Error e)
{
    return answer(request, "ERR" + QByteArray::number(int(e)));
}

QByteArray greeting(QByteArrayView random)
{
    if (random.isEmpty())
        return QByteArrayLiteral("PJLINK 0\r");
    return "PJLINK 1 " + random.toByteArray() + '\r';
}

QByteArray digest(QByteArrayView random, QByteArrayView password)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(random);
    hash.addData(password);
    return hash.result().toHex();
}

std::optional<QByteArrayView> afterDigest(QByteArrayView line, QByteArrayView expected)
{
    if (line.size() < kDigestLength ||
        line.first(kDigestLength).compare(expected, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return line.sliced(kDigestLength);
}

QList<QByteArray> notifications(const Observed& before, const Observed& after)
{
    QList<QByteArray> lines;
    // A first sight is no change. Power is told when it has arrived: on, or
    // in stand-by.
    const auto told = [&](const char* command, const QByteArray& was, const QByteArray& is) {
        if (!was.isEmpty() && !is.isEmpty() && is != was)
            lines << "%2" + QByteArray(command) + '=' + is + '\r';
    };
    if (after.power == "0" || after.power == "1")
        told("POWR", before.power, after.power);
    told("INPT", before.input, after.input);
    told("AVMT", before.mute, after.mute);
    told("ERST", before.errors, after.errors);
    return lines;
}

QByteArray linkUp(QByteArrayView mac)
{
    return "%2LKUP=" + macText(mac) + '\r';
}

QByteArray searchAnswer(QByteArrayView mac)
{
    return "%2ACKN=" + macText(mac) + '\r';
}

bool isSearch(QByteArrayView datagram)
{
    return datagram == "%2SRCH\r";
}

bool replyComplete(QByteArrayView command, QByteArrayView reply)
{
    if (reply.contains('\r'))
        return true;
    const bool read = command.startsWith("CR");
    return !read && reply.contains(Ack);
}

Job::Job(const Request& request, const Identity& identity, Observed& observed)
    : m_request(request), m_identity(identity), m_observed(observed)
{
}

Job::Step Job::start()
{
    return next();
}

Job::Step Job::replied(const QByteArray& reply)
{
    m_replies.append(reply);
    return next();
}

Job::Step Job::send(const char* command)
{
    return Step{command, {}};
}

Job::Step Job::done(QByteArrayView value)
{
    return Step{{}, answer(m_request, value)};
}

Job::Step Job::fail(Error e)
{
    return Step{{}, error(m_request, e)};
}

bool Job::acked(qsizetype index) const
{
    return index < m_replies.size() && m_replies[index].startsWith(Ack);
}

Job::Step Job::next()
{
    const QByteArray& c = m_request.command;
    const bool query = m_request.param == "?";
    if (c == "POWR")
        return power();
    if (c == "INPT")
        return input();
    if (c == "AVMT")
        return mute();
    if (c == "ERST" || c == "LAMP" || c == "INST" || c == "NAME" || c == "INF1" || c == "INF2" ||
        c == "INFO" || c == "CLSS" || c == "SVER" || c == "FILT") {
        // Reads only.
        if (!query)
            return fail(Error::OutOfRange);
        if (c == "ERST")
            return errors();
        if (c == "LAMP")
            return lamp();
        if (c == "INST") {
            QList<QByteArray> all;
            for (const Input& i : kInputs)
                all << i.pjlink;
            return done(all.join(' '));
        }
        if (c == "NAME")
            return done(m_identity.name);
        if (c == "INF1")
            return done("ORVA");
        if (c == "INF2")
            return done("MV-TR58");
        if (c == "INFO")
            return done(m_identity.info);
        if (c == "CLSS")
            return done("2");
        if (c == "SVER")
            return done(m_identity.version);
    }
    return classTwo();
}

Job::Step Job::power()
{
    const QByteArray& p = m_request.param;
    if (p != "?" && p != "0" && p != "1")
        return fail(Error::OutOfRange);
    if (m_replies.isEmpty())
        return send("CR0");
    const char state = powerState(m_replies[0]);
    if (state == 0 || state == 'E')
        return fail(Error::Failure);
    m_observed.power = QByteArray(1, state);
    if (p == "?")
        return done(m_observed.power);
    if (m_replies.size() == 1) {
        if (p == "1") {
            if (state == '1' || state == '3')
                return done("OK");
            // The projector takes no POWER ON while cooling down.
            return state == '2' ? fail(Error::Unavailable) : send("C00");
        }
        return state == '0' || state == '2' ? done("OK") : send("C01");
    }
    if (!acked(1))
        return fail(Error::Failure);
    // Switched: warming up or cooling down from now on.
    m_observed.power = p == "1" ? "3" : "2";
    return done("OK");
}

Job::Step Job::input()
{
    const QByteArray& p = m_request.param;
    if (p == "?") {
        if (m_replies.isEmpty())
            return send("CR1");
        const QString words = statusWords("CR1", m_replies[0]);
        // The projector tells its input by number; where two PJLink inputs
        // share one, the one chosen last through PJLink is the answer.
        QByteArray value;
        if (is(words, " Input 1"))
            value = "11";
        else if (is(words, " Input 2"))
            value = m_observed.input2;
        else if (is(words, " Input 3"))
            value = m_observed.input3;
        else if (is(words, " Wired"))
            value = "51";
        else if (is(words, " Wireless/Viewer"))
            value = "52";
        else
            return fail(Error::Failure);
        m_observed.input = value;
        return done(value);
    }
    const Input* chosen = inputNamed(p);
    if (!chosen)
        return fail(Error::OutOfRange);
    if (m_replies.isEmpty())
        return send(chosen->command);
    if (!acked(0))
        return fail(Error::Failure);
    if (p[0] == '2')
        m_observed.input3 = p;
    else if (p != "11")
        m_observed.input2 = p;
    m_observed.input = p;
    return done("OK");
}

Job::Step Job::mute()
{
    const QByteArray& p = m_request.param;
    if (p == "?") {
        if (m_replies.isEmpty())
            return send("CR VMUTE");
        if (m_replies.size() == 1)
            return send("CR MUTE");
        const auto video = onOff(m_replies[0]);
        const auto audio = onOff(m_replies[1]);
        if (!video || !audio)
            return fail(Error::Failure);
        m_observed.mute = *video && *audio ? "31" : *video ? "11" : *audio ? "21" : "30";
        return done(m_observed.mute);
    }
    // Video mute, audio mute, both; off and on.
    static const char* const commands[3][2][2] = {
        {{"C0E", nullptr}, {"C0D", nullptr}},
        {{"C0C", nullptr}, {"C0B", nullptr}},
        {{"C0E", "C0C"}, {"C0D", "C0B"}},
    };
    if (p.size() != 2 || p[0] < '1' || p[0] > '3' || p[1] < '0' || p[1] > '1')
        return fail(Error::OutOfRange);
    const char* const* plan = commands[p[0] - '1'][p[1] - '0'];
    const qsizetype sent = m_replies.size();
    if (sent > 0 && !acked(sent - 1))
        return fail(Error::Failure);
    if (sent < 2 && plan[sent])
        return send(plan[sent]);
    // What is known now of the other mute stays as it was seen.
    const bool on = p[1] == '1';
    const QByteArray& was = m_observed.mute;
    bool video = was == "11" || was == "31";
    bool audio = was == "21" || was == "31";
    if (p[0] != '2')
        video = on;
    if (p[0] != '1')
        audio = on;
    if (!was.isEmpty() || p[0] == '3')
        m_observed.mute = video && audio ? "31" : video ? "11" : audio ? "21" : "30";
    return done("OK");
}

Job::Step Job::errors()
{
    if (m_replies.isEmpty())
        return send("CR0");
    if (m_replies.size() == 1)
        return powerState(m_replies[0]) == 0 ? fail(Error::Failure) : send("CR LAMPSTS");
    if (m_replies.size() == 2)
        return send("CR TEMPWARN");
    m_observed.errors = errorDigits(m_replies[0], m_replies[1], m_replies[2]);
    return done(m_observed.errors);
}

Job::Step Job::lamp()
{
    if (m_replies.isEmpty())
        return send("CR3");
    const auto hours = readText(m_replies[0]);
    if (!hours || !allDigits(*hours))
        return fail(Error::Failure);
    if (m_replies.size() == 1)
        return send("CR LAMPSTS");
    const bool on = is(statusWords("CR LAMPSTS", m_replies[1]), " Lamp is ON");
    return done(withoutLeadingZeros(*hours) + (on ? " 1" : " 0"));
}

Job::Step Job::classTwo()
{
    const QByteArray& c = m_request.command;
    const QByteArray& p = m_request.param;
    if (c == "FILT") {
        if (m_replies.isEmpty())
            return send("CR FILH");
        const auto hours = expandedValue(m_replies[0]);
        return hours && allDigits(*hours) ? done(withoutLeadingZeros(*hours))
                                          : fail(Error::Failure);
    }
    if (c == "INNM") {
        const Input* named = p.startsWith('?') ? inputNamed(p.sliced(1)) : nullptr;
        return named ? done(named->name) : fail(Error::OutOfRange);
    }
    if (c == "SVOL" || c == "FREZ") {
        if (c == "FREZ" && p == "?") {
            if (m_replies.isEmpty())
                return send("CR FREEZE");
            const auto frozen = onOff(m_replies[0]);
            return frozen ? done(*frozen ? "1" : "0") : fail(Error::Failure);
        }
        if (p != "0" && p != "1")
            return fail(Error::OutOfRange);
        if (m_replies.isEmpty()) {
            if (c == "SVOL")
                return send(p == "1" ? "C09" : "C0A");
            return send(p == "1" ? "C43" : "C44");
        }
        return acked(0) ? done("OK") : fail(Error::Failure);
    }
    // The serial number, resolutions, replacement parts and microphone are
    // nothing the projector can tell or do over its serial line.
    return fail(Error::Undefined);
}

} // namespace orva::pjlink

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// PJLink, the projector industry's network protocol, on the projector's side:
// the lines a controller sends, the answers, the authentication, and how each
// request maps onto the serial projector's own commands and replies. No I/O
// and no timers: the bridge feeds it lines and replies and sends what it says.
namespace orva::pjlink
{

inline constexpr quint16 kPort = 4352;
// "%1" + four letters + separator + at most 128 parameter bytes; the carriage
// return is not counted.
inline constexpr int kMaxLine = 135;
inline constexpr int kDigestLength = 32;

enum class Error { Undefined = 1, OutOfRange = 2, Unavailable = 3, Failure = 4 };

struct Request {
    char cls = '1';
    QByteArray command;
    QByteArray param;
};

// One line from a controller, its carriage return taken off.
struct Parsed {
    enum class Kind {
        Request, // a request to carry out
        Answer,  // answered at once (an undefined command, a bad parameter)
        Junk,    // not PJLink at all: no header to answer under
    };
    Kind kind = Kind::Junk;
    Request request;
    QByteArray answer;
};
Parsed parse(QByteArrayView line);
// What the first bytes of an over-long line are answered with: ERR2 under
// their header, or nothing when they are no PJLink line.
QByteArray overLong(QByteArrayView start);

QByteArray answer(const Request& request, QByteArrayView value);
QByteArray error(const Request& request, Error error);

// "PJLINK 0" without a password, "PJLINK 1 <random>" with one.
QByteArray greeting(QByteArrayView random);
inline const QByteArray kAuthError = QByteArrayLiteral("PJLINK ERRA\r");
// Lower-case hexadecimal MD5 of the random text followed by the password.
QByteArray digest(QByteArrayView random, QByteArrayView password);
// The line after its digest when it starts with the expected one (either
// case); nothing when it does not.
std::optional<QByteArrayView> afterDigest(QByteArrayView line, QByteArrayView expected);

// What the bridge says about itself.
struct Identity {
    QByteArray name;
    QByteArray info;
    QByteArray version;
};

// The projector's state as the bridge last saw it, for notifications and to
// read back the input among those that share a number on the projector.
struct Observed {
    QByteArray power;
    QByteArray input;
    QByteArray mute;
    QByteArray errors;
    // The PJLink input last chosen for the projector's input 2 and 3.
    QByteArray input2 = "12";
    QByteArray input3 = "21";
};

// The notification lines for what changed between two observations; what
// was not known before has not changed.
QList<QByteArray> notifications(const Observed& before, const Observed& after);
// "%2LKUP=aa:bb:cc:dd:ee:ff" and "%2ACKN=…" for a MAC address of six bytes.
QByteArray linkUp(QByteArrayView mac);
QByteArray searchAnswer(QByteArrayView mac);
bool isSearch(QByteArrayView datagram);

// Whether the reply to a serial command is complete: a control or setting is
// answered by ACK (or by "?" and a carriage return), a read at its carriage
// return.
bool replyComplete(QByteArrayView command, QByteArrayView reply);

// One request carried out on the projector: each step is a serial command to
// send (without its carriage return) or, at the end, the answer.
class Job
{
  public:
    struct Step {
        QByteArray command;
        QByteArray answer;
        bool done() const { return !answer.isEmpty(); }
    };

    Job(const Request& request, const Identity& identity, Observed& observed);
    Step start();
    // The reply to the last command; empty when none came in time.
    Step replied(const QByteArray& reply);

  private:
    Step next();
    Step send(const char* command);
    Step done(QByteArrayView value);
    Step fail(Error error);
    Step power();
    Step input();
    Step mute();
    Step errors();
    Step lamp();
    Step classTwo();
    bool acked(qsizetype index) const;

    Request m_request;
    const Identity& m_identity;
    Observed& m_observed;
    QList<QByteArray> m_replies;
};

} // namespace orva::pjlink

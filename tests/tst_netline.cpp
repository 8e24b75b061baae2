// SPDX-License-Identifier: GPL-3.0-or-later
// Network ports: the ports/COMn file, the telnet layer, gateways of our own
// that misbehave, a start-up that waits, and NetLine through a real ser2net.
#include "line/lines.h"
#include "line/net/netaddress.h"
#include "line/net/netline.h"
#include "line/net/telnetcodec.h"
#include "line/portmap.h"
#include "link/scriptsend.h"
#include "look/accessibility.h"
#include "ptypeer.h"
#include "shell/form1.h"
#include "testenv.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

using namespace orva;

namespace
{

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// The pty's rate when it is set to 8 data bits, no parity, 1 stop bit and no
// flow control either kind; else 0.
speed_t ptySpeed(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd, &t);
    ::close(fd);
    const bool is8N1 =
        (t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) == CS8 && !(t.c_iflag & (IXON | IXOFF));
    return is8N1 ? ::cfgetospeed(&t) : 0;
}

void writePortFile(const QByteArray& content)
{
    QDir().mkpath(PortMap::portsFolder());
    QFile file(PortMap::linkPath(7));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(content);
}

// What the telnet layer makes of a stream cut at the given offsets.
TelnetCodec::Decoded decodeCut(const QByteArray& stream, QList<qsizetype> cuts)
{
    TelnetCodec codec;
    codec.start();
    TelnetCodec::Decoded all;
    cuts.append(stream.size());
    qsizetype from = 0;
    for (const qsizetype to : cuts) {
        const TelnetCodec::Decoded part =
            codec.decode(QByteArrayView(stream).sliced(from, to - from));
        all.data += part.data;
        all.reply += part.reply;
        all.subnegotiations += part.subnegotiations;
        from = to;
    }
    return all;
}

// A gateway of the test's own that misbehaves as real ones do. It agrees to
// run its serial port (unless silent, when it says nothing at all) and
// answers each setting (unless rateless) with the value asked for, but for
// the one setting fixed names in its first byte: then with the rest of fixed.
class Gateway : public QTcpServer
{
  public:
    Gateway(bool silent, bool rateless, const QByteArray& fixed)
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [=, this] {
            QTcpSocket* client = nextPendingConnection();
            if (silent)
                return;
            client->write(QByteArray::fromHex("fffd2c"));
            auto codec = std::make_shared<TelnetCodec>();
            connect(client, &QTcpSocket::readyRead, client, [=] {
                for (const auto& sub : codec->decode(client->readAll()).subnegotiations)
                    if (!rateless && !sub.payload.isEmpty())
                        client->write(QByteArray::fromHex("fffa2c") +
                                      char(sub.payload[0] + TelnetCodec::kReplyOffset) +
                                      TelnetCodec::escape(fixed.startsWith(sub.payload[0])
                                                              ? fixed.mid(1)
                                                              : sub.payload.mid(1)) +
                                      QByteArray::fromHex("fff0"));
            });
        });
    }
};

// The network between the panel and a server: cut() drops the panel's side
// at once and refuses it until back(), while the server keeps the old
// connection, as it does when a cable or a router is out.
class Network : public QTcpServer
{
  public:
    explicit Network(quint16 server) : m_server(server)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* near = nextPendingConnection();
            auto* far = new QTcpSocket(this);
            far->connectToHost(QHostAddress::LocalHost, m_server);
            connect(near, &QTcpSocket::readyRead, far, [=] { far->write(near->readAll()); });
            connect(far, &QTcpSocket::readyRead, near, [=] { near->write(far->readAll()); });
            connect(far, &QTcpSocket::disconnected, near, &QTcpSocket::disconnectFromHost);
            m_near.append(near);
        });
        back();
    }
    void cut()
    {
        close();
        for (QTcpSocket* near : std::exchange(m_near, {}))
            near->abort();
    }
    void back() { listen(QHostAddress::LocalHost, m_port), m_port = serverPort(); }

  private:
    quint16 m_server, m_port = 0;
    QList<QTcpSocket*> m_near;
};

} // namespace

class TestNetLine : public QObject
{
    Q_OBJECT

    // One simulator per device: ser2net hands a device from one accepter to
    // another only some time after the first client left.
    std::unique_ptr<sim::PtyPeer> m_sim, m_rawSim;
    QTemporaryDir m_dir;
    QProcess m_ser2net;
    int m_bareMaster = -1;
    quint16 m_rfc2217 = 0, m_raw = 0, m_bare = 0;

    // Waits without the event loop, so no line of the test's tries to
    // connect meanwhile.
    void startSer2net()
    {
        // A test that crashes leaves no server behind.
        m_ser2net.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_ser2net.start(QStringLiteral("ser2net"),
                        {"-d", "-u", "-c", m_dir.filePath(QStringLiteral("ser2net.yaml"))});
        QVERIFY2(m_ser2net.waitForStarted(), "ser2net is not installed (scripts/deps.sh)");
        for (int tries = 0; tries < 50; ++tries) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_bare);
            if (probe.waitForConnected(100))
                return;
            QThread::msleep(100);
        }
        QFAIL("ser2net does not listen");
    }

    // ser2net lets the device go a moment after the last client left.
    NetLine* opened(quint16 port, qint32 baud, NetAddress::Kind kind = NetAddress::Kind::Rfc2217)
    {
        for (int tries = 0;; ++tries) {
            try {
                auto* l = new NetLine(7, {kind, QStringLiteral("127.0.0.1"), port}, this);
                l->open(baud);
                return l;
            } catch (const SerialError& e) {
                if (e.failure() != OpenFailure::Busy || tries == 20)
                    throw;
                QTest::qWait(100);
            }
        }
    }

  private slots:
    void initTestCase()
    {
        isolatedConfigHome();
        setNetLineMaker(&orva_make_net_line);
        m_sim = std::make_unique<sim::PtyPeer>(sim::ModelOptions{.powerOn = true});
        QVERIFY(m_sim->linkAs(m_dir.filePath(QStringLiteral("projector"))));
        m_rawSim = std::make_unique<sim::PtyPeer>(sim::ModelOptions{.powerOn = true});
        QVERIFY(m_rawSim->linkAs(m_dir.filePath(QStringLiteral("raw"))));
        int slave = -1;
        char name[64] = {};
        QVERIFY(::openpty(&m_bareMaster, &slave, name, nullptr, nullptr) == 0);
        ::fcntl(m_bareMaster, F_SETFL, O_NONBLOCK);
        m_rfc2217 = freePort();
        m_raw = freePort();
        m_bare = freePort();
        // The configuration ser2net 4 reads. Over RFC 2217 the client sets the
        // rate and 8N1 without flow control (7E1 with both kinds to start
        // with); raw TCP keeps 9600 8N1. Only the first lets a new client in
        // while it holds an old one.
        QFile yaml(m_dir.filePath(QStringLiteral("ser2net.yaml")));
        QVERIFY(yaml.open(QIODevice::WriteOnly));
        yaml.write(
            QString::asprintf("%%YAML 1.1\n---\n"
                              "connection: &sim\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%u\n"
                              "  connector: serialdev,%s,9600e71,local,rtscts,xonxoff\n"
                              "  options:\n    kickolduser: true\n"
                              "connection: &raw\n  accepter: tcp,127.0.0.1,%u\n"
                              "  connector: serialdev,%s,9600n81,local\n"
                              "connection: &bare\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%u\n"
                              "  connector: serialdev,%s,9600n81,local\n",
                              m_rfc2217, qPrintable(m_sim->linkPath()), m_raw,
                              qPrintable(m_rawSim->linkPath()), m_bare, name)
                .toUtf8());
        yaml.close();
        startSer2net();
    }

    void cleanupTestCase()
    {
        m_ser2net.kill();
        m_ser2net.waitForFinished();
    }

    // A ports/COMn file names the port everywhere; one that holds anything
    // else fails naming the file, what it holds and what is wrong.
    void portFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("shown");
        const std::pair<const char*, const char*> cases[] = {
            {"rfc2217://gateway.lan:2217\n", "COM7 (rfc2217://gateway.lan:2217)"},
            {"  socket://192.168.1.20:4001 ", "COM7 (socket://192.168.1.20:4001)"},
            {"RFC2217://[::1]:4001", "COM7 (rfc2217://[::1]:4001)"},
            {"/dev/ttyUSB0", "not rfc2217://host:port or socket://host:port"},
            {"socket://::1:4001", "an IPv6 address goes in brackets, as [::1]:4001"},
            {"socket://[::1]", "no port number after the host"},
            {"socket://gateway:0", "the port must be a number from 1 to 65535"},
            {"socket://gateway:65536", "the port must be a number from 1 to 65535"},
            {"socket://gateway:65535", "COM7 (socket://gateway:65535)"},
            {"socket://gate_way:4001", "\"gate_way\" is not a host name"},
            {"socket://a:1\nsocket://b:2", "more than one line"},
        };
        for (const auto& [content, shown] : cases)
            QTest::newRow(content) << QByteArray(content) << QString(shown);
    }
    void portFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        writePortFile(content);
        QCOMPARE(describePort(7),
                 shown.startsWith("COM7 (")
                     ? shown
                     : QStringLiteral("COM7: %1 holds \"%2\": %3")
                           .arg(PortMap::linkPath(7), QString(content).simplified(), shown));
        QFile::remove(PortMap::linkPath(7));
    }

    // ser2net's own opening, a doubled 0xFF, a subnegotiation with an escaped
    // 0xFF, commands in data, subnegotiations ended by another SB or a WILL
    // (which counts) instead of SE: the same whatever the stream is cut into.
    void codecSplits()
    {
        const QByteArray stream =
            QByteArray::fromHex("fffb03fffd03fffb01fffe01fffd00fffb00fffd2cfffa2c6b00fff0"
                                "41ffff42fffa2c6500ffff2580fff0fff1430dfffa2c6908fff0fffa2c6b"
                                "30fffa2c6b30fff0fffa2c6b30fffb0144ff");
        const TelnetCodec::Decoded whole = decodeCut(stream, {});
        QCOMPARE(whole.data, QByteArray("A\xff"
                                        "BC\rD"));
        // Echo refused, the rest agreed already: no more than that goes back.
        QCOMPARE(whole.reply, QByteArray::fromHex("fffe01"));
        QCOMPARE(whole.subnegotiations.size(), 6);
        QCOMPARE(whole.subnegotiations[1].payload, QByteArray::fromHex("6500ff2580"));
        // Said again, ser2net's opening gets no answer: nothing loops.
        TelnetCodec codec;
        codec.start();
        codec.decode(stream.left(28));
        QCOMPARE(codec.decode(stream.left(28)).reply, QByteArray());
        for (qsizetype i = 0; i <= stream.size(); ++i)
            for (qsizetype j = i; j <= stream.size(); ++j) {
                const TelnetCodec::Decoded cut = decodeCut(stream, {i, j});
                QVERIFY(cut.data == whole.data && cut.reply == whole.reply &&
                        cut.subnegotiations == whole.subnegotiations);
            }
    }

    // Random bytes in random pieces: the same as in one piece, never more
    // data than came in, answers well formed, and data escaped for the wire
    // comes back as it was. ORVA_FUZZ_ROUNDS runs longer.
    void codecFuzz()
    {
        const int rounds = qEnvironmentVariableIntValue("ORVA_FUZZ_ROUNDS");
        QRandomGenerator random(16);
        for (int round = 0; round < (rounds > 0 ? rounds : 3000); ++round) {
            QByteArray stream(random.bounded(1, 300), 0);
            for (char& c : stream)
                c = char(random.bounded(8) == 0 ? 0xff : random.bounded(256));
            QList<qsizetype> cuts;
            for (qsizetype at = random.bounded(1, 40); at < stream.size();
                 at += random.bounded(1, 40))
                cuts.append(at);
            const TelnetCodec::Decoded whole = decodeCut(stream, {});
            const TelnetCodec::Decoded cut = decodeCut(stream, cuts);
            QVERIFY(cut.data == whole.data && cut.reply == whole.reply &&
                    cut.subnegotiations == whole.subnegotiations);
            QVERIFY(whole.data.size() <= stream.size());
            // Answers are whole option commands, nothing else.
            for (qsizetype i = 0; i < whole.reply.size(); i += 3)
                QVERIFY(whole.reply.size() % 3 == 0 && quint8(whole.reply[i]) == 0xff &&
                        quint8(whole.reply[i + 1]) >= TelnetCodec::kWill);
            TelnetCodec codec;
            QCOMPARE(codec.decode(TelnetCodec::escape(stream)).data, stream);
        }
    }

    void rate_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("changed");
        // Raw TCP leaves the rate to the server: 9600 in its configuration.
        QTest::newRow("raw") << true << 19200 << int(B9600) << int(B9600);
        QTest::newRow("19200") << false << 19200 << int(B19200) << int(B9600);
        QTest::newRow("9600") << false << 9600 << int(B9600) << int(B19200);
    }
    // The rate chosen reaches the far pseudo-terminal, and a status read
    // reaches the simulator and comes back, telnet kept out of it.
    void rate()
    {
        QFETCH(bool, raw);
        QFETCH(int, baud);
        QFETCH(int, speed);
        QFETCH(int, changed);
        NetLine* l = raw ? opened(m_raw, baud, NetAddress::Kind::Raw) : opened(m_rfc2217, baud);
        const QString device = (raw ? m_rawSim : m_sim)->linkPath();
        QCOMPARE(int(ptySpeed(device)), speed);
        QByteArray reply;
        l->write("CR0\r");
        QTRY_COMPARE((reply += l->readAll()), QByteArray("00\r"));
        l->setBaudRate(baud == 9600 ? 19200 : 9600);
        QTRY_COMPARE(int(ptySpeed(device)), changed);
        l->close();
    }

    // 0xFF crosses the link as one byte both ways.
    void byteFF()
    {
        NetLine* l = opened(m_bare, 19200);
        const QByteArray bytes("\xff\x01\xff\xff\xfa\xf0", 6);
        l->write(bytes);
        QByteArray far;
        char got[64];
        const auto readFar = [&] {
            return qMax<ssize_t>(0, ::read(m_bareMaster, got, sizeof got));
        };
        QTRY_COMPARE((far += QByteArray(got, readFar())), bytes);
        QCOMPARE(::write(m_bareMaster, bytes.constData(), bytes.size()), bytes.size());
        QByteArray back;
        QTRY_COMPARE((back += l->readAll()), bytes);
        l->close();
    }

    // A start-up on a network port: while it connects, a window names the
    // port (the main window still hidden) and offers to give up; when it
    // fails, COM PORT comes up and the reason and cure stay in sight and
    // are spoken, without a box to press. Given up, only COM PORT comes.
    void startUp_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::addColumn<bool>("giveUp");
        QTest::addColumn<QString>("reason");
        QTest::newRow("silent server") << true << false << "the server answered nothing within 3 s";
        QTest::newRow("given up") << true << true << QString();
        QTest::newRow("nothing listening") << false << false << "connection refused";
    }
    void startUp()
    {
        QFETCH(bool, listening);
        QFETCH(bool, giveUp);
        QFETCH(QString, reason);
        QTcpServer silent;
        const quint16 port =
            listening ? (silent.listen(QHostAddress::LocalHost), silent.serverPort()) : freePort();
        const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(port);
        writePortFile(url.toUtf8());
        writeConfig("[StartUP]\nComPort=7\nBaudRate=192\n");
        QStringList boxes;
        Form1 form({[] {}, [&](QWidget*, const QString& prompt, const QString&,
                               const QString&) { boxes << prompt; }});
        auto* window = form.findChild<QDialog*>("Connecting");
        auto* text = window->findChild<QLabel*>("ConnectingText");
        auto* hint = window->findChild<QLabel*>("ConnectingHint");
        QString seen;
        bool mainShown = false;
        QTimer look;
        connect(&look, &QTimer::timeout, window, [&] {
            mainShown = mainShown || form.isVisible();
            if (!window->isVisible() || !seen.isEmpty())
                return;
            seen = text->text();
            if (giveUp)
                QTest::mouseClick(window->findChild<QPushButton*>("ConnectingButton"),
                                  Qt::LeftButton);
        });
        look.start(20);
        form.start();
        look.stop();
        // Refused at once, there is nothing to wait for (but a loaded machine).
        QVERIFY(!listening || seen == "Connecting to COM7 (" + url + ") …");
        QVERIFY(!mainShown && !form.isVisible() && boxes.isEmpty());
        QVERIFY(form.comDialog() && form.comDialog()->isVisible());
        QCOMPARE(window->isVisible(), !giveUp);
        if (giveUp)
            return;
        QCOMPARE(text->text(), "COM7 (" + url + "): " + reason);
        QVERIFY(!hint->text().isEmpty());
        QCOMPARE(window->findChild<Announcer*>()->spoken(), text->text() + ". " + hint->text());
    }

    // A server's answers are compared with what was asked; a silent server is
    // named so; one that never answers the rate is used after its time-out,
    // as is one that set what was asked. From a script: exit 2 and why.
    void gateways_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("rateless");
        QTest::addColumn<QByteArray>("fixed");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("fixed rate") << false << false << QByteArray::fromHex("0100002580") << 2
                                    << "the server set its port to 9600 bit/s, not 19200 bit/s\n"
                                       "The server keeps a rate of its own: set its port there";
        QTest::newRow("even parity") << false << false << QByteArray::fromHex("0303") << 2
                                     << "the server set its port to even parity, not no parity";
        QTest::newRow("as asked") << false << false << QByteArray() << 1 << " X X X X";
        QTest::newRow("rate not answered") << false << true << QByteArray() << 1 << " X X X X";
        QTest::newRow("silent")
            << true << false << QByteArray() << 2
            << "the server answered nothing within 3 s\nIt took the connection and sent "
               "nothing, as a hung or stopped serial server does";
    }
    void gateways()
    {
        QFETCH(bool, silent);
        QFETCH(bool, rateless);
        QFETCH(QByteArray, fixed);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        Gateway gateway(silent, rateless, fixed);
        writePortFile("rfc2217://127.0.0.1:" + QByteArray::number(gateway.serverPort()));
        const ScriptSendResult result = scriptSend(7, 192, "CR0");
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY2((exitCode == 2 ? result.err : result.out).contains(said), qPrintable(result.err));
    }

    // The network out for 10 s, the server keeping the old connection: with
    // kickolduser back about a second after the network (tries are not spaced
    // out over a long outage); without, busy, and the notice says why. A
    // server restarted: back at the rate, which it had to be told again.
    void outage_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::addColumn<bool>("kicks");
        QTest::addColumn<int>("seconds");
        QTest::newRow("kickolduser") << false << true << 10;
        QTest::newRow("old connection kept") << false << false << 1;
        QTest::newRow("server restarted") << true << true << 3;
    }
    void outage()
    {
        QFETCH(bool, restart);
        QFETCH(bool, kicks);
        QFETCH(int, seconds);
        Network network(kicks ? m_rfc2217 : m_bare);
        NetLine* l = opened(restart ? m_rfc2217 : network.serverPort(), 19200);
        QSignalSpy lost(l, &Line::lost);
        QSignalSpy back(l, &Line::back);
        QSignalSpy failed(l, &Line::reopenFailed);
        restart ? (m_ser2net.kill(), void(m_ser2net.waitForFinished())) : network.cut();
        QTRY_COMPARE(lost.size(), 1);
        QTest::qWait(seconds * 1000);
        restart ? startSer2net() : network.back();
        QElapsedTimer returned;
        returned.start();
        if (!kicks) {
            QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 10000);
            QCOMPARE(failed[0][0].toString(), "COM7 busy: the server may still hold the lost "
                                              "connection (\"Port already in use\")");
            QVERIFY(back.isEmpty());
            return l->close();
        }
        QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 6000);
        qInfo("back %lld ms after the server's return", qint64(returned.elapsed()));
        QCOMPARE(int(ptySpeed(m_sim->linkPath())), int(B19200));
        QByteArray reply;
        l->write("CR0\r");
        QTRY_COMPARE((reply += l->readAll()), QByteArray("00\r"));
        l->close();
    }
};

QTEST_MAIN(TestNetLine)
#include "tst_netline.moc"

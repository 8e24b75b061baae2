#include "projectormodel.h"
#include "ptypeer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <termios.h>
#include <unistd.h>

using orva::sim::FaultOptions;
using orva::sim::ProjectorModel;
using orva::sim::PtyPeer;

Q_DECLARE_METATYPE(ProjectorModel::Options)
Q_DECLARE_METATYPE(FaultOptions)

namespace
{

const QByteArray Ack(1, '\x06');
const ProjectorModel::Options Off{};
const ProjectorModel::Options On{true};

// The panel's end of the line, opened the way it opens a serial port.
class SlaveEnd
{
  public:
    explicit SlaveEnd(const QString& path, bool reading = true)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio{};
        if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
            return;
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
        if (!reading)
            return;
        notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                reads.append(QByteArray(buffer, n));
            else if (n == 0 || errno != EAGAIN)
                notifier->setEnabled(false);
        });
    }
    ~SlaveEnd()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
    bool send(const QByteArray& bytes) const
    {
        return ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    QByteArray received() const { return reads.join(); }

    const int fd;
    QList<QByteArray> reads;
    std::unique_ptr<QSocketNotifier> notifier;
};

// Sends command under the peer's faults, then a well-behaved CR1 as a
// marker: once its "1\r" is in, all of the first reply has arrived.
std::optional<QByteArray> exchange(PtyPeer& peer, SlaveEnd& end, const QByteArray& command)
{
    const qsizetype before = peer.commands().size();
    if (!end.send(command) ||
        !QTest::qWaitFor([&] { return peer.commands().size() > before && peer.isIdle(); }))
        return {};
    peer.setFaults({});
    if (!end.send("CR1\r") || !QTest::qWaitFor([&] { return end.received().endsWith("1\r"); }))
        return {};
    return end.received().chopped(2);
}

} // namespace

class TstProjectorSim : public QObject
{
    Q_OBJECT
  private slots:
    void knownControlsAcknowledge_data()
    {
        QTest::addColumn<QByteArray>("command");
        const QByteArray known = "C00 C01 C02 C05 C06 C07 C09 C0A C0B C0C C0D C0E C0F C10 C11 C12 "
                                 "C13 C14 C15 C16 C17 C18 C19 C1C C1D C1E C20 C21 C25 C27 C28 C29 "
                                 "C2A C2B C2E C30 C31 C34 C39 C3A C3B C3C C3D C3F C43 C44 C50 C51 "
                                 "C54 C59 C5A C5B C5C C89 C8A C8E C8F C90 C91";
        for (const QByteArray& command : known.split(' '))
            QTest::newRow(command.constData()) << command;
    }

    void knownControlsAcknowledge()
    {
        QFETCH(QByteArray, command);
        QCOMPARE(ProjectorModel().reply(command), Ack);
    }

    void unknownCommands_data()
    {
        QTest::addColumn<QByteArray>("command");
        const std::pair<const char*, const char*> rows[] = {
            {"lower-case hex digit", "C0a"},
            {"one space", " "},
            {"empty line", ""},
            {"gap in the list", "C03"},
            {"past the list", "C92"},
            {"three hex digits", "C000"},
            {"one hex digit", "C0"},
            {"status read that does not exist", "CR2"},
            {"status read with trailing space", "CR0 "},
            {"expanded read of unknown name", "CR FOO"},
            {"expanded read in lower case", "CR lampsts"},
            {"setting of unknown name", "CF VOLUME 3"},
            {"key lock value unknown", "CF KEYDIS ALL"},
            {"lamp mode in lower case", "CF LAMPMODE eco"},
            {"8-bit bytes", "\xff\xfe"}};
        for (const auto& [name, command] : rows)
            QTest::newRow(name) << QByteArray(command);
        QTest::newRow("NUL before a command") << QByteArray("\0C00", 4);
    }

    void unknownCommands()
    {
        QFETCH(QByteArray, command);
        QCOMPARE(ProjectorModel().reply(command), QByteArray("?\r"));
    }

    void script_data()
    {
        QTest::addColumn<ProjectorModel::Options>("options");
        // Steps split at '|': "+N" moves the injected clock on, ">N" calls advance(N),
        // "=NN" sets the installation and "~NN" has it refused; the rest are commands.
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("reply");

        struct Row {
            const char* name;
            ProjectorModel::Options options;
            const char *script, *command, *reply;
        };
        const Row rows[] = {
            {"starts in standby", Off, "", "CR0", "80\r"},
            {"power-on option starts on", On, "", "CR0", "00\r"},
            {"C00 starts the count-down", Off, "C00", "CR0", "40\r"},
            {"count-down lasts the warm-up", Off, "C00|+2999", "CR0", "40\r"},
            {"on after the warm-up", Off, "C00|+3000", "CR0", "00\r"},
            {"warm-up is an option", {false, 500}, "C00|+500", "CR0", "00\r"},
            {"C01 while on cools", On, "C01", "CR0", "20\r"},
            {"C02 while on cools", On, "C02", "CR0", "20\r"},
            {"off during the count-down cools", Off, "C00|+1000|C01", "CR0", "20\r"},
            {"cooling lasts the cool-down", On, "C01|+4999", "CR0", "20\r"},
            {"standby after cooling", On, "C01|+5000", "CR0", "80\r"},
            {"cool-down is an option", {true, 3000, 700}, "C01|+700", "CR0", "80\r"},
            {"C00 while cooling is ignored", On, "C01|+100|C00|+4900", "CR0", "80\r"},
            {"C00 while on stays on", On, "C00", "CR0", "00\r"},
            {"advance moves time on", Off, "C00|>3000", "CR0", "00\r"},
            {"advance adds to the clock", Off, "C00|+1500|>1500", "CR0", "00\r"},
            {"line feed before a command", Off, "", "\nCR0", "80\r"},

            {"lamp off in standby", Off, "", "CR LAMPSTS", "000 1O\r"},
            {"lamp lit in the count-down", Off, "C00", "CR LAMPSTS", "000 1I\r"},
            {"lamp lit when on", On, "", "CR LAMPSTS", "000 1I\r"},
            {"lamp off while cooling", On, "C01", "CR LAMPSTS", "000 1O\r"},
            {"lamp hours at start", Off, "", "CR3", "00123\r"},
            {"an hour on adds a lamp hour", On, "+3600000", "CR3", "00124\r"},
            {"count-down counts as lamp time", Off, "C00|+3600000", "CR3", "00124\r"},
            {"standby adds no lamp hours", Off, "+7200000", "CR3", "00123\r"},
            {"lamp time adds up over sessions", On, "+1800000|C01|+3600000|C00|+1800000", "CR3",
             "00124\r"},
            {"lamp hours stop at five digits",
             {true, 3000, 5000, 99999},
             "+3600000",
             "CR3",
             "99999\r"},
            {"LAMPH follows the hours", On, "+3600000", "CR LAMPH", "000 00124\r"},
            {"lamp hours in the tens of thousands",
             {false, 3000, 5000, 12345},
             "",
             "CR3",
             "12345\r"},
            {"temperatures in standby", Off, "", "CR6", "024.5 025.0 025.5\r"},
            {"temperatures when on", On, "", "CR6", "025.0 030.5 041.2\r"},

            {"input 1 at start", Off, "", "CR1", "1\r"},
            {"INPUT follows the input", Off, "C07", "CR INPUT", "000 3\r"},
            {"lamp mode normal at start", Off, "", "CR7", "1\r"},
            {"lamp mode setting answers ACK", Off, "", "CF LAMPMODE ECO", "\x06"},
            {"eco reads 2", Off, "CF LAMPMODE ECO", "CR7", "2\r"},
            {"high reads 0", Off, "CF LAMPMODE HIGH", "CR7", "0\r"},
            {"back to normal reads 1", Off, "CF LAMPMODE ECO|CF LAMPMODE NORMAL", "CR7", "1\r"},
            {"LAMPMODE eco", Off, "CF LAMPMODE ECO", "CR LAMPMODE", "000 ECO\r"},
            {"LAMPMODE high", Off, "CF LAMPMODE HIGH", "CR LAMPMODE", "000 HIGH\r"},
            {"LAMPMODE normal at start", Off, "", "CR LAMPMODE", "000 NORMAL\r"},
            {"key lock setting answers ACK", Off, "", "CF KEYDIS RC", "\x06"},
            {"KEYDIS none at start", Off, "", "CR KEYDIS", "000 NONE\r"},
            {"KEYDIS remote", Off, "CF KEYDIS RC", "CR KEYDIS", "000 RC\r"},
            {"KEYDIS keys", Off, "CF KEYDIS KEY", "CR KEYDIS", "000 KEY\r"},
            {"KEYDIS back to none", Off, "CF KEYDIS KEY|CF KEYDIS NONE", "CR KEYDIS", "000 NONE\r"},

            {"VMUTE after C0D", On, "C0D", "CR VMUTE", "000 ON\r"},
            {"VMUTE after C0E", On, "C0D|C0E", "CR VMUTE", "000 OFF\r"},
            {"MUTE after C0B", On, "C0B", "CR MUTE", "000 ON\r"},
            {"MUTE after C0C", On, "C0B|C0C", "CR MUTE", "000 OFF\r"},
            {"FREEZE after C43", On, "C43", "CR FREEZE", "000 ON\r"},
            {"FREEZE after C44", On, "C43|C44", "CR FREEZE", "000 OFF\r"},
            {"SCREEN after C10", On, "C10", "CR SCREEN", "000 FULL\r"},
            {"SCREEN after C0F", On, "C10|C0F", "CR SCREEN", "000 NORMAL\r"},
            {"VOLUME after C09", On, "C09", "CR VOLUME", "000 21\r"},
            {"VOLUME after C0A", On, "C0A", "CR VOLUME", "000 19\r"},

            {"table front reads 11", Off, "", "CR4", "11\r"},
            {"ceiling rear reads 00", Off, "=00", "CR4", "00\r"},
            {"digit 2 is refused", Off, "~12", "CR4", "11\r"},
            {"one digit is refused", Off, "~1", "CR4", "11\r"},
            {"first digit 0 is ceiling", Off, "=01", "CR CEIL", "000 ON\r"},
            {"second digit 0 is not ceiling", Off, "=10", "CR CEIL", "000 OFF\r"},
            {"second digit 0 is rear", Off, "=10", "CR REAR", "000 ON\r"},
            {"first digit 0 is not rear", Off, "=01", "CR REAR", "000 OFF\r"},
        };
        for (const Row& row : rows)
            QTest::newRow(row.name) << row.options << QByteArray(row.script)
                                    << QByteArray(row.command) << QByteArray(row.reply);

        const std::pair<const char*, char> inputs[] = {
            {"C05", '1'}, {"C50", '1'}, {"C51", '1'}, {"C54", '1'}, {"C06", '2'},
            {"C25", '2'}, {"C5B", '2'}, {"C5C", '2'}, {"C07", '3'}, {"C34", '3'}};
        for (const auto& [code, digit] : inputs) {
            // Start from another input so a command that does nothing shows.
            const QByteArray away = digit == '2' ? "C07|" : "C06|";
            QTest::addRow("%s selects input %c", code, digit)
                << Off << away + code << QByteArray("CR1") << QByteArray(1, digit) + '\r';
        }
    }

    void script()
    {
        QFETCH(ProjectorModel::Options, options);
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, reply);

        qint64 now = 1'000'000;
        ProjectorModel model(options, [&now] { return now; });
        for (const QByteArray& step : script.split('|')) {
            if (step.startsWith('+'))
                now += step.mid(1).toLongLong();
            else if (step.startsWith('>'))
                model.advance(step.mid(1).toLongLong());
            else if (step.startsWith('=') || step.startsWith('~'))
                QCOMPARE(model.setInstallation(step.mid(1)), step.startsWith('='));
            else if (!step.isEmpty())
                QVERIFY2(model.reply(step) != "?\r", step.constData());
        }
        QCOMPARE(model.reply(command), reply);
    }

    void expandedNamesAnswer_data()
    {
        QTest::addColumn<QByteArray>("name");
        const QByteArray names =
            "STATUS SIGNAL VMUTE FREEZE PTIMER TEMPWARN TEMP TEMPFAIL VOLUME MUTE INPUT SOURCE "
            "SRCIN1 "
            "SRCIN2 SRCIN3 SRCIN4 SYSTEM SYSLIST MODELIST SERSYS SCREEN KYSTNMODE CORNERTESTPAT "
            "VSCALE "
            "VPOS HSCALE HPOS LAMPREPL LAMPH LAMPCORRESPH LAMPMODE LAMPSTS PROJH HMLAMP FSYNC "
            "TDOTS "
            "CLAMP H-POS V-POS DDOTS DLINE PCSTORE LANG AUTOSETUPPCADJ AUTOSETUPKEYSTONE "
            "INPUTSEARCH "
            "BACKGND DISP LOGO CEIL REAR P-MANE P-MANETIME ON-STA STANDBYMODE CCAPTIONDISP "
            "CCAPTIONCOLOR RCODE SECURITY KEYDIS PJLOCKNOW PJLOCKMENU FANMODE FANCONTROL FILH "
            "FILREPL "
            "FILTIMER BRIGHT CONT COLOR TINT SHARP GAMMA WBAL-R WBAL-G WBAL-B COLTEMP NZRED PROGV "
            "IMAGE "
            "IMGGMD";
        for (const QByteArray& name : names.split(' '))
            QTest::newRow(name.constData()) << name;
    }

    void expandedNamesAnswer()
    {
        QFETCH(QByteArray, name);
        for (const auto& options : {Off, On}) {
            const QByteArray reply = ProjectorModel(options).reply("CR " + name);
            QVERIFY2(reply.startsWith("000 ") && reply.size() > 5, reply.constData());
            QCOMPARE(reply.indexOf('\r'), reply.size() - 1);
        }
    }

    void escapeForLog()
    {
        // What an end-to-end test reads back, so every kind of byte matters.
        QCOMPARE(orva::sim::escapeForLog(QByteArray("CR LAMPSTS\r\n\x06\xe9\\", 15)),
                 QByteArray(R"(CR LAMPSTS\r\n\x06\xe9\\)"));
    }

    void statusReadOverPty()
    {
        PtyPeer peer;
        QVERIFY2(peer.isOpen(), qPrintable(peer.errorString()));
        QSignalSpy spy(&peer, &PtyPeer::commandReceived);
        SlaveEnd end(peer.slavePath());
        QVERIFY(end.notifier);
        QVERIFY(end.send("CR0\r"));
        QTRY_COMPARE(end.received(), QByteArray("80\r"));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(0).toByteArray(), QByteArray("CR0\r"));
        QCOMPARE(peer.commands(), QByteArrayList{"CR0\r"});
    }

    void faultyReplies_data()
    {
        QTest::addColumn<FaultOptions>("faults");
        QTest::addColumn<QByteArray>("command");
        // G stands for one garbage byte.
        QTest::addColumn<QString>("pattern");
        struct Row {
            const char* name;
            FaultOptions faults;
            const char *command, *pattern;
        };
        const FaultOptions instead{.garbage = FaultOptions::Garbage::Instead};
        const Row rows[] = {
            {"well-behaved read", {}, "CR0\r", R"(80\r)"},
            {"two commands in one write", {}, "CR0\rC05\r", R"(80\r\x06)"},
            {"line feed after the CR", {}, "CR0\r\n", R"(80\r)"},
            {"noise in front of a command", {}, "\001\377CR0\r", R"(\?\r)"},
            {"ACK before a read reply", {.ackFirst = true}, "CR0\r", R"(\x0680\r)"},
            {"ACK first does not double a control ACK", {.ackFirst = true}, "C05\r", R"(\x06)"},
            {"no reply", {.noReply = true}, "CR0\r", ""},
            {"delayed reply arrives whole", {.delayMs = 100}, "CR0\r", R"(80\r)"},
            {"split reply arrives whole", {.splitPieces = 3}, "CR3\r", R"(00123\r)"},
            {"more pieces than bytes", {.splitPieces = 5}, "C05\r", R"(\x06)"},
            {"garbage instead keeps the CR", instead, "CR0\r", R"(G{2}\r)"},
            {"garbage instead of an ACK", instead, "C05\r", "G"},
            {"garbage before", {.garbage = FaultOptions::Garbage::Before}, "CR0\r", R"(G+80\r)"},
        };
        for (const Row& row : rows)
            QTest::newRow(row.name)
                << row.faults << QByteArray(row.command) << QString::fromLatin1(row.pattern);
    }

    void faultyReplies()
    {
        QFETCH(FaultOptions, faults);
        QFETCH(QByteArray, command);
        QFETCH(QString, pattern);
        PtyPeer peer({}, faults);
        SlaveEnd end(peer.slavePath());
        QVERIFY(end.notifier);
        const auto received = exchange(peer, end, command);
        QVERIFY(received);
        pattern.replace(QLatin1Char('G'), QStringLiteral(R"([\x00-\x1f\x7b-\xff])"));
        const QRegularExpression reply(QRegularExpression::anchoredPattern(pattern));
        QVERIFY2(reply.match(QString::fromLatin1(*received)).hasMatch(),
                 received->toHex(' ').constData());
    }

    void splitPiecesArriveSeparately_data()
    {
        QTest::addColumn<int>("pieces");
        QTest::newRow("two pieces") << 2;
        QTest::newRow("three pieces") << 3;
    }

    void splitPiecesArriveSeparately()
    {
        QFETCH(int, pieces);
        PtyPeer peer({}, {.splitPieces = pieces, .splitGapMs = 100});
        SlaveEnd end(peer.slavePath());
        QVERIFY(end.send("CR6\r"));
        QTRY_COMPARE(end.received(), ProjectorModel().reply("CR6"));
        QCOMPARE(end.reads.size(), pieces);
    }

    void longDelayHoldsTheReply()
    {
        PtyPeer peer({}, {.delayMs = 10 * 60 * 1000});
        SlaveEnd end(peer.slavePath());
        QVERIFY(end.send("CR0\r"));
        QTRY_COMPARE(peer.commands().size(), 1);
        QVERIFY(!peer.isIdle());
        QVERIFY(end.received().isEmpty());
    }

    void streamArrivesUnasked()
    {
        PtyPeer peer({}, {.stream = true});
        SlaveEnd end(peer.slavePath());
        QVERIFY(end.notifier);
        QTRY_VERIFY(end.received().size() >= 200);
    }

    void hangUp_data()
    {
        // 0 hangs up by calling hangUp().
        QTest::addColumn<int>("after");
        QTest::newRow("called directly") << 0;
        QTest::newRow("after the first command") << 1;
        QTest::newRow("after the third command") << 3;
    }

    void hangUp()
    {
        QFETCH(int, after);
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("COM1"));
        PtyPeer peer({}, {.hangUpAfter = after});
        QVERIFY(peer.linkAs(link));
        QSignalSpy spy(&peer, &PtyPeer::hungUp);
        SlaveEnd end(link);
        QVERIFY(end.notifier);

        for (int n = 1; n <= after; ++n) {
            QCOMPARE(spy.size(), 0);
            QVERIFY(end.send("CR0\r"));
            // Even the last reply gets out before the line goes.
            QTRY_COMPARE(end.received().size(), 3 * n);
        }
        if (after == 0)
            peer.hangUp();
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(peer.commands().size(), after);
        QVERIFY(!QFileInfo(link).isSymLink());

        // Linux reports end of file on a hung-up tty rather than EIO; writes do fail.
        errno = 0;
        char byte;
        const ssize_t n = ::read(end.fd, &byte, 1);
        QVERIFY2(n == 0 || (n < 0 && errno == EIO), qPrintable(qt_error_string(errno)));
        QCOMPARE(::write(end.fd, "CR0\r", 4), ssize_t(-1));
        QCOMPARE(errno, EIO);
    }

    void hangUpWithoutReader()
    {
        PtyPeer peer({}, {.hangUpAfter = 1});
        QSignalSpy spy(&peer, &PtyPeer::hungUp);
        SlaveEnd end(peer.slavePath(), false);
        QVERIFY(end.send("CR0\r"));
        QTRY_COMPARE(spy.size(), 1);
    }

    void link_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<bool>("linked");
        QTest::newRow("fresh name") << QString() << true;
        QTest::newRow("stale link replaced") << QStringLiteral("link") << true;
        QTest::newRow("regular file kept") << QStringLiteral("file") << false;
    }

    void link()
    {
        QFETCH(QString, existing);
        QFETCH(bool, linked);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("COM3"));
        if (existing == "link")
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), path));
        if (existing == "file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        {
            PtyPeer peer;
            QCOMPARE(peer.linkAs(path), linked);
            QCOMPARE(QFileInfo(path).symLinkTarget(), linked ? peer.slavePath() : QString());
            if (linked) {
                SlaveEnd end(path);
                QVERIFY(end.send("CR1\r"));
                QTRY_COMPARE(end.received(), QByteArray("1\r"));
            }
        }
        QCOMPARE(QFileInfo::exists(path), !linked);
        QVERIFY(!QFileInfo(path).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TstProjectorSim)
#include "tst_projectorsim.moc"

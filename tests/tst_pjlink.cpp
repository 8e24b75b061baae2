// SPDX-License-Identifier: GPL-3.0-or-later
// The PJLink part on its own: each request against the projector's replies,
// with no line and no timer.
#include "bridge/bridgeoptions.h"
#include "pjlink/pjlink.h"
#include "testenv.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace orva;

namespace
{

QByteArray bytes(const QString& cell)
{
    QByteArray text = cell.toLatin1();
    return text.replace("<CR>", "\r").replace("<ACK>", "\x06");
}

QList<QByteArray> parts(const QString& cell)
{
    QList<QByteArray> list;
    for (const QString& part : cell.split(QStringLiteral(" | "), Qt::SkipEmptyParts))
        list << bytes(part);
    return list;
}

} // namespace

class TestPjlink : public QObject
{
    Q_OBJECT
  private slots:
    void request_data() { tableRows(QStringLiteral("pjlink.tsv"), {QStringLiteral("case")}); }
    void request()
    {
        QFETCH(Row, design);
        const pjlink::Parsed parsed = pjlink::parse(design["request"].toLatin1());
        const QList<QByteArray> replies = parts(design["replies"]);
        const QList<QByteArray> wanted = parts(design["commands"]);
        QList<QByteArray> sent;
        QByteArray answer;
        if (parsed.kind == pjlink::Parsed::Kind::Answer)
            answer = parsed.answer;
        if (parsed.kind == pjlink::Parsed::Kind::Request) {
            const pjlink::Identity identity{"Room 1", "COM5", "1.1.0"};
            pjlink::Observed observed;
            pjlink::Job job(parsed.request, identity, observed);
            // Never more commands than the row lists: a runaway job stops here.
            for (auto step = job.start(); sent.size() <= wanted.size();) {
                if (step.done()) {
                    answer = step.answer;
                    break;
                }
                sent << step.command;
                step = job.replied(replies.value(sent.size() - 1));
            }
        }
        QCOMPARE(sent, wanted);
        const QString expected = design["answer"];
        QCOMPARE(answer, expected == "(closed)" ? QByteArray() : bytes(expected) + '\r');
    }

    // PJLink's own example of the digest, and a line that carries it.
    void authentication()
    {
        const QByteArray digest = pjlink::digest("498e4a67", "JBMIAProjectorLink");
        QCOMPARE(digest, QByteArray("5d8409bc1c3fa39749434aa3a5c38682"));
        QCOMPARE(pjlink::greeting("498e4a67"), QByteArray("PJLINK 1 498e4a67\r"));
        QCOMPARE(pjlink::greeting({}), QByteArray("PJLINK 0\r"));
        QCOMPARE(*pjlink::afterDigest(digest.toUpper() + "%1POWR ?", digest), "%1POWR ?");
        QVERIFY(!pjlink::afterDigest("5d8409bc1c3fa39749434aa3a5c38683%1POWR ?", digest));
        QVERIFY(!pjlink::afterDigest("%1POWR ?", digest));
    }

    void overLong()
    {
        const QByteArray tail(200, 'x');
        QCOMPARE(pjlink::overLong("%1NAME " + tail), QByteArray("%1NAME=ERR2\r"));
        QCOMPARE(pjlink::overLong("%1WXYZ " + tail), QByteArray("%1WXYZ=ERR1\r"));
        QVERIFY(pjlink::overLong(tail).isEmpty());
    }

    void notifications()
    {
        pjlink::Observed before, after;
        after.power = "1";
        after.input = "21";
        QVERIFY(pjlink::notifications(before, after).isEmpty());
        before = {"0", "11", "30", "000000"};
        after = {"3", "11", "30", "000000"};
        QVERIFY(pjlink::notifications(before, after).isEmpty());
        after = {"1", "21", "31", "002000"};
        const QList<QByteArray> told = {"%2POWR=1\r", "%2INPT=21\r", "%2AVMT=31\r",
                                        "%2ERST=002000\r"};
        QCOMPARE(pjlink::notifications(before, after), told);
        QCOMPARE(pjlink::searchAnswer(QByteArray::fromHex("0019aa0b0c0d")),
                 QByteArray("%2ACKN=00:19:aa:0b:0c:0d\r"));
        QCOMPARE(pjlink::linkUp(QByteArray(6, '\0')), QByteArray("%2LKUP=00:00:00:00:00:00\r"));
    }

    void replyEnd()
    {
        QVERIFY(pjlink::replyComplete("C00", "\x06"));
        QVERIFY(!pjlink::replyComplete("CR0", "\x06"));
        QVERIFY(!pjlink::replyComplete("CR0", "00"));
        QVERIFY(pjlink::replyComplete("CR0", "\x06"
                                             "00\r"));
        QVERIFY(pjlink::replyComplete("CF LAMPMODE ECO", "?\r"));
    }

    void listen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::newRow("v4") << "192.168.1.5:4000"
                            << "192.168.1.5" << 4000;
        QTest::newRow("v4 alone") << "10.0.0.1"
                                  << "10.0.0.1" << 4352;
        QTest::newRow("port alone") << ":4353"
                                    << "" << 4353;
        QTest::newRow("v6") << "[::1]:4352"
                            << "::1" << 4352;
        QTest::newRow("v6 alone") << "fd00::20"
                                  << "fd00::20" << 4352;
        QTest::newRow("name") << "projector.local:4352"
                              << "bad" << 0;
        QTest::newRow("port 0") << "10.0.0.1:0"
                                << "bad" << 0;
        QTest::newRow("port too big") << "10.0.0.1:65536"
                                      << "bad" << 0;
        QTest::newRow("empty") << ""
                               << "bad" << 0;
    }
    void listen()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(int, port);
        QHostAddress parsed;
        quint16 number = 0;
        QCOMPARE(parseListen(text, &parsed, &number), address != "bad");
        if (address != "bad") {
            QCOMPARE(parsed,
                     address.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(address));
            QCOMPARE(int(number), port);
        }
    }

    void passwordFile()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("pw"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("JBMIAProjectorLink\n");
        file.close();
        QString why;
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readPasswordFile(file.fileName(), &why), QByteArray("JBMIAProjectorLink"));
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QVERIFY(readPasswordFile(file.fileName(), &why).isEmpty());
        QVERIFY(why.contains("by others"));
    }
};

QTEST_GUILESS_MAIN(TestPjlink)
#include "tst_pjlink.moc"

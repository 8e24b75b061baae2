// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/statusdecoder.h"
#include "link/exchange.h"
#include "link/replytrace.h"
#include "link/trace.h"

#include <QRandomGenerator>
#include <QTest>

using namespace orva;

// Replies the seven decoded reads get, and ACK and CR LF; in the stream each
// is followed by random bytes of any value.
const QList<QByteArray> kReplies =
    QByteArray("00\r|21\r|1\r|00123\r|025.0 030.5 041.2\r|000 1I\r|000 ECO\r|\x06|\r\n").split('|');

class TstTraceStream : public QObject
{
    Q_OBJECT
  private slots:
    void sameAsWholeBuffer_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("longestArrival");
        // One reply in this many starts after the collection closed; 0: never.
        QTest::addColumn<int>("closeEvery");
        QTest::newRow("CR0 power reply split anywhere") << QByteArray("CR0\r") << 6 << 3;
        QTest::newRow("CR1 input from the first byte") << QByteArray("CR1\r") << 3 << 2;
        QTest::newRow("CR3 lamp time at six bytes, appended") << QByteArray("CR3\r") << 6 << 2;
        QTest::newRow("CR4 setting") << QByteArray("CR4\r") << 6 << 3;
        QTest::newRow("CR6 temperatures at eighteen bytes") << QByteArray("CR6\r") << 19 << 2;
        QTest::newRow("CR LAMPSTS first six bytes") << QByteArray("CR LAMPSTS\r") << 8 << 3;
        QTest::newRow("CR LAMPMODE length check") << QByteArray("CR LAMPMODE\r") << 12 << 2;
        QTest::newRow("CR LAMPMODE past the bound") << QByteArray("CR LAMPMODE\r") << 400 << 0;
        QTest::newRow("CR7 not decoded") << QByteArray("CR7\r") << 8 << 3;
        QTest::newRow("C00 control command") << QByteArray("C00\r") << 8 << 3;
    }

    // After every arrival, the kept trace and its decoding against the trace
    // form of the whole buffer decoded from scratch.
    void sameAsWholeBuffer()
    {
        QFETCH(QByteArray, command);
        QFETCH(int, longestArrival);
        QFETCH(int, closeEvery);
        QRandomGenerator random(quint32(qHash(QByteArrayView(QTest::currentDataTag()))));
        ReplyTrace trace;
        QByteArray buffer, pending;
        QString status, expected;
        for (int arrival = 0; arrival < 300; ++arrival) {
            if (pending.isEmpty()) {
                if (closeEvery && random.bounded(closeEvery) == 0) {
                    buffer.clear();
                    trace.clear();
                }
                pending = kReplies[random.bounded(kReplies.size())];
                for (int n = random.bounded(longestArrival); n > 0; --n)
                    pending += char(random.bounded(256));
            }
            const QByteArray input = pending.left(1 + random.bounded(longestArrival));
            pending.remove(0, input.size());
            // As the receive event keeps it: what the bound leaves room for.
            const QByteArray kept = input.left(Exchange::kReplyBufferLimit - buffer.size());
            buffer += kept;
            trace.append(kept);
            status = trace.decode(command, status).value_or(status);
            const QString whole = traceForm(buffer);
            expected = decodeStatus(command, whole, buffer.size(), expected).value_or(expected);
            QCOMPARE(std::pair(trace.text(), status), std::pair(whole, expected));
        }
        QVERIFY(closeEvery || buffer.size() == Exchange::kReplyBufferLimit);
    }
};

QTEST_GUILESS_MAIN(TstTraceStream)
#include "tst_tracestream.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/statusdecoder.h"
#include "link/trace.h"
#include "testenv.h"

#include <QTest>

using orva::decodeStatus;
using orva::traceForm;

// The trace form and the STATUS decoding, against reference tables.
class TstStatusDecoder : public QObject
{
    Q_OBJECT
  private slots:
    void trace_data() { tableRows("trace.tsv", {"case"}); }
    void trace()
    {
        QFETCH(Row, design);
        QCOMPARE(orva::traceForm(QByteArray::fromPercentEncoding(design["text"].toLatin1())),
                 design["trace"]);
    }

    void decode_data() { tableRows("status.tsv", {"case"}); }
    void decode()
    {
        QFETCH(Row, design);
        const QByteArray reply = QByteArray::fromPercentEncoding(design["reply"].toLatin1());
        const QString current = design["current"];
        const QString shown = decodeStatus(design["command"].toLatin1() + '\r', traceForm(reply),
                                           int(reply.size()), current)
                                  .value_or(current);
        QCOMPARE(shown, design["status"] == "-" ? current : design["status"]);
        QVERIFY(design["status"] == "-" || shown != current);
    }
};

QTEST_GUILESS_MAIN(TstStatusDecoder)
#include "tst_statusdecoder.moc"

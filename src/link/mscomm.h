// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "line/line.h"

#include <QObject>
#include <QString>
#include <memory>

namespace orva
{

// The serial control the panel talks through: the port number and settings
// text of the classic communications control over a Line. Every arrival of
// bytes raises OnComm with CommEvent 2; Input returns all that arrived and
// was not read yet.
//
// A lost line closes the port; the line then looks for its port to come back
// and reopens it with the same settings, until it is told otherwise (an
// explicit open or close, stopReopening()).
class MSComm : public QObject
{
    Q_OBJECT
  public:
    static constexpr qint16 comEvReceive = 2;

    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    qint16 CommPort() const { return m_commPort; }
    void setCommPort(qint16 portNo);

    QString Settings() const { return m_settings; }
    void setSettings(const QString& settings);

    bool PortOpen() const { return m_line && m_line->isOpen(); }
    void setPortOpen(bool open);

    void setOutput(const QByteArray& text);
    qint16 CommEvent() const { return m_commEvent; }
    QByteArray Input();

    // Ends an opening that is waiting (a network connection); it then fails.
    void abortOpening();
    bool isReopening() const { return m_line && m_line->isReopening(); }
    void stopReopening();
    // The line of the last opening, if any.
    Line* line() const { return m_line.get(); }

  signals:
    void OnComm();
    // setPortOpen(true) is connecting to a port that takes a while (what
    // names it); an empty what when that is over.
    void opening(const QString& what);
    // setPortOpen(true) opened the port.
    void opened();
    // setPortOpen(false) closed an open port, or stopReopening() gave up a
    // lost one.
    void closed();
    // The line went away under an open port (adapter pulled, far side hung
    // up); the port has been closed and is being watched for.
    void portLost(const QString& reason);
    // The watched port came back and is open again.
    void portBack(int portNo);
    // Something came back where the port was, but it was not reopened.
    void reopenFailed(const QString& reason);

  private:
    void onReadyRead();

    std::unique_ptr<Line> m_line;
    Line* m_opening = nullptr;
    qint16 m_commPort = 1;
    QString m_settings = QStringLiteral("9600,N,8,1");
    qint16 m_commEvent = 0;
};

} // namespace orva

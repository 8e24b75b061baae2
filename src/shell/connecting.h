// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QTimer>

#include <chrono>

class QLabel;
class QPushButton;

namespace orva
{

class Announcer;
class MSComm;

// A port that takes a while to open (a network port) gets a window of its
// own while the panel waits: it names the port and offers to give up, and
// anything else clicked or typed meanwhile is dropped. When an opening it
// watched fails at start-up, it shows the reason and the cure beside COM
// PORT, with nothing to press, until a port opens or it is closed. A screen
// reader hears both as they come.
class Connecting : public QDialog
{
    Q_OBJECT
  public:
    // Long enough that a server nearby never makes the window flash.
    static constexpr std::chrono::milliseconds kShowDelay{250};

    Connecting(MSComm* comm, QWidget* parent);

    // Whether the last opening had to wait (so this window was in charge of
    // it), and whether the user gave it up.
    bool waited() const { return m_waited; }
    bool gaveUp() const { return m_gaveUp; }
    // The failure of the opening that waited, shown beside the window given.
    void showFailure(const QString& reason, const QString& hint, const QWidget* beside);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

  private:
    void onOpening(const QString& what);
    void say(const QString& title, const QString& text, const QString& hint);

    MSComm* m_comm;
    QLabel* m_text;
    QLabel* m_hint;
    QPushButton* m_button;
    Announcer* m_announcer;
    QTimer m_showTimer;
    bool m_connecting = false;
    bool m_waited = false;
    bool m_gaveUp = false;
};

} // namespace orva

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QComboBox;

namespace orva
{

class Announcer;

// A command console: a fixed list of rows, SEND for the chosen row's command
// and END back to the window that owns it. Form3 and Form4 differ only in
// design.
class ConsoleWindow : public QWidget
{
    Q_OBJECT
  public:
    enum class Kind { BasicCommand, ExpandRead };
    // Hands a composed command (CR included) to the panel to send.
    using Sender = std::function<void(const QByteArray& commandText)>;

    ConsoleWindow(Kind kind, QWidget* owner, Sender sender);

    // Brings the console forward when it still exists; otherwise creates it
    // into slot, with its first row chosen.
    static ConsoleWindow* showConsole(QPointer<ConsoleWindow>& slot, Kind kind, QWidget* owner,
                                      const Sender& send);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

    // Speaks the answer to this console's SEND (the RxD line's trace), so it
    // is heard while the focus stays here.
    void tellAnswer(const QString& rxd);

  private:
    // A row changed from the keyboard with the list closed is spoken.
    void tellRow();

    QWidget* m_owner;
    Sender m_send;
    QComboBox* m_combo1;
    Announcer* m_announcer;
    bool m_awaitingAnswer = false;
};

} // namespace orva

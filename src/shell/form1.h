// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/program.h"
#include "look/twips.h"
#include "settings/form2.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QKeyEvent;

namespace orva
{

class ConsoleWindow;
class Connecting;
class Exchange;
class HoldRepeat;
class MSComm;

// The control panel's main window: owns the serial control, the exchange and
// the hold repeat, and the COM PORT dialog.
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kCollapsedHeight = 5780;
    static constexpr int kExpandedHeight = 7570;
    static constexpr int kFullHeight = 8085;
    // Title bar and borders as designed; the client area is what is set, so
    // the views do not depend on the frame a window manager draws.
    static constexpr int kFrameTwips = kDesignedFrameTwips;
    static constexpr int kHighThreshold = 6000;

    // What the window asks of the world outside it; tests replace both.
    struct Hooks {
        std::function<void()> endProgram = [] { QCoreApplication::quit(); };
        Form2::MessageBox messageBox = &Form2::warningBox;
    };

    Form1();
    explicit Form1(Hooks hooks, QWidget* parent = nullptr);
    ~Form1() override;

    // A port or rate given for this run, used by Form_Load instead of the
    // stored one; only OK in COM PORT stores a choice.
    void setStartChoice(std::optional<qint16> portNo, std::optional<quint8> baudCode);
    // Form_Load, then shows the window unless the COM PORT dialog came up
    // instead (which shows it when it closes).
    void start();
    // Returns false when start-up ended in the COM PORT dialog.
    bool Form_Load();

    void Hyouji(const QByteArray& text, quint8 mode);

    void Command16_Click();
    void Command33_Click();
    void Command34_Click();
    void Command74_Click();
    void Command77_Click();
    void Form_KeyDown(int keyCode, int shift);

    int outerHeight() const;
    void setOuterHeight(int twips);

    MSComm* MSComm1() const { return m_comm; }
    Exchange* exchange() const { return m_exchange; }
    HoldRepeat* holdRepeat() const { return m_hold; }
    ProgramValues& values() { return m_values; }
    Form2* comDialog() const;
    ConsoleWindow* basicConsole() const;
    ConsoleWindow* expandConsole() const;
    QWidget* widget(const QString& name) const { return m_widgets.value(name); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool pressWithEnter(QWidget* focused, const QKeyEvent* key);
    void captionOpenClose(const QString& caption);
    void showComDialog(bool modal);
    void showNotice(const QString& text);
    // A lasting cue on COM while a port notice asks the user to act.
    void showTrouble(const QString& text);
    void closeOtherWindows();
    void centreOnScreen();
    void sendConsoleCommand(const QByteArray& commandText);

    Hooks m_hooks;
    ProgramValues m_values;
    MSComm* m_comm;
    Exchange* m_exchange;
    HoldRepeat* m_hold;
    QHash<QString, QWidget*> m_widgets;
    QPointer<Form2> m_form2;
    QPointer<ConsoleWindow> m_form3;
    QPointer<ConsoleWindow> m_form4;
    Connecting* m_connecting;
    bool m_closing = false;
    // Under Wayland, the view's own height while the window first shows at
    // the full view's; 0 otherwise.
    int m_heldHeight = 0;
    std::optional<qint16> m_startPort;
    std::optional<quint8> m_startBaud;
};

} // namespace orva

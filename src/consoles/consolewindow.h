#pragma once

#include <QPointer>
#include <QWidget>

class QComboBox;

namespace orva
{

class Form1;

// A command console: a fixed list of rows, SEND for the chosen row's command
// and END back to the main window. Form3 and Form4 differ only in design.
class ConsoleWindow : public QWidget
{
    Q_OBJECT
  public:
    enum class Kind { BasicCommand, ExpandRead };

    ConsoleWindow(Kind kind, Form1* main);

    // Brings the console forward when it still exists; otherwise creates it
    // into slot, with its first row chosen.
    static ConsoleWindow* showConsole(QPointer<ConsoleWindow>& slot, Kind kind, Form1* main);

    void Form_Load();
    void Command1_Click();
    void Command2_Click();

  private:
    Form1* m_main;
    QComboBox* m_combo1;
};

} // namespace orva

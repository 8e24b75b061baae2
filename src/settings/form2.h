// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/program.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QRadioButton;

namespace orva
{

class MSComm;

// The COM PORT dialog. The options and the OTHER box write the shared port
// number and rate directly, click by click and keystroke by keystroke; OK
// opens and stores, Cancel restores the copies the COM button took.
class Form2 : public QDialog
{
    Q_OBJECT
  public:
    // The retry message: prompt, title and the port's own reason.
    using MessageBox = std::function<void(QWidget* parent, const QString& prompt,
                                          const QString& title, const QString& detail)>;
    // A modal warning box with one OK button.
    static void warningBox(QWidget* parent, const QString& prompt, const QString& title,
                           const QString& detail);

    Form2(QWidget* mainWindow, MSComm* comm, ProgramValues* values,
          MessageBox messageBox = &Form2::warningBox);

    void Form_Load();
    void Text1_Change();
    void Command1_Click();
    void Command2_Click();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void placeOnScreen();
    void optionMarked(int index);
    // Marks the rate option for BaudCode and hands its settings to the port.
    void applyRate();
    // Opens PortNo; on failure shows the retry message and returns false.
    bool openChosenPort();
    void retry(const QString& detail);
    void finish();
    // Where the option or the OTHER box leads, looked up now.
    QString portTip(QObject* control) const;
    // Sets the tip as a tooltip and as a plain accessible description.
    void showTip(QWidget* control);
    void tabToChecked();

    QWidget* m_main;
    MSComm* m_comm;
    ProgramValues* m_values;
    MessageBox m_messageBox;
    QRadioButton* m_options[7] = {};
    QLineEdit* m_text1 = nullptr;
};

} // namespace orva

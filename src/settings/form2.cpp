// SPDX-License-Identifier: GPL-3.0-or-later
#include "form2.h"

#include "line/lines.h"
#include "link/mscomm.h"
#include "look/accessibility.h"
#include "look/look.h"
#include "look/twips.h"
#include "numbers.h"
#include "shell/placement.h"
#include "storedsettings.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTextDocument>
#include <algorithm>
#include <utility>

namespace orva
{

namespace
{

struct OptionRow {
    const char* name;
    const char* caption;
    int frame; // 0: Baud Rate, 1: Com Port
    QRect geometry;
};

} // namespace

void Form2::warningBox(QWidget* parent, const QString& prompt, const QString& title,
                       const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, title, prompt, QMessageBox::Ok, parent);
    // The detail names paths, which are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(detail);
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.exec();
}

Form2::Form2(QWidget* mainWindow, MSComm* comm, ProgramValues* values, MessageBox messageBox)
    : QDialog(mainWindow), m_main(mainWindow), m_comm(comm), m_values(values),
      m_messageBox(std::move(messageBox))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("  COM PORT"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    if (mainWindow)
        setWindowIcon(mainWindow->windowIcon());
    installFontSubstitutes();
    QFont font = captionFont(9);
    font.setBold(false);
    holdDesignedLook(this, font);
    setFixedSize(toPixels(3105), toPixels(4005));
    placeOnScreen();

    auto* frame1 = new QGroupBox(QStringLiteral("Baud Rate"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(twipsRect(360, 240, 2415, 615));
    auto* frame2 = new QGroupBox(QStringLiteral("Com Port"), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(twipsRect(360, 1200, 1455, 2535));
    QGroupBox* frames[] = {frame1, frame2};
    // The caption sits on the top border, as the layout was drawn for, rather
    // than above a border pushed down into the options.
    for (QGroupBox* frame : frames)
        frame->setStyleSheet(
            QStringLiteral(
                "QGroupBox { border: 1px solid %1; margin-top: 7px; }"
                "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }")
                .arg(designedPalette().color(QPalette::Mid).name()));

    const OptionRow options[] = {
        {"Option1", "9600", 0, twipsRect(120, 180, 1575, 375)},
        {"Option2", "19200", 0, twipsRect(1320, 240, 975, 255)},
        {"Option3", "COM1", 1, twipsRect(180, 180, 1155, 315)},
        {"Option4", "COM2", 1, twipsRect(180, 540, 1095, 255)},
        {"Option5", "COM3", 1, twipsRect(180, 900, 975, 255)},
        {"Option6", "COM4", 1, twipsRect(180, 1260, 1215, 255)},
        {"Option7", "COM5", 1, twipsRect(180, 1620, 1335, 255)},
    };
    for (int i = 0; i < 7; ++i) {
        auto* option =
            new QRadioButton(QLatin1String(options[i].caption), frames[options[i].frame]);
        option->setObjectName(QLatin1String(options[i].name));
        option->setGeometry(options[i].geometry);
        if (i >= 2)
            option->installEventFilter(this);
        connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optionMarked(i);
            tabToChecked();
        });
        m_options[i] = option;
    }
    for (int i = 2; i < 7; ++i)
        showTip(m_options[i]);

    m_text1 = new QLineEdit(QStringLiteral("0"), frame2);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setGeometry(twipsRect(180, 2040, 375, 270));
    connect(m_text1, &QLineEdit::textChanged, this, &Form2::Text1_Change);
    m_text1->installEventFilter(this);
    auto* other = new QLabel(QStringLiteral("OTHER"), frame2);
    other->setObjectName(QStringLiteral("Label1"));
    other->setGeometry(twipsRect(600, 2100, 615, 255));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Command1"));
    ok->setGeometry(twipsRect(2040, 1320, 735, 615));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &Form2::Command1_Click);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Command2"));
    cancel->setGeometry(twipsRect(2040, 2160, 735, 615));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &Form2::Command2_Click);

    // A style sheet bases what it draws on the desktop's palette and font,
    // not the dialog's: the frames and what they hold keep the dialog's own.
    for (QGroupBox* frame : frames) {
        holdDesignedLook(frame, font);
        for (QWidget* w : frame->findChildren<QWidget*>())
            holdDesignedLook(w, font);
    }

    setTabOrder(m_text1, m_options[0]);
    setTabOrder(m_options[0], m_options[1]);
    for (int i = 1; i < 6; ++i)
        setTabOrder(m_options[i], m_options[i + 1]);
    setTabOrder(m_options[6], ok);
    setTabOrder(ok, cancel);

    Form_Load();
    m_text1->setFocus();
}

void Form2::placeOnScreen()
{
    // At its designed place, unless that runs off the screen's free part (at
    // twice the scale, on a small display): then moved in as the main window
    // is. The frame is not known yet; the designed one stands in for it.
    const QScreen* s =
        m_main && m_main->screen() ? m_main->screen() : QGuiApplication::primaryScreen();
    const QRect designed = twipsRect(6930, 4725, 3105, 4005);
    if (!s) {
        setGeometry(designed);
        return;
    }
    const QMargins frame(0, toPixels(kDesignedFrameTwips), 0, 0);
    setGeometry(QRect(designedPlace(s->geometry(), s->availableGeometry(), frame, designed),
                      designed.size()));
}

void Form2::Form_Load()
{
    const qint16 port = m_values->PortNo;
    if (port >= 1 && port <= 5)
        m_options[port + 1]->setChecked(true);
    applyRate();
    m_text1->setSelection(0, 1);
    showTip(m_text1);
}

void Form2::tabToChecked()
{
    // As in every toolkit's radio group, Tab enters a group at its checked
    // option and the next Tab leaves it; arrows move within it. A group with
    // none checked is entered at its first option.
    for (const auto& [first, last] : {std::pair{0, 1}, std::pair{2, 6}}) {
        bool anyChecked = false;
        for (int i = first; i <= last; ++i)
            anyChecked = anyChecked || m_options[i]->isChecked();
        for (int i = first; i <= last; ++i) {
            const bool entry = anyChecked ? m_options[i]->isChecked() : i == first;
            m_options[i]->setFocusPolicy(entry ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }
}

void Form2::showTip(QWidget* control)
{
    const QString tip = portTip(control);
    control->setToolTip(Qt::convertFromPlainText(tip));
    // A screen reader reads the description as it is: no markup.
    control->setAccessibleDescription(tip);
}

void Form2::applyRate()
{
    if (m_values->BaudCode == 96) {
        m_comm->setSettings(settingsText(96));
        m_options[0]->setChecked(true);
    } else {
        m_comm->setSettings(settingsText(192));
        m_options[1]->setChecked(true);
        m_values->BaudCode = 192;
    }
}

bool Form2::openChosenPort()
{
    try {
        m_comm->setCommPort(m_values->PortNo);
        m_comm->setPortOpen(true);
    } catch (const SerialError& e) {
        retry(e.hint().isEmpty() ? e.reason() : e.reason() + QLatin1Char('\n') + e.hint());
        return false;
    }
    return true;
}

void Form2::optionMarked(int index)
{
    if (index == 0)
        m_values->BaudCode = 96;
    else if (index == 1)
        m_values->BaudCode = 192;
    else
        m_values->PortNo = qint16(index - 1);
}

void Form2::Text1_Change()
{
    const auto number = wholeTextByte(m_text1->text());
    if (number && isValidPort(*number)) {
        m_values->PortNo = *number;
        return;
    }
    m_text1->setText(QStringLiteral("0"));
    // The next digit typed replaces the "0".
    m_text1->selectAll();
}

QString Form2::portTip(QObject* control) const
{
    int portNo = 0;
    for (int i = 2; i < 7; ++i)
        if (control == m_options[i])
            portNo = i - 1;
    if (control == m_text1) {
        const auto number = wholeTextByte(m_text1->text());
        if (!number || !isValidPort(*number))
            return QStringLiteral("Type a port number from %1 to %2")
                .arg(kFirstPort)
                .arg(kLastPort);
        portNo = *number;
    }
    return describePort(portNo);
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    // An adapter plugged in while the dialog is open shows in the next tip.
    if (event->type() == QEvent::ToolTip)
        showTip(static_cast<QWidget*>(watched));
    // An arrow moves the choice along with the focus only from a marked
    // option; with none marked yet (nothing stored), the focused one is
    // marked first, so the first arrow press chooses as every later one does.
    if (event->type() == QEvent::KeyPress && watched != m_text1) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool arrow =
            key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
        const bool noneMarked = std::none_of(std::begin(m_options) + 2, std::end(m_options),
                                             [](const QRadioButton* o) { return o->isChecked(); });
        if (arrow && noneMarked)
            static_cast<QRadioButton*>(watched)->setChecked(true);
    }
    return QDialog::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event)
{
    // Escape has no dialog-wide meaning here: it must not close the dialog.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form2::Command1_Click()
{
    m_comm->setSettings(settingsText(m_values->BaudCode));
    if (m_values->PortNo == 0) {
        retry(QStringLiteral("No port is chosen."));
        return;
    }
    if (!openChosenPort())
        return;
    const QString notStored = storeChoice(m_values->PortNo, m_values->BaudCode);
    const MessageBox tell = m_messageBox;
    QWidget* main = m_main;
    finish();
    // The operator asked for the port, so it stays open; the next start
    // must not surprise them.
    if (!notStored.isEmpty())
        tell(main,
             QStringLiteral("The port is open, but this choice could not be stored for "
                            "the next start."),
             QStringLiteral("Settings not stored"), notStored);
}

void Form2::Command2_Click()
{
    m_values->PortNo = m_values->PrevPortNo;
    if (isValidPort(m_values->PortNo)) {
        m_values->BaudCode = m_values->PrevBaudCode;
        applyRate();
        if (!openChosenPort())
            return;
        finish();
        return;
    }
    if (m_comm->PortOpen()) {
        m_comm->setPortOpen(false);
        close();
    }
    retry(QStringLiteral("There is no earlier port to go back to: choose one."));
}

void Form2::retry(const QString& detail)
{
    m_messageBox(isVisible() ? this : m_main, QStringLiteral("Retry Comport"),
                 QStringLiteral("Error"), detail);
}

void Form2::finish()
{
    QWidget* main = m_main;
    close();
    if (main) {
        main->show();
        main->raise();
        main->activateWindow();
    }
}

} // namespace orva

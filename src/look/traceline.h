// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

namespace orva
{

class Announcer;

// A trace line (TxD, RxD) or the STATUS line: plain text from the top-left
// corner inside a one-pixel black border, as a framed label draws it. At the
// reply bound the RxD text runs to 65,000 characters or more, of which the
// line shows about a hundred: only the beginning that fits is laid out and
// drawn, while text() and the accessible name and value are the whole text.
class TraceLine : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
  public:
    explicit TraceLine(QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // An announced line is spoken at each new text, in words, whatever has
    // the focus (the STATUS line).
    bool announced() const { return m_announcer != nullptr; }
    void setAnnounced();

  public slots:
    // Bytes from the line are shown as they are, never as markup.
    void setText(const QString& text);

  protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // How many leading characters of the text can show at most.
    qsizetype shownLength();

    QString m_text;
    // Speaks for the line: a screen reader would read a notification by the
    // line's caption label rather than by its text.
    Announcer* m_announcer = nullptr;
    // Of the font's printable ASCII characters, in pixels; 0 until painted.
    int m_narrowest = 0;
};

} // namespace orva

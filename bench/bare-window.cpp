// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick of the panel's memory: a window of 76 QPushButtons and
// nothing else, linked to Qt Widgets alone.
#include <QApplication>
#include <QGridLayout>
#include <QPushButton>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    auto* grid = new QGridLayout(&window);
    for (int i = 0; i < 76; ++i)
        grid->addWidget(new QPushButton(QStringLiteral("C%1").arg(i, 2, 10, QLatin1Char('0'))),
                        i / 12, i % 12);
    window.show();
    return QApplication::exec();
}

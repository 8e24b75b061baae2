// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QRegularExpression>
#include <QStyle>

namespace orva
{

namespace
{

class AnnouncerAccessible : public QAccessibleWidget
{
  public:
    explicit AnnouncerAccessible(Announcer* a) : QAccessibleWidget(a, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<Announcer*>(widget())->spoken() : QString();
    }
};

QAccessibleInterface* announcerInterface(const QString&, QObject* object)
{
    if (auto* a = qobject_cast<Announcer*>(object))
        return new AnnouncerAccessible(a);
    return nullptr;
}

} // namespace

QString spokenStatus(const QString& drawn)
{
    static const QRegularExpression spacedNumber(QStringLiteral("(?<=[0-9.]) (?=[0-9.])"));
    return QString(drawn).remove(spacedNumber).simplified();
}

QString spokenReply(const QString& trace)
{
    if (trace == QLatin1String(" X X X X"))
        return QStringLiteral("no reply");
    // The trace is a blank, then each character followed by a blank, or a
    // named control character within blanks.
    QString words;
    for (qsizetype i = 1; i < trace.size();) {
        if (trace.at(i) == u' ' && trace.mid(i + 1, 1) == u"[") {
            const qsizetype close = trace.indexOf(u']', i);
            if (close < 0)
                break;
            words += u' ' + trace.mid(i + 2, close - i - 2) + u' ';
            i = close + 2;
            while (i < trace.size() && trace.at(i) == u' ' && trace.mid(i + 1, 1) != u"[")
                ++i;
        } else {
            words += trace.at(i);
            i += 2;
        }
    }
    return words.simplified();
}

Announcer::Announcer(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(announcerInterface);
        return true;
    }();
    Q_UNUSED(installed);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
}

void Announcer::say(const QString& words)
{
    m_spoken = words;
    if (words.isEmpty())
        return;
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

QPalette designedPalette()
{
    // The style's own light palette, not the desktop's.
    QPalette p = QApplication::style()->standardPalette();
    // Every role resolved, so nothing is taken from the desktop's palette.
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = QPalette::ColorGroup(g);
            const auto role = QPalette::ColorRole(r);
            p.setBrush(group, role, p.brush(group, role));
        }
    return p;
}

void holdDesignedLook(QWidget* window, const QFont& font, const QColor& windowColour)
{
    QPalette p = designedPalette();
    if (windowColour.isValid())
        p.setColor(QPalette::Window, windowColour);
    window->setPalette(p);
    QFont f = font;
    f.setResolveMask(QFont::AllPropertiesResolved);
    window->setFont(f);
}

void keepGtkOffAccessibilityBus()
{
    qputenv("NO_AT_BRIDGE", "1");
}

} // namespace orva

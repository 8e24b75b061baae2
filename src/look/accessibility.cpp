// SPDX-License-Identifier: GPL-3.0-or-later
#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QRegularExpression>

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
    // Shown with its window it would be spoken as an empty notification.
    hide();
}

void Announcer::say(const QString& words)
{
    m_spoken = words;
    if (words.isEmpty())
        return;
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    // Showing tells it the first time; then it is shown anew.
    if (isHidden()) {
        show();
        return;
    }
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

QPalette designedPalette()
{
    // Qt's own light colours (those of its Fusion style), spelled out: the
    // style's standard palette is the desktop's under Qt's GTK theme.
    const QColor window(239, 239, 239);
    const QColor light = window.lighter(150);
    const QColor dark = window.darker(150);
    const QColor mid = window.darker(130);
    const QColor greyed(190, 190, 190);
    QPalette p(Qt::black, window, light, dark, mid, Qt::black, Qt::white);
    p.setColor(QPalette::Midlight, mid.lighter(110));
    p.setColor(QPalette::Shadow, dark.darker(135));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(247, 247, 247));
    p.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::Link, Qt::blue);
    p.setColor(QPalette::LinkVisited, Qt::magenta);
    p.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        p.setColor(group, QPalette::Highlight, QColor(48, 140, 198));
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
    for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, greyed);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Dark, QColor(209, 209, 209).darker(110));
    p.setColor(QPalette::Disabled, QPalette::Shadow, dark.darker(135).lighter(150));
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

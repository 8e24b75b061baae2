// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgettable.h"

#include "holdrepeat.h"
#include "link/catalogue.h"

#include <QHash>
#include <QStringList>

namespace orva
{

namespace
{

WidgetRow row(const char* name, WidgetKind kind, const char* container, int l, int t, int w, int h)
{
    WidgetRow r;
    r.name = QLatin1String(name);
    r.kind = kind;
    r.container = QLatin1String(container);
    r.left = l;
    r.top = t;
    r.width = w;
    r.height = h;
    return r;
}

WidgetRow frame(const char* name, int l, int t, int w, int h, const char* colour = "")
{
    WidgetRow r = row(name, WidgetKind::Frame, "", l, t, w, h);
    r.colour = QLatin1String(colour);
    return r;
}

WidgetRow label(const char* name, const char* container, int l, int t, int w, int h,
                const char* caption, Align align, double size, int tab)
{
    WidgetRow r = row(name, WidgetKind::Label, container, l, t, w, h);
    r.caption = QLatin1String(caption);
    r.align = align;
    r.fontSize = size;
    r.tab = tab;
    return r;
}

WidgetRow coloured(WidgetRow r, const char* background, const char* text = "")
{
    r.colour = QLatin1String(background);
    r.textColour = QLatin1String(text);
    return r;
}

WidgetRow title(WidgetRow r)
{
    r.title = true;
    return r;
}

WidgetRow caption(WidgetRow r, const char* buddy)
{
    r.buddy = QLatin1String(buddy);
    return r;
}

WidgetRow bordered(WidgetRow r)
{
    r.border = true;
    return r;
}

WidgetRow button(const char* name, const char* container, int l, int t, int w, int h,
                 const char* caption, const char* colour, double size, int tab)
{
    WidgetRow r = row(name, WidgetKind::Button, container, l, t, w, h);
    r.caption = QLatin1String(caption);
    r.colour = QLatin1String(colour);
    r.fontSize = size;
    r.tab = tab;
    return r;
}

WidgetRow click(const char* name, const char* container, int l, int t, int w, int h,
                const char* caption, const char* colour, double size, int tab, const char* command)
{
    WidgetRow r = button(name, container, l, t, w, h, caption, colour, size, tab);
    r.action = ButtonAction::Click;
    r.command = command;
    return r;
}

// The command comes from the repeat table, so the press and the repeat tick
// cannot send different texts for one code.
WidgetRow hold(const char* name, const char* container, int l, int t, int w, int h,
               const char* caption, const char* colour, double size, int tab, quint8 code)
{
    WidgetRow r = button(name, container, l, t, w, h, caption, colour, size, tab);
    r.action = ButtonAction::Hold;
    r.repeatCode = code;
    r.command = repeatCommand(code);
    return r;
}

// Arrow buttons carry no text; words stand in for the picture.
WidgetRow hold(const char* name, const char* container, int l, int t, int w, int h,
               Qt::ArrowType arrow, const char* accessibleName, int tab, quint8 code)
{
    WidgetRow r = hold(name, container, l, t, w, h, "", "#FFFF80", 9, tab, code);
    r.arrow = arrow;
    r.accessibleName = QLatin1String(accessibleName);
    return r;
}

WidgetRow shell(const char* name, int l, int t, int w, int h, const char* caption,
                const char* colour, double size, int tab)
{
    WidgetRow r = button(name, "", l, t, w, h, caption, colour, size, tab);
    r.action = ButtonAction::Shell;
    return r;
}

WidgetRow hidden(WidgetRow r)
{
    r.hidden = true;
    return r;
}

WidgetRow line(const char* name, int x1, int y1, int x2, int y2)
{
    return row(name, WidgetKind::Line, "", x1, y1, x2, y2);
}

constexpr const char* kGreen = "#80FF80";
constexpr const char* kRed = "#FF8080";
constexpr const char* kCyan = "#00C0C0";
constexpr const char* kYellow = "#FFFF80";
constexpr const char* kRead = "#C0FFFF";
constexpr const char* kInactiveCaptionText = "inactiveCaptionText";
constexpr Align L = Align::Left;
constexpr Align C = Align::Centre;
constexpr Align R = Align::Right;

QList<WidgetRow> buildTable()
{
    return {
        frame("Frame1", 120, 0, 975, 1520, kInactiveCaptionText),
        title(coloured(label("Label1", "Frame1", 120, 240, 735, 255, "POWER", C, 9, 2),
                       kInactiveCaptionText, "#C00000")),
        click("Command17", "Frame1", 180, 600, 615, 300, "ON", kGreen, 9, 1, "C00"),
        click("Command18", "Frame1", 180, 1080, 615, 300, "OFF", kRed, 9, 24, "C01"),

        frame("Frame2", 1200, 0, 4095, 732),
        title(label("Label2", "Frame2", 840, 120, 1815, 255, "INPUT1(Computer1)", C, 9, 4)),
        click("Command27", "Frame2", 80, 360, 375, 300, "1", kCyan, 8.25, 33, "C05"),
        click("Command28", "Frame2", 640, 360, 1095, 300, "Analg RGB", kCyan, 8.25, 34, "C50"),
        click("Command29", "Frame2", 1940, 360, 735, 300, "Scart", kCyan, 7.5, 35, "C51"),
        click("Command53", "Frame2", 2880, 360, 1095, 300, "Component", kCyan, 7.5, 48, "C54"),

        frame("Frame12", 5400, 0, 1815, 1575),
        title(label("Label22", "Frame12", 240, 120, 1320, 255, "Other INPUT", C, 9, 58)),
        click("Command66", "Frame12", 360, 600, 1000, 300, "Video", kCyan, 8.25, 56, "C07"),
        click("Command41", "Frame12", 360, 1080, 1000, 300, "S-video", kCyan, 8.25, 74, "C34"),

        frame("Frame5", 7320, 0, 1095, 1510),
        title(label("Label6", "Frame5", 120, 120, 975, 255, "SCREEN", C, 9, 10)),
        click("Command31", "Frame5", 120, 480, 735, 300, "Normal", kCyan, 9, 36, "C0F"),
        click("Command32", "Frame5", 120, 1080, 735, 300, "Wide", kCyan, 9, 37, "C10"),

        frame("Frame14", 8520, 0, 1700, 1815),
        title(label("Label24", "Frame14", 360, 120, 765, 255, "POWER ", L, 9, 66)),
        title(label("Label20", "Frame14", 240, 300, 1095, 255, "Management", L, 9, 75)),
        click("Command71", "Frame14", 240, 600, 1050, 300, "Ready", kCyan, 9, 64, "C2A"),
        click("Command72", "Frame14", 240, 960, 1050, 300, "OFF", kCyan, 9, 65, "C2B"),
        click("Command56", "Frame14", 240, 1320, 1050, 300, "Shut down", kCyan, 9, 76, "C2E"),

        frame("Frame11", 1200, 800, 4095, 732),
        title(label("Label21", "Frame11", 820, 120, 2055, 255, "INPUT 2(Computer2)", L, 9, 57)),
        click("Command40", "Frame11", 80, 360, 375, 300, "2", kCyan, 8.25, 73, "C06"),
        click("Command63", "Frame11", 640, 360, 732, 300, "RGB", kCyan, 8.25, 53, "C25"),
        click("Command64", "Frame11", 1580, 360, 1080, 300, "DVI(Digital)", kCyan, 8.25, 54, "C5B"),
        click("Command65", "Frame11", 2880, 360, 1095, 300, "DVI(HDCP)", kCyan, 8.25, 55, "C5C"),

        frame("Frame6", 120, 1600, 1572, 732),
        title(label("Label7", "Frame6", 240, 120, 972, 252, "MENU", C, 9, 12)),
        click("Command23", "Frame6", 120, 360, 615, 300, "ON", kGreen, 9, 29, "C1C"),
        click("Command24", "Frame6", 840, 360, 615, 300, "OFF", kRed, 9, 30, "C1D"),

        frame("Frame3", 1840, 1600, 1572, 732),
        title(label("Label4", "Frame3", 120, 120, 1332, 252, "AUDIO MUTE", C, 9, 6)),
        click("Command19", "Frame3", 120, 360, 615, 300, "ON", kGreen, 9, 25, "C0B"),
        click("Command20", "Frame3", 840, 360, 615, 300, "OFF", kRed, 9, 26, "C0C"),

        frame("Frame4", 3560, 1600, 1572, 732),
        title(label("Label5", "Frame4", 240, 120, 1212, 252, "VIDEO MUTE", L, 9, 8)),
        click("Command21", "Frame4", 120, 360, 615, 300, "ON", kGreen, 9, 27, "C0D"),
        click("Command22", "Frame4", 840, 360, 615, 300, "OFF", kRed, 9, 28, "C0E"),

        frame("Frame7", 5280, 1600, 1572, 732),
        title(label("Label8", "Frame7", 240, 120, 1212, 252, "FREEZE", C, 9, 20)),
        click("Command25", "Frame7", 120, 360, 615, 300, "ON", kGreen, 9, 31, "C43"),
        click("Command26", "Frame7", 840, 360, 615, 300, "OFF", kRed, 9, 32, "C44"),

        frame("Frame21", 6960, 1600, 1455, 1900),
        title(label("Label18", "Frame21", 120, 120, 1200, 255, "LAMP MODE", L, 9, 115)),
        click("Command67", "Frame21", 240, 560, 975, 300, "HIGH", kCyan, 9, 116,
              "CF LAMPMODE HIGH"),
        click("Command68", "Frame21", 240, 1000, 975, 300, "NORMAL", kCyan, 9, 117,
              "CF LAMPMODE NORMAL"),
        click("Command75", "Frame21", 240, 1440, 975, 300, "ECO", kCyan, 9, 118, "CF LAMPMODE ECO"),

        frame("Frame10", 8520, 1920, 1695, 1575),
        title(label("Label13", "Frame10", 480, 120, 1095, 255, "KEYSTONE", L, 9, 78)),
        hold("Command10", "Frame10", 480, 400, 735, 255, Qt::UpArrow, "up", 79, 11),
        hold("Command11", "Frame10", 80, 780, 735, 255, Qt::LeftArrow, "left", 80, 13),
        hold("Command15", "Frame10", 860, 780, 735, 255, Qt::RightArrow, "right", 81, 14),
        hold("Command35", "Frame10", 480, 1140, 735, 255, Qt::DownArrow, "down", 82, 12),

        frame("Frame19", 3240, 2400, 735, 1095),
        title(label("Label3", "Frame19", 240, 120, 375, 255, "VOL", C, 9, 105)),
        hold("Command1", "Frame19", 180, 360, 375, 255, "+", kYellow, 12, 106, 1),
        hold("Command2", "Frame19", 180, 720, 375, 255, "-", kYellow, 12, 107, 2),

        frame("Frame18", 4070, 2400, 900, 1095),
        title(label("Label15", "Frame18", 240, 120, 495, 255, "PAGE", C, 9, 101)),
        click("Command38", "Frame18", 120, 360, 640, 255, "UP", "#8080FF", 9, 102, "C59"),
        click("Command39", "Frame18", 120, 720, 640, 255, "DOWN", "#8080FF", 9, 103, "C5A"),

        frame("Frame17", 5040, 2400, 855, 1095),
        title(label("Label16", "Frame17", 120, 120, 555, 255, "Bright", L, 9, 97)),
        hold("Command30", "Frame17", 240, 360, 375, 255, "+", kYellow, 12, 98, 7),
        hold("Command42", "Frame17", 240, 720, 375, 255, "-", kYellow, 12, 99, 8),

        frame("Frame16", 6000, 2400, 855, 1095),
        title(label("Label17", "Frame16", 120, 120, 645, 255, "D.Zoom", L, 9, 95)),
        hold("Command48", "Frame16", 240, 360, 375, 255, "+", kYellow, 12, 93, 9),
        hold("Command49", "Frame16", 240, 720, 375, 255, "-", kYellow, 12, 94, 10),

        frame("Frame13", 120, 4680, 3375, 495),
        title(label("Label23", "Frame13", 120, 165, 1215, 255, "ON START", L, 9.75, 62)),
        click("Command69", "Frame13", 1320, 150, 735, 255, "Enabbl", kGreen, 9.75, 60, "C28"),
        click("Command70", "Frame13", 2280, 150, 885, 255, "Disable", kRed, 9.75, 61, "C29"),

        frame("Frame20", 3720, 4680, 4000, 495),
        title(label("Label14", "Frame20", 120, 180, 1335, 255, "R/C KEY OFF", C, 9.75, 109)),
        click("Command60", "Frame20", 1560, 150, 735, 255, "NONE", kCyan, 9.75, 110,
              "CF KEYDIS NONE"),
        click("Command61", "Frame20", 2320, 150, 735, 255, "R/C", kCyan, 9.75, 111, "CF KEYDIS RC"),
        click("Command62", "Frame20", 3100, 150, 735, 255, "KEY", kCyan, 9.75, 112,
              "CF KEYDIS KEY"),

        frame("Frame9", 120, 5400, 6132, 948),
        bordered(
            coloured(label("Label11", "Frame9", 600, 192, 5412, 300, "", L, 12, 41), "#FFFFFF")),
        caption(label("Label9", "Frame9", 120, 240, 372, 252, "TxD", R, 9.75, 39), "Label11"),
        bordered(
            coloured(label("Label12", "Frame9", 588, 552, 5412, 300, "", L, 12, 42), "#FFFFFF")),
        caption(label("Label10", "Frame9", 120, 612, 372, 180, "RxD", R, 9.75, 40), "Label12"),

        frame("Frame15", 120, 6480, 6105, 492),
        bordered(coloured(label("Label25", "Frame15", 1020, 135, 4950, 285, "", L, 10.5, 69),
                          "#FFFFFF", "#FF0000")),
        title(caption(label("Label26", "Frame15", 120, 210, 855, 180, "STATUS", L, 9.75, 70),
                      "Label25")),

        hold("Command5", "", 1200, 2520, 855, 375, Qt::UpArrow, "Pointer up", 14, 3),
        hold("Command9", "", 240, 3000, 855, 375, Qt::LeftArrow, "Pointer left", 18, 5),
        click("Command6", "", 1200, 3000, 855, 375, "ENTER", "#FFC080", 9, 15, "C3F"),
        hold("Command8", "", 2160, 3000, 855, 375, Qt::RightArrow, "Pointer right", 17, 6),
        hold("Command7", "", 1200, 3480, 855, 375, Qt::DownArrow, "Pointer down", 16, 4),

        click("Command4", "", 3240, 3600, 1095, 300, "STAND", kCyan, 9.75, 83, "C11"),
        click("Command36", "", 4350, 3600, 1095, 300, "REAL", kCyan, 9.75, 84, "C12"),
        click("Command37", "", 5460, 3600, 1095, 300, "CINEMA", kCyan, 9.75, 85, "C13"),
        click("Command3", "", 6750, 3600, 1695, 300, "DISPLAY CLEAR", kCyan, 9, 13, "C1E"),
        click("Command14", "", 8500, 3600, 1695, 300, "P-TIMER", kCyan, 9, 22, "C8A"),
        click("Command50", "", 3240, 3910, 1095, 300, "IMAGE1", kCyan, 9.75, 86, "C14"),
        click("Command51", "", 4350, 3910, 1095, 300, "IMAGE2", kCyan, 9.75, 87, "C15"),
        click("Command52", "", 5460, 3910, 1095, 300, "IMAGE3", kCyan, 9.75, 88, "C16"),
        click("Command73", "", 6750, 3910, 1695, 300, "IMAGE(Toggle)", kCyan, 9, 67, "C27"),
        click("Command13", "", 8500, 3910, 1695, 300, "AUTO PC ADJ.", kCyan, 9, 21, "C89"),
        click("Command57", "", 3240, 4230, 1095, 300, "IMAGE4", kCyan, 9.75, 89, "C17"),
        click("Command58", "", 4350, 4230, 1095, 300, "B.Board", kCyan, 9.75, 90, "C18"),
        click("Command59", "", 5460, 4230, 1095, 300, "Dynamic", kCyan, 9.75, 91, "C19"),
        click("Command12", "", 6750, 4230, 1935, 300, "Image Colorboard", kCyan, 9.75, 113, "C39"),

        shell("Command33", 8160, 4800, 975, 375, "COM", "plain", 9.75, 71),
        shell("Command16", 9240, 4800, 975, 375, "END", "plain", 9.75, 23),
        // Shown only once Ctrl+H has been pressed.
        hidden(shell("Command34", 6480, 5400, 1452, 375, "CLOSE", "", 9.75, 43)),

        click("Command44", "", 6480, 6000, 975, 255, "STATUS", kRead, 8.25, 44, "CR0"),
        click("Command54", "", 7460, 6000, 1095, 252, "TEMP", kRead, 9, 49, "CR6"),
        click("Command46", "", 8550, 6000, 1500, 255, "LAMP-TIME", kRead, 8.25, 46, "CR3"),
        click("Command45", "", 6480, 6240, 975, 255, "MODE", kRead, 8.25, 45, "CR1"),
        click("Command47", "", 7460, 6240, 1095, 255, "SETTING", kRead, 8.25, 47, "CR4"),
        click("Command55", "", 8550, 6240, 1500, 255, "LAMP-STATUS", kRead, 9, 50, "CR LAMPSTS"),
        click("Command76", "", 8550, 6480, 1500, 255, "LAMP-MODE", kRead, 9, 119, "CR LAMPMODE"),

        shell("Command74", 120, 7080, 2505, 420, "Basic Command Table", "plain", 9.75, 72),
        shell("Command77", 6960, 7080, 3100, 375, "Expand Status Read Command", "plain", 9.75, 120),

        // The cross around the pointer pad.
        line("Line1", 1080, 2400, 1080, 2880),
        line("Line2", 2160, 2400, 2160, 2880),
        line("Line3", 3120, 2880, 3120, 3480),
        line("Line4", 2160, 3480, 2160, 3960),
        line("Line5", 1080, 3480, 1080, 3960),
        line("Line6", 120, 2880, 120, 3480),
        line("Line7", 1080, 2400, 2160, 2400),
        line("Line8", 120, 2880, 1080, 2880),
        line("Line9", 2160, 2880, 3120, 2880),
        line("Line10", 120, 3480, 1080, 3480),
        line("Line11", 1080, 3960, 2160, 3960),
        line("Line12", 2160, 3480, 3120, 3480),
    };
}

} // namespace

const QList<WidgetRow>& mainWindowTable()
{
    static const QList<WidgetRow> rows = buildTable();
    return rows;
}

const WidgetRow* findRow(const QString& name)
{
    for (const WidgetRow& r : mainWindowTable())
        if (r.name == name)
            return &r;
    return nullptr;
}

QString groupTitle(const QString& frame)
{
    QStringList titles;
    QStringList rowCaptions;
    for (const WidgetRow& r : mainWindowTable()) {
        if (r.kind != WidgetKind::Label || r.container != frame || frame.isEmpty())
            continue;
        if (r.title)
            titles << r.caption;
        else if (!r.buddy.isEmpty())
            rowCaptions << r.caption;
    }
    QString words = (titles.isEmpty() ? rowCaptions : titles).join(u' ');
    words.replace(u'(', u' ').replace(u')', u' ');
    return words.simplified();
}

QString spokenName(const WidgetRow& row)
{
    if (row.kind == WidgetKind::Frame)
        return groupTitle(row.name);
    if (row.kind != WidgetKind::Button)
        return {};
    const QString own = row.accessibleName.isEmpty() ? row.caption : row.accessibleName;
    const QString group = groupTitle(row.container);
    return group.isEmpty() ? own : group + u' ' + own;
}

QString spokenDescription(const WidgetRow& row)
{
    static const QHash<QByteArray, QString> reads = {
        {"CR0", QStringLiteral("power state: on, stand-by, warming up, cooling down or a fault")},
        {"CR1", QStringLiteral("selected input")},
        {"CR3", QStringLiteral("lamp hours")},
        {"CR4", QStringLiteral("installation setting: normal, or reversed for ceiling or rear "
                               "projection")},
        {"CR6", QStringLiteral("three temperatures")},
        {"CR LAMPSTS", QStringLiteral("lamp status: on, off or failed")},
        {"CR LAMPMODE", QStringLiteral("lamp mode: high, normal or eco")},
    };
    if (row.action == ButtonAction::Click && reads.contains(row.command))
        return QStringLiteral("Reads the %1; the answer is spoken.").arg(reads.value(row.command));
    if (row.action != ButtonAction::Hold)
        return {};
    const QStringList& rows = basicCommandRows();
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (commandOfRow(rows[i]) == row.command + '\r')
            return QStringLiteral("From the keyboard: row %1 of the Basic Command console, %2 %3.")
                .arg(i + 1)
                .arg(QString::fromLatin1(row.command),
                     rows[i].mid(rows[i].indexOf(u':') + 1).trimmed());
    return {};
}

} // namespace orva

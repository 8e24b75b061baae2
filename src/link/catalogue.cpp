// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue.h"

namespace orva
{

namespace
{

struct ControlRow {
    const char* command;
    const char* meaning;
    bool inBasicList;
    const char* button;
};

// Table order is the Basic Command list order; the five rows outside that
// list are button-only commands and keep their place among the others.
constexpr ControlRow controlRows[] = {
    {"C00", "POWER ON", true, "Command17"},
    {"C01", "POWER OFF(Quick Power OFF)", true, "Command18"},
    {"C02", "POWER OFF", true, ""},
    {"C05", "Computer 1", true, "Command27"},
    {"C06", "Computer 2", true, "Command40"},
    {"C07", "Video", true, "Command66"},
    {"C09", "VOLUME +", true, "Command1"},
    {"C0A", "VOLUME -", true, "Command2"},
    {"C0B", "AUDIO MUTE ON", true, "Command19"},
    {"C0C", "AUDIO MUTE OFF", true, "Command20"},
    {"C0D", "VIDEO MUTE ON", true, "Command21"},
    {"C0E", "VIDEO MUTE OFF", true, "Command22"},
    {"C0F", "Screen Normal size(4[CR]3)", true, "Command31"},
    {"C10", "Screen Wide size(16[CR]9)", true, "Command32"},
    {"C11", "Image Standard", true, "Command4"},
    {"C12", "Image Real", true, "Command36"},
    {"C13", "Image Cinema", true, "Command37"},
    {"C14", "Image 1", true, "Command50"},
    {"C15", "Image 2", true, "Command51"},
    {"C16", "Image 3", true, "Command52"},
    {"C17", "Image 4", true, "Command57"},
    {"C18", "Blackboard", true, "Command58"},
    {"C19", "Dynamic", true, "Command59"},
    {"C1C", "MENU ON", true, "Command23"},
    {"C1D", "MENU OFF", true, "Command24"},
    {"C1E", "DISPLAY CLEAR", true, "Command3"},
    {"C20", "BRIGHTNESS +", true, "Command30"},
    {"C21", "BRIGHTNESS -", true, "Command42"},
    {"C25", "Computer 2, RGB source", false, "Command63"},
    {"C27", "IMAGE(Toggle)", true, "Command73"},
    {"C28", "ON START Enable", true, "Command69"},
    {"C29", "ON START Disable", true, "Command70"},
    {"C2A", "Power Management Ready", true, "Command71"},
    {"C2B", "Power Management OFF", true, "Command72"},
    {"C2E", "Power Management Shut down", true, "Command56"},
    {"C30", "D.Zoom +", true, "Command48"},
    {"C31", "D.Zoom -", true, "Command49"},
    {"C34", "S-video", true, "Command41"},
    {"C39", "image Colorboard", true, "Command12"},
    {"C3A", "POINTER RIGHT", true, "Command8"},
    {"C3B", "POINTER LEFT", true, "Command9"},
    {"C3C", "POINTER UP", true, "Command5"},
    {"C3D", "POINTER DOWN", true, "Command7"},
    {"C3F", "ENTER", true, "Command6"},
    {"C43", "FREEZE ON", true, "Command25"},
    {"C44", "FREEZE OFF", true, "Command26"},
    {"C50", "Computer 1 Analog RGB", true, "Command28"},
    {"C51", "Computer 1 Scart", true, "Command29"},
    {"C54", "Computer 1 Component", true, "Command53"},
    {"C59", "Page up", false, "Command38"},
    {"C5A", "Page down", false, "Command39"},
    {"C5B", "Computer 2, DVI digital source", false, "Command64"},
    {"C5C", "Computer 2, DVI source with HDCP", false, "Command65"},
    {"C89", "Auto PC ADJ.", true, "Command13"},
    {"C8A", "PRESENTATION TIMER", true, "Command14"},
    {"C8E", "KEYSTONE +", true, "Command10"},
    {"C8F", "KEYSTONE -", true, "Command35"},
    {"C90", "KEYSTONE RIGHT", true, "Command15"},
    {"C91", "KEYSTONE LEFT", true, "Command11"},
    {"CR0", "Status Read", true, "Command44"},
    {"CR1", "Input Mode Read", true, "Command45"},
    {"CR3", "(Corresponding)Lamp Time Read", true, "Command46"},
    {"CR4", "Setting Read", true, "Command47"},
    {"CR6", "Temp Read", true, "Command54"},
    {"CR7", "Lamp Mode Read", true, ""},
};

constexpr ControlRow expandedButtonRows[] = {
    {"CR LAMPSTS", "lamp lighting status", false, "Command55"},
    {"CR LAMPMODE", "lamp mode status", false, "Command76"},
    {"CF KEYDIS NONE", "no remote-control or keypad lock", false, "Command60"},
    {"CF KEYDIS RC", "remote control disabled", false, "Command61"},
    {"CF KEYDIS KEY", "projector keypad disabled", false, "Command62"},
    {"CF LAMPMODE HIGH", "lamp mode high", false, "Command67"},
    {"CF LAMPMODE NORMAL", "lamp mode normal", false, "Command68"},
    {"CF LAMPMODE ECO", "lamp mode economy", false, "Command75"},
};

struct ExpandRow {
    const char* name;
    const char* description;
};

constexpr ExpandRow expandRows[] = {
    {"STATUS", "Get setting status of Projector behavior"},
    {"SIGNAL", "Get whether an input signal is present"},
    {"VMUTE", "Get video mute status"},
    {"FREEZE", "Get freeze status"},
    {"PTIMER", "Get presentation timer status"},
    {"TEMPWARN", "Get if temperature is close to abnomal temperature"},
    {"TEMP", "Get current temperature atatus"},
    {"TEMPFAIL", "Get temperature when sensors approach abnomal temperature "},
    {"VOLUME", "Get volume level"},
    {"MUTE", "Get audio mute status"},
    {"INPUT", "Get selected input"},
    {"SOURCE", "Get selected source of the current input"},
    {"SRCIN1", "Get source setting of Input 1"},
    {"SRCIN2", "Get source setting of Input 2"},
    {"SRCIN3", "Get source setting of Input 3"},
    {"SRCIN4", "Get source setting of Input 4"},
    {"SYSTEM", "Get selected signal system"},
    {"SYSLIST", "Get list of selectable signal systems"},
    {"MODELIST", "Get list of computer modes"},
    {"SERSYS",
     "Get selected current signal. When in Auto mode, it returns a result by Auto detect"},
    {"SCREEN", "Get screen size setting"},
    {"KYSTNMODE", "Get keystone mode setting"},
    {"CORNERTESTPAT", "Get setting status of test pattern for Coner correction."},
    {"VSCALE", "Get vertical scale value"},
    {"VPOS", "Get vertical position value"},
    {"HSCALE", "Get horizontal scale value"},
    {"HPOS", "Get horizontal position value"},
    {"LAMPREPL", "Get lamp replacement count"},
    {"LAMPH", "Get lamp hours used"},
    {"LAMPCORRESPH", "Get corresponding lamp hours"},
    {"LAMPMODE", "Get Lamp Mode status"},
    {"LAMPSTS", "Get lamp lighting status"},
    {"PROJH", "Get projector running hours"},
    {"HMLAMP", "Get lamp hour meter value"},
    {"FSYNC", "Get fine sync value"},
    {"TDOTS", "Get total dots value"},
    {"CLAMP", "Get clamp value"},
    {"H-POS", "Get horizontal position of the computer image"},
    {"V-POS", "Get vertical position of the computer image"},
    {"DDOTS", "Get display dots value"},
    {"DLINE", "Get display lines value"},
    {"PCSTORE", "Get stored computer adjustment modes"},
    {"LANG", "Get menu language"},
    {"AUTOSETUPPCADJ", "Get auto PC adjustment setting of auto setup"},
    {"AUTOSETUPKEYSTONE", "Get auto keystone setting of auto setup"},
    {"INPUTSEARCH", "Get input search setting"},
    {"BACKGND", "Get background setting"},
    {"DISP", "Get on-screen display setting"},
    {"LOGO", "GET setting status of Logo"},
    {"CEIL", "Get ceiling mount setting"},
    {"REAR", "Get rear projection setting"},
    {"P-MANE", "Get power management mode"},
    {"P-MANETIME", "Get power management time"},
    {"ON-STA", "Get on start setting"},
    {"STANDBYMODE", "Get standby mode setting"},
    {"CCAPTIONDISP", "Get closed caption display setting"},
    {"CCAPTIONCOLOR", "Get closed caption color setting"},
    {"RCODE", "Get selsected Remote Control Code"},
    {"SECURITY", "Get security setting"},
    {"KEYDIS", "Get RC/KEY disability status"},
    {"PJLOCKNOW", "Get projector lock status"},
    {"PJLOCKMENU", "Get projector lock menu setting"},
    {"FANMODE", "Get fan mode setting"},
    {"FANCONTROL", "Get fan control setting"},
    {"FILH", "Get filter hours used"},
    {"FILREPL", "Get filter replacement count"},
    {"FILTIMER", "Get filter timer setting"},
    {"BRIGHT", "Get brightness value"},
    {"CONT", "Get contrast value"},
    {"COLOR", "Get color value"},
    {"TINT", "Get Tint valu"},
    {"SHARP", "Get sharpness value"},
    {"GAMMA", "Get gamma value"},
    {"WBAL-R", "Get white balance red value"},
    {"WBAL-G", "Get white balance green value"},
    {"WBAL-B", "Get white balance blue value"},
    {"COLTEMP", "Get setting Color of temperatue"},
    {"NZRED", "Get noise reduction setting"},
    {"PROGV", "Get progressive mode setting"},
    {"IMAGE", "Get selected image mode"},
    {"IMGGMD", "Get image gamma mode"},
};

template <std::size_t N> QList<CatalogueEntry> entriesOf(const ControlRow (&rows)[N])
{
    QList<CatalogueEntry> out;
    out.reserve(N);
    for (const ControlRow& r : rows)
        out.append({r.command, QString::fromLatin1(r.meaning), r.inBasicList,
                    QString::fromLatin1(r.button)});
    return out;
}

// Short commands get a tab after the blank so that the colons of most rows
// line up in the drop-down list.
QString expandRowText(const ExpandRow& r)
{
    const QString command = QLatin1String("CR ") + QLatin1String(r.name);
    const QLatin1String separator(command.size() <= 10 ? " \t" : " ");
    return command + QLatin1String("[CR]") + separator + QLatin1Char(':') +
           QLatin1String(r.description);
}

} // namespace

const QList<CatalogueEntry>& controlCatalogue()
{
    static const QList<CatalogueEntry> rows = entriesOf(controlRows);
    return rows;
}

const QList<CatalogueEntry>& expandedButtonCatalogue()
{
    static const QList<CatalogueEntry> rows = entriesOf(expandedButtonRows);
    return rows;
}

const QStringList& expandReadNames()
{
    static const QStringList rows = [] {
        QStringList out;
        for (const ExpandRow& r : expandRows)
            out.append(QLatin1String(r.name));
        return out;
    }();
    return rows;
}

const QStringList& basicCommandRows()
{
    static const QStringList rows = [] {
        QStringList out;
        for (const CatalogueEntry& e : controlCatalogue()) {
            if (e.inBasicList)
                out.append(QString::fromLatin1(e.command) + QLatin1String("[CR]     :") +
                           e.meaning);
        }
        return out;
    }();
    return rows;
}

const QStringList& expandReadRows()
{
    static const QStringList rows = [] {
        QStringList out;
        for (const ExpandRow& r : expandRows)
            out.append(expandRowText(r));
        // Choosing the blank last row sends a space and a carriage return.
        out.append(QStringLiteral(" "));
        return out;
    }();
    return rows;
}

QByteArray commandOfRow(const QString& row)
{
    const qsizetype bracket = row.indexOf(QLatin1Char('['));
    return row.left(bracket < 0 ? row.size() : bracket).toLatin1() + '\r';
}

} // namespace orva

// SPDX-License-Identifier: GPL-3.0-or-later
#include "projectormodel.h"

#include <QHash>

#include <algorithm>
#include <iterator>

namespace orva::sim
{

namespace
{

constexpr char Ack = 0x06;
constexpr qint64 MsPerHour = 3600 * 1000;

constexpr unsigned char KnownControls[] = {
    0x00, 0x01, 0x02, 0x05, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11,
    0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1C, 0x1D, 0x1E, 0x20, 0x21, 0x25, 0x27,
    0x28, 0x29, 0x2A, 0x2B, 0x2E, 0x30, 0x31, 0x34, 0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3F, 0x43,
    0x44, 0x50, 0x51, 0x54, 0x59, 0x5A, 0x5B, 0x5C, 0x89, 0x8A, 0x8E, 0x8F, 0x90, 0x91,
};

QByteArray unknown()
{
    return QByteArrayLiteral("?\r");
}

QByteArray answer(const QByteArray& value)
{
    return "000 " + value + '\r';
}

QByteArray onOff(bool on)
{
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

// Only capital hex counts: the projector rejects "C0a".
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int controlCode(QByteArrayView line)
{
    if (line.size() != 3 || line[0] != 'C')
        return -1;
    const int high = hexDigit(line[1]);
    const int low = hexDigit(line[2]);
    if (high < 0 || low < 0)
        return -1;
    const int code = high * 16 + low;
    return std::ranges::find(KnownControls, code) != std::end(KnownControls) ? code : -1;
}

// Names whose answer does not depend on anything the panel can change.
const QHash<QByteArray, QByteArray>& fixedAnswers()
{
    static const QHash<QByteArray, QByteArray> answers = {
        {"PTIMER", "0"},
        {"TEMPWARN", "0"},
        {"TEMPFAIL", "0"},
        {"SRCIN1", "RGB"},
        {"SRCIN2", "VIDEO"},
        {"SRCIN3", "S-VIDEO"},
        {"SRCIN4", "COMPONENT"},
        {"SYSTEM", "AUTO"},
        {"SYSLIST", "AUTO NTSC PAL SECAM NTSC4.43 PAL-M PAL-N"},
        {"MODELIST", "STANDARD REAL"},
        {"SERSYS", "AUTO"},
        {"KYSTNMODE", "STORE"},
        {"CORNERTESTPAT", "OFF"},
        {"VSCALE", "0"},
        {"VPOS", "0"},
        {"HSCALE", "0"},
        {"HPOS", "0"},
        {"LAMPREPL", "0"},
        {"HMLAMP", "1"},
        {"FSYNC", "16"},
        {"TDOTS", "1344"},
        {"CLAMP", "4"},
        {"H-POS", "112"},
        {"V-POS", "30"},
        {"DDOTS", "1024"},
        {"DLINE", "768"},
        {"PCSTORE", "0"},
        {"LANG", "ENGLISH"},
        {"AUTOSETUPPCADJ", "ON"},
        {"AUTOSETUPKEYSTONE", "OFF"},
        {"INPUTSEARCH", "OFF"},
        {"BACKGND", "BLUE"},
        {"DISP", "ON"},
        {"LOGO", "DEFAULT"},
        {"P-MANE", "OFF"},
        {"P-MANETIME", "5"},
        {"ON-STA", "OFF"},
        {"STANDBYMODE", "NORMAL"},
        {"CCAPTIONDISP", "OFF"},
        {"CCAPTIONCOLOR", "COLOR"},
        {"RCODE", "1"},
        {"SECURITY", "OFF"},
        {"PJLOCKNOW", "OFF"},
        {"PJLOCKMENU", "OFF"},
        {"FANMODE", "NORMAL"},
        {"FANCONTROL", "OFF"},
        {"FILH", "00045"},
        {"FILREPL", "0"},
        {"FILTIMER", "OFF"},
        {"BRIGHT", "32"},
        {"CONT", "32"},
        {"COLOR", "32"},
        {"TINT", "32"},
        {"SHARP", "8"},
        {"GAMMA", "8"},
        {"WBAL-R", "32"},
        {"WBAL-G", "32"},
        {"WBAL-B", "32"},
        {"COLTEMP", "MID"},
        {"NZRED", "OFF"},
        {"PROGV", "ON"},
        {"IMAGE", "STANDARD"},
        {"IMGGMD", "STANDARD"},
    };
    return answers;
}

} // namespace

ProjectorModel::ProjectorModel(const Options& options, Clock clock)
    : m_options(options), m_clock(std::move(clock))
{
    if (options.powerOn) {
        m_phase = Phase::On;
        m_phaseStart = now();
    }
}

qint64 ProjectorModel::now() const
{
    return (m_clock ? m_clock() : 0) + m_advanced;
}

void ProjectorModel::advance(qint64 ms)
{
    m_advanced += ms;
}

ProjectorModel::Phase ProjectorModel::phase() const
{
    const qint64 elapsed = now() - m_phaseStart;
    if (m_phase == Phase::Warming && elapsed >= m_options.warmUpMs)
        return Phase::On;
    if (m_phase == Phase::Cooling && elapsed >= m_options.coolDownMs)
        return Phase::Standby;
    return m_phase;
}

ProjectorModel::Power ProjectorModel::power() const
{
    switch (phase()) {
    case Phase::Warming:
        return Power::CountDown;
    case Phase::On:
        return Power::On;
    case Phase::Cooling:
        return Power::Cooling;
    case Phase::Standby:
        break;
    }
    return Power::Standby;
}

bool ProjectorModel::lampLit() const
{
    const Phase p = phase();
    return p == Phase::Warming || p == Phase::On;
}

int ProjectorModel::lampHours() const
{
    // While lit, m_phaseStart is when the lamp struck; the switch from
    // warming to on does not restart it.
    const qint64 litMs = m_litMs + (lampLit() ? now() - m_phaseStart : 0);
    return int(std::min<qint64>(m_options.lampHours + litMs / MsPerHour, 99999));
}

bool ProjectorModel::setInstallation(QByteArrayView digits)
{
    if (digits != "11" && digits != "10" && digits != "01" && digits != "00")
        return false;
    m_installation = digits.toByteArray();
    return true;
}

QByteArray ProjectorModel::reply(QByteArrayView line)
{
    // A line feed sent after the previous CR ends up in front of this line.
    while (line.startsWith('\n'))
        line = line.sliced(1);

    if (const int code = controlCode(line); code >= 0)
        return control(code);
    if (line == "CR0") {
        switch (m_abnormality) {
        case Abnormality::Power:
            return "10\r";
        case Abnormality::Temperature:
            return "08\r";
        case Abnormality::Lamp:
            return "81\r";
        case Abnormality::None:
            break;
        }
        switch (power()) {
        case Power::Standby:
            return "80\r";
        case Power::CountDown:
            return "40\r";
        case Power::On:
            return "00\r";
        case Power::Cooling:
            return "20\r";
        }
    }
    if (line == "CR1")
        return QByteArray::number(m_input) + '\r';
    if (line == "CR3")
        return QByteArray::number(lampHours()).rightJustified(5, '0') + '\r';
    if (line == "CR4")
        return m_installation + '\r';
    if (line == "CR6")
        return temperatures() + '\r';
    if (line == "CR7")
        return QByteArray::number(int(m_lampMode)) + '\r';
    if (line.startsWith("CR "))
        return expanded(line.sliced(3));
    if (line.startsWith("CF "))
        return setting(line.sliced(3));
    return unknown();
}

QByteArray ProjectorModel::control(int code)
{
    const Phase p = phase();
    const qint64 t = now();
    switch (code) {
    case 0x00:
        if (p == Phase::Standby) {
            m_phase = Phase::Warming;
            m_phaseStart = t;
        }
        break;
    case 0x01:
    case 0x02:
        if (p == Phase::Warming || p == Phase::On) {
            m_litMs += t - m_phaseStart;
            m_phase = Phase::Cooling;
            m_phaseStart = t;
        }
        break;
    case 0x05:
    case 0x50:
    case 0x51:
    case 0x54:
        m_input = 1;
        break;
    case 0x06:
    case 0x25:
    case 0x5B:
    case 0x5C:
        m_input = 2;
        break;
    case 0x07:
    case 0x34:
        m_input = 3;
        break;
    case 0x09:
        m_volume = std::min(m_volume + 1, 63);
        break;
    case 0x0A:
        m_volume = std::max(m_volume - 1, 0);
        break;
    case 0x0B:
    case 0x0C:
        m_mute = code == 0x0B;
        break;
    case 0x0D:
    case 0x0E:
        m_videoMute = code == 0x0D;
        break;
    case 0x0F:
    case 0x10:
        m_fullScreen = code == 0x10;
        break;
    case 0x43:
    case 0x44:
        m_freeze = code == 0x43;
        break;
    default:
        // Menu keys, picture adjustments and the like change nothing the
        // panel can read back.
        break;
    }
    return QByteArray(1, Ack);
}

QByteArray ProjectorModel::setting(QByteArrayView text)
{
    if (text == "KEYDIS NONE")
        m_keyDisable = KeyDisable::None;
    else if (text == "KEYDIS RC")
        m_keyDisable = KeyDisable::Remote;
    else if (text == "KEYDIS KEY")
        m_keyDisable = KeyDisable::Keys;
    else if (text == "LAMPMODE HIGH")
        m_lampMode = LampMode::High;
    else if (text == "LAMPMODE NORMAL")
        m_lampMode = LampMode::Normal;
    else if (text == "LAMPMODE ECO")
        m_lampMode = LampMode::Eco;
    else
        return unknown();
    return QByteArray(1, Ack);
}

QByteArray ProjectorModel::expanded(QByteArrayView name) const
{
    const Power p = power();
    if (name == "STATUS") {
        switch (p) {
        case Power::Standby:
            return answer("OFF");
        case Power::CountDown:
            return answer("WARMUP");
        case Power::On:
            return answer("ON");
        case Power::Cooling:
            return answer("COOLDOWN");
        }
    }
    if (name == "SIGNAL")
        return answer(p == Power::On ? "1" : "0");
    if (name == "VMUTE")
        return answer(onOff(m_videoMute));
    if (name == "MUTE")
        return answer(onOff(m_mute));
    if (name == "FREEZE")
        return answer(onOff(m_freeze));
    if (name == "VOLUME")
        return answer(QByteArray::number(m_volume));
    if (name == "INPUT")
        return answer(QByteArray::number(m_input));
    if (name == "SOURCE") {
        static const char* const sources[] = {"RGB", "VIDEO", "S-VIDEO"};
        return answer(sources[m_input - 1]);
    }
    if (name == "SCREEN")
        return answer(m_fullScreen ? "FULL" : "NORMAL");
    if (name == "TEMP")
        return answer(temperatures());
    if (name == "LAMPH" || name == "LAMPCORRESPH")
        return answer(QByteArray::number(lampHours()).rightJustified(5, '0'));
    if (name == "PROJH")
        return answer(QByteArray::number(lampHours() + 200).rightJustified(5, '0'));
    if (name == "LAMPMODE")
        return answer(lampModeWord());
    if (name == "LAMPSTS")
        return answer(m_abnormality == Abnormality::Lamp ? "1X" : lampLit() ? "1I" : "1O");
    if (name == "KEYDIS") {
        switch (m_keyDisable) {
        case KeyDisable::None:
            return answer("NONE");
        case KeyDisable::Remote:
            return answer("RC");
        case KeyDisable::Keys:
            return answer("KEY");
        }
    }
    if (name == "CEIL")
        return answer(onOff(m_installation[0] == '0'));
    if (name == "REAR")
        return answer(onOff(m_installation[1] == '0'));

    const auto& fixed = fixedAnswers();
    const auto it = fixed.constFind(name.toByteArray());
    return it == fixed.constEnd() ? unknown() : answer(*it);
}

QByteArray ProjectorModel::temperatures() const
{
    // Intake, inside and exhaust; the lamp keeps things warm while cooling.
    const bool hot = lampLit() || phase() == Phase::Cooling;
    return hot ? QByteArrayLiteral("025.0 030.5 041.2") : QByteArrayLiteral("024.5 025.0 025.5");
}

QByteArray ProjectorModel::lampModeWord() const
{
    switch (m_lampMode) {
    case LampMode::High:
        return "HIGH";
    case LampMode::Normal:
        break;
    case LampMode::Eco:
        return "ECO";
    }
    return "NORMAL";
}

} // namespace orva::sim

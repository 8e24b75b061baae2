// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace orva::sim
{

struct ModelOptions {
    bool powerOn = false;
    int warmUpMs = 3000;
    int coolDownMs = 5000;
    int lampHours = 123;
};

// The projector's side of the serial protocol: one command line in, the reply
// bytes out. It does no I/O and owns no timers, so warm-up and cool-down only
// move on when the clock does.
class ProjectorModel
{
  public:
    enum class Power { Standby, CountDown, On, Cooling };
    // Read back by CR7 as 0, 1 and 2.
    enum class LampMode { High, Normal, Eco };
    enum class KeyDisable { None, Remote, Keys };
    // A fault the status read reports instead of the power state.
    enum class Abnormality { None, Power, Temperature, Lamp };
    // Milliseconds since any fixed point.
    using Clock = std::function<qint64()>;

    using Options = ModelOptions;

    explicit ProjectorModel(const Options& options = {}, Clock clock = {});

    // line holds the bytes before the carriage return.
    QByteArray reply(QByteArrayView line);
    // Moves time on by ms on top of the clock, or instead of it when there is none.
    void advance(qint64 ms);

    Power power() const;
    int input() const { return m_input; }
    LampMode lampMode() const { return m_lampMode; }
    KeyDisable keyDisable() const { return m_keyDisable; }
    int lampHours() const;
    QByteArray installation() const { return m_installation; }
    // "11" front on a table; a 0 first means ceiling, a 0 second means rear.
    bool setInstallation(QByteArrayView digits);
    void setAbnormality(Abnormality abnormality) { m_abnormality = abnormality; }

  private:
    enum class Phase { Standby, Warming, On, Cooling };

    qint64 now() const;
    Phase phase() const;
    bool lampLit() const;
    QByteArray control(int code);
    QByteArray setting(QByteArrayView text);
    QByteArray expanded(QByteArrayView name) const;
    QByteArray temperatures() const;
    QByteArray lampModeWord() const;

    Options m_options;
    Clock m_clock;
    qint64 m_advanced = 0;
    Phase m_phase = Phase::Standby;
    qint64 m_phaseStart = 0;
    qint64 m_litMs = 0;
    int m_input = 1;
    int m_volume = 20;
    bool m_mute = false;
    bool m_videoMute = false;
    bool m_freeze = false;
    bool m_fullScreen = false;
    LampMode m_lampMode = LampMode::Normal;
    KeyDisable m_keyDisable = KeyDisable::None;
    QByteArray m_installation = "11";
    Abnormality m_abnormality = Abnormality::None;
};

} // namespace orva::sim

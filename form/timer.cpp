#include "form/timer.h"

#include "form/control.h"
#include "services/errors.h"

#include <QTimer>

namespace zs {

Timer::Timer(ControlHost& host) : m_host(host), m_timer(std::make_unique<QTimer>()) {
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(),
                     [this] { m_host.run("Timer", [this] { fire(); }); });
}

Timer::~Timer() = default;

void Timer::setEnabled(bool e) {
    m_enabled = e;
    if (e && m_interval > 0) {
        if (!m_timer->isActive() || m_timer->interval() != m_interval) {
            m_timer->start(m_interval);
        }
    } else {
        m_timer->stop();
    }
}

void Timer::setInterval(int ms) {
    if (ms < 0 || ms > 65535) {
        throw Error(Error::Code::InvalidValue, "Invalid property value: Interval");
    }
    m_interval = ms;
    if (m_enabled) {
        setEnabled(true);
    }
}

void Timer::fire() {
    if (Tick) {
        Tick();
    }
}

} // namespace zs

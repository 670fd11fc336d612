#pragma once

#include <functional>
#include <memory>

class QTimer;

namespace zs {

class ControlHost;

class Timer {
public:
    explicit Timer(ControlHost& host);
    ~Timer();
    bool enabled() const { return m_enabled; }
    void setEnabled(bool e);
    int interval() const { return m_interval; }
    void setInterval(int ms);
    std::function<void()> Tick;
    // Raises one tick as the timer would (for tests and benchmarks).
    void fire();

private:
    ControlHost& m_host;
    std::unique_ptr<QTimer> m_timer;
    bool m_enabled = false;
    int m_interval = 0;
};

} // namespace zs

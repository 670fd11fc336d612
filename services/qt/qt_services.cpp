#include "services/qt/qt_services.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>

#include <cmath>

// The small services: the event pump and clock, the mouse pointer, messages
// and the application's end. The larger ones have files of their own
// (qt_screen, qt_window_order, qt_clipboard, qt_file_dialogs, qt_printer).
namespace zs {

// ---------------------------------------------------------------- events

QtEventPump::QtEventPump() {
    m_clock.start();
}

double QtEventPump::now() const {
    return static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
}

void QtEventPump::processEvents(double maxWaitSeconds) {
    if (maxWaitSeconds <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Wait in a nested loop instead of spinning; it handles every event that
    // arrives and ends when the time is up.
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(std::ceil(maxWaitSeconds * 1000.0)), Qt::PreciseTimer,
                       &loop, &QEventLoop::quit);
    loop.exec();
}
// ---------------------------------------------------------------- pointer

void QtMousePointer::setBusy(bool busy) {
    if (busy == m_busy) {
        return;
    }
    m_busy = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}
// ---------------------------------------------------------------- messages

void QtMessages::showError(QWidget* owner, const QString& title, const QString& text) {
    QMessageBox::critical(owner, title, text);
}
// ---------------------------------------------------------------- application

void QtApplication::requestQuit(int code) {
    if (m_quit) {
        return;
    }
    m_quit = true;
    m_code = code;
    QCoreApplication::exit(code);
}

QString QtApplication::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

} // namespace zs

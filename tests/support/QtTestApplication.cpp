#include "tests/support/QtTestApplication.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

namespace corvane::test {

void ensureApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "corvane_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        if (since.elapsed() >= limit.count()) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void pumpFor(std::chrono::milliseconds time) {
    pumpUntil([] { return false; }, time);
}

}  // namespace corvane::test

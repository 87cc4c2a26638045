#include "app/QtNotifier.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

namespace corvane {

void QtNotifier::showMessage(std::string_view text, std::string_view title) {
    std::string t(text);
    std::string caption(title);
    // Adapters may report from their own threads; boxes are shown on the user-interface thread.
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QMetaObject::invokeMethod(
            app, [this, t, caption] { show(t, caption); }, Qt::QueuedConnection);
        return;
    }
    show(t, caption);
}

void QtNotifier::show(const std::string& text, const std::string& title) {
    if (shower_) {
        shower_(text, title);
        return;
    }
    QMessageBox::warning(parent_, QString::fromStdString(title), QString::fromStdString(text),
                         QMessageBox::Ok);
}

}  // namespace corvane

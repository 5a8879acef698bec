#include "ui/exception_display.h"

#include <cstdio>

#include <QApplication>
#include <QMessageBox>

namespace tovra {

void ShowException(const QString& message) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        return;
    }
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), message);
}

}  // namespace tovra

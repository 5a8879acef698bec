#include "ui/application.h"

#include <exception>

#include "ui/exception_display.h"

#ifndef TOVRA_VERSION
#error "TOVRA_VERSION must be defined by the build"
#endif

namespace tovra {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("TOVRA RF Tool"));
    setApplicationVersion(QStringLiteral(TOVRA_VERSION));
    setDesktopFileName(QStringLiteral("tovra-rf-tool"));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowException(QString());  // not one of ours: shown with an empty message
    }
    return false;
}

}  // namespace tovra

#include "ui/form_services.h"

#include <QApplication>
#include <QDesktopServices>

#include "ui/exception_display.h"
#include "ui/port_source.h"

namespace tovra {

FormServices DefaultFormServices() {
    FormServices services;
    services.beep = [] { QApplication::beep(); };
    services.show_error = [](const QString& message) { ShowException(message); };
    services.open_url = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    services.clock = [] { return QTime::currentTime(); };
    services.list_ports = [] { return AvailablePorts(); };
    return services;
}

QUrl HomePageUrl() {
    return QUrl(QStringLiteral(TOVRA_HOMEPAGE_URL));
}

}  // namespace tovra

#pragma once

#include <functional>
#include <vector>

#include <QString>
#include <QTime>
#include <QUrl>

#include "serial/port_list.h"

namespace tovra {

// What the window takes from its surroundings; tests replace any of these.
struct FormServices {
    std::function<void()> beep;                         // a refused key
    std::function<void(const QString&)> show_error;     // a conversion error in an edit
    std::function<void(const QUrl&)> open_url;          // the logo's link
    std::function<QTime()> clock;                       // the time in panel 2
    std::function<std::vector<PortInfo>()> list_ports;  // the port list's entries
};

// Beep, exception display, desktop URL handler, wall clock and the platform's ports.
FormServices DefaultFormServices();

// The address the logo opens (set when the tool is built).
QUrl HomePageUrl();

}  // namespace tovra

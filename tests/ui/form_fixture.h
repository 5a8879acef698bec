#pragma once

#include <memory>
#include <vector>

#include <QStringList>
#include <QTime>
#include <QUrl>

#include "serial/port_list.h"
#include "ui/main_form.h"

// A window whose beeps, error boxes, opened links, clock and port list are the test's.
class FormFixture {
    std::vector<tovra::PortInfo> ports_;  // before the form, which asks for it

  public:
    explicit FormFixture(std::vector<tovra::PortInfo> ports = {}) : ports_(std::move(ports)) {
        tovra::FormServices services;
        services.beep = [this] { ++beeps; };
        services.show_error = [this](const QString& message) { errors << message; };
        services.open_url = [this](const QUrl& url) { urls << url; };
        services.clock = [this] { return now; };
        services.list_ports = [this] { return ports_; };
        form = std::make_unique<tovra::TMainForm>(std::move(services));
    }

    tovra::TMainForm& operator*() const { return *form; }
    tovra::TMainForm* operator->() const { return form.get(); }

    void SetPorts(std::vector<tovra::PortInfo> ports) { ports_ = std::move(ports); }

    int beeps = 0;
    QStringList errors;
    QList<QUrl> urls;
    QTime now{12, 34};
    std::unique_ptr<tovra::TMainForm> form;
};

inline tovra::PortInfo Port(const char* name, const char* description) {
    tovra::PortInfo info;
    info.name = name;
    info.description = description;
    return info;
}

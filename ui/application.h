#pragma once

#include <QApplication>

namespace tovra {

// The application object: an exception escaping an event handler is shown with
// ShowException and the event loop carries on.
class TApplication : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tovra

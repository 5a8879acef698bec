// Shows the window against a simulated module, opens the port, presses Read All and saves
// a picture of the window once the reply is in. Used by scripts/screenshot.sh.
//
//   ui_snapshot OUT.png [PORT]
//
// Without PORT a simulated module is started in-process.

#include <cstdio>
#include <memory>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPixmap>

#include "protocol/units.h"
#include "sim/simulated_module.h"
#include "ui/application.h"
#include "ui/main_form.h"

namespace {

// Runs the event loop until the condition holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void Settle(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

tovra::ModuleSettings DemoSettings() {
    tovra::ModuleSettings s = tovra::InitialWindowSettings();
    s.RfFrequency = 868.0;
    s.RfFactor = 10;  // 1024 chips
    s.RfBw = 8;       // 250K
    s.CustID_H = 2;
    s.CustID_L = 1;
    s.NetID = 12;
    s.Power = 5;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    tovra::TApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: ui_snapshot OUT.png [PORT]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    std::unique_ptr<tovra::sim::SimulatedModule> own;
    QString port;
    if (argc == 3) {
        port = QString::fromLocal8Bit(argv[2]);
    } else {
        own = std::make_unique<tovra::sim::SimulatedModule>(DemoSettings());
        if (!own->Start()) {
            std::fprintf(stderr, "ui_snapshot: cannot start a simulated module\n");
            return 1;
        }
        port = QString::fromStdString(own->PortPath());
    }

    tovra::TMainForm form;
    form.show();
    Settle(300);

    const int listed = form.suiComboBox_PcPort->findText(port);
    if (listed >= 0) {
        form.suiComboBox_PcPort->SetItemIndex(listed);
    } else {
        form.suiComboBox_PcPort->setEditText(port);
    }
    form.suiButton_OpenPort->click();
    if (!form.Link()->IsOpen()) {
        std::fprintf(stderr, "ui_snapshot: cannot open %s: %s\n", qPrintable(port),
                     form.Link()->LastError().message.c_str());
        return 1;
    }
    QElapsedTimer round_trip;
    round_trip.start();
    form.btn_ReadAll->click();
    if (!WaitFor([&] { return form.suiStatusBar1->PanelText(1) == u"Successful"; }, 5000)) {
        std::fprintf(stderr, "ui_snapshot: no reply to Read All\n");
        return 1;
    }
    // From the press to the loaded controls: write, module reply, reader, queued event.
    std::printf("ui_snapshot: Read All answered in %lld ms\n",
                static_cast<long long>(round_trip.elapsed()));
    Settle(300);
    if (!form.grab().save(out)) {
        std::fprintf(stderr, "ui_snapshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("ui_snapshot: saved %s\n", qPrintable(out));
    return 0;
}

// Window figures on the offscreen platform, with the same application object and window
// as the tool:
//
//   bench_window first-shown         prints "shown" once the window's first paint is done,
//                                    then exits (timed by bench_process --first-output)
//   bench_window idle PORT SECONDS   opens PORT with the Open button, presses Read All and,
//                                    once the reply is shown, prints the resident memory
//                                    and the CPU used over SECONDS of idling
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <QDeadlineTimer>
#include <QEvent>
#include <QTimer>

#include "bench/process_stats.h"
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

// Reports the end of the window's first paint, once the event loop is back.
class FirstPaint : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            QTimer::singleShot(0, [] {
                std::fputs("shown\n", stdout);
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

int FirstShown() {
    tovra::TMainForm form;
    FirstPaint first_paint;
    form.installEventFilter(&first_paint);
    form.show();
    return tovra::TApplication::exec();
}

int Idle(const char* port, int seconds) {
    tovra::TMainForm form;
    form.show();
    if (!WaitFor([&] { return form.suiComboBox_PcPort->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "bench_window: the window did not come up\n");
        return 1;
    }
    form.suiComboBox_PcPort->setEditText(QString::fromLocal8Bit(port));
    form.suiButton_OpenPort->click();
    if (!form.Link()->IsOpen()) {
        std::fprintf(stderr, "bench_window: cannot open %s: %s\n", port,
                     form.Link()->LastError().message.c_str());
        return 1;
    }
    form.btn_ReadAll->click();
    if (!WaitFor([&] { return form.suiStatusBar1->PanelText(1) == u"Successful"; }, 10000)) {
        std::fprintf(stderr, "bench_window: no reply to Read All\n");
        return 1;
    }
    WaitFor([] { return false; }, 200);  // the reply's repaint is done
    const std::size_t rss_kib = tovra::bench::ResidentKiB();

    const double cpu0 = tovra::bench::ProcessCpuSeconds();
    QTimer::singleShot(seconds * 1000, [] { QApplication::quit(); });
    tovra::TApplication::exec();
    const double cpu = tovra::bench::ProcessCpuSeconds() - cpu0;
    std::printf("{\"rss_kib\": %zu, \"idle_cpu_ms\": %.3f, \"idle_cpu_percent\": %.4f}\n", rss_kib,
                cpu * 1e3, cpu / seconds * 100.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    tovra::TApplication application(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "first-shown") == 0) {
        return FirstShown();
    }
    if (argc == 4 && std::strcmp(argv[1], "idle") == 0 && std::atoi(argv[3]) > 0) {
        return Idle(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr, "usage: bench_window first-shown | idle PORT SECONDS\n");
    return 2;
}

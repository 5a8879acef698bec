// The tool's entry point: one window, its event loop, and nothing read or kept between runs.

#include <exception>

#include "ui/application.h"
#include "ui/exception_display.h"
#include "ui/main_form.h"

int main(int argc, char** argv) {
    tovra::TApplication application(argc, argv);
    try {
        tovra::TMainForm MainForm;
        MainForm.show();
        tovra::TApplication::exec();
    } catch (const std::exception& error) {
        tovra::ShowException(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        tovra::ShowException(QString());
    }
    return 0;
}

// Runs every suite of the window's tests in one application; fails if any case failed.

#include <QApplication>
#include <QLocale>

#include "suites.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // Texts in the tests are written with '.' as the decimal point.
    QLocale::setDefault(QLocale::c());
    int failed = 0;
    failed += RunNumberFormatTests(argc, argv);
    failed += RunControlsTests(argc, argv);
    failed += RunFormLayoutTests(argc, argv);
    failed += RunFormBehaviourTests(argc, argv);
#ifdef TOVRA_UI_END_TO_END
    failed += RunEndToEndTests(argc, argv);
#endif
    return failed == 0 ? 0 : 1;
}

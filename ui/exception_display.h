#pragma once

#include <QString>

namespace tovra {

// The application's standard display of an error that escaped a handler: a modal error
// box titled with the application name, or a line on stderr when there is no GUI yet.
void ShowException(const QString& message);

}  // namespace tovra

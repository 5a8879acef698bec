#include "cli/binary_stdin.h"

namespace tovra::cli {

void UseBinaryStandardInput() {}

}  // namespace tovra::cli

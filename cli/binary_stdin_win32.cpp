#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "cli/binary_stdin.h"

namespace tovra::cli {

void UseBinaryStandardInput() {
    _setmode(_fileno(stdin), _O_BINARY);
}

}  // namespace tovra::cli

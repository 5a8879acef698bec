#pragma once

namespace tovra::cli {

// Makes the process's standard input deliver bytes unchanged (Windows reads it as text
// otherwise: CR LF becomes LF and 0x1A ends the input). Nothing to do on POSIX.
void UseBinaryStandardInput();

}  // namespace tovra::cli

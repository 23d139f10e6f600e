#pragma once
// The German words for the reason an operating-system call failed, for messages a
// user reads.
#include <string>

namespace vb {

// The reason behind `error` (an errno value) in German, e.g. "kein Speicherplatz
// mehr auf dem Datenträger" for ENOSPC. A code without German words gives
// "Systemfehler <name>" with its symbolic name (or number).
std::string SystemErrorText(int error);

}  // namespace vb

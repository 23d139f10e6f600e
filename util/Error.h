#pragma once
// The program's errors: exceptions that carry the message text the user sees.
// They travel up to the general error handler, which shows the text and lets the
// window go on. Code catches one only where the program's reaction depends on it:
// the backup run shows its packing errors as "Fehler beim Packen!", the database
// checks turn a failure into their answer.
#include <stdexcept>
#include <string>

namespace vb {

// An error with a message, in UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A registry value could not be written (reading falls back to defaults instead).
class RegistryError : public Error {
public:
    using Error::Error;
};

// A value outside its allowed range, such as a line with too many fields.
class RangeError : public Error {
public:
    using Error::Error;
};

}  // namespace vb

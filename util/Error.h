#pragma once
// The program's errors: exceptions that carry the message text the user sees.
// One general handler shows the text; only the places that a behaviour names catch.
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

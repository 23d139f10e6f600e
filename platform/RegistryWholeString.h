#pragma once
// Reading a string value of the registry store with the NUL characters inside it.
// RegistryStore::ReadString ends a string at its first NUL, as the Windows registry
// functions do. A value that the product scrambles byte by byte may hold NULs in the
// middle, and only the whole text unscrambles to the right password.
#include <optional>
#include <string>

#include "platform/RegistryStore.h"

namespace vb {

// The string (or expandable string) value `name` of `key` with every character it
// holds, embedded NULs included; only the terminating NUL of the stored data is
// dropped. Nullopt when the value is missing, of another type, or the store cannot
// be read.
std::optional<std::string> ReadWholeString(const RegistryStore& store, RegistryRoot root, const std::string& key,
                                           const std::string& name);

}  // namespace vb

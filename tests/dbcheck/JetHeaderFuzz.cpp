// libFuzzer target for the Jet header reader: the input is the first page of a
// database. A header that reads is matched against a few passwords, and scrambling
// the header area twice must give the page back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dbcheck/JetHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    const auto header = vb::ReadJetHeader(page);
    if (!header) return 0;
    for (const char* password : {"", "password", "äöü", "\xFF"}) {
        (void)vb::PasswordMatches(*header, password);
    }
    (void)vb::PasswordMatches(*header, header->StoredPassword);
    std::string scrambled = page;
    vb::ScrambleJetHeader(scrambled, header->Version);
    vb::ScrambleJetHeader(scrambled, header->Version);
    if (scrambled != page) std::abort();
    return 0;
}

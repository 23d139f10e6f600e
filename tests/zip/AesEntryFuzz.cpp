// libFuzzer target for AES entries: every input is opened as an archive and each
// entry extracted with the password "x", which opens the seeds (archives of 7-Zip and
// bsdtar with AES-128 and AES-256), so that mutations reach the AES field, the salt,
// the verifier, the decryption, the authentication code and the decoding behind it.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "zip/ArchiveReader.h"
#include "support/FuzzInput.h"
#include "util/Error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto archive = vb::test::WriteFuzzInput("aes.zip", data, size);
    const auto target = vb::test::FuzzFolder() / "aes-out";
    std::filesystem::remove_all(target);
    std::filesystem::create_directories(target);
    vb::ArchiveReader reader;
    reader.SetPassword("x");
    reader.SetPasswordRetries(0);
    try {
        reader.Open(archive.string());
        reader.SetBaseDirectory(target.string());
        for (std::size_t i = 0; i < reader.Count() && i < 16; ++i) reader.ExtractAt(i);
    } catch (const vb::Error&) {
    }
    return 0;
}

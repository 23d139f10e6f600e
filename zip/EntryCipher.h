#pragma once
// The encryption of one entry's data, found from a password: the traditional PKWARE
// cipher (a 12-byte header before the data, checked by its last byte) or WinZip AES
// (salt and verifier before the data, the authentication code behind it). Used by
// the reader and by the check of a written archive.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zip/ArchiveEntry.h"
#include "zip/WinZipAes.h"
#include "zip/ZipCrypto.h"

namespace vb::zip {

struct EntryData;

// The byte that the last byte of a traditional encryption header must decrypt to:
// the CRC-32's high byte, or the DOS time's for an entry with a data descriptor.
unsigned char TraditionalCheckByte(const ArchiveEntry& entry, const EntryData& data);

class EntryCipher {
public:
    enum class Match {
        Yes,      // the password opens the entry
        No,       // it does not
        Damaged,  // the entry's encryption header is missing or unknown
    };

    // Tries `password` (UTF-8) on the encrypted entry whose data begins at `data`:
    // for AES its UTF-8 bytes (as 7-Zip and bsdtar take them), then its Windows-1252
    // bytes; for the traditional cipher its Windows-1252 bytes (as this program
    // writes them), then its UTF-8 bytes. When more than one of them passes the short
    // check before the data, the one that decodes the entry is taken.
    static Match Find(int fd, const EntryData& data, const ArchiveEntry& entry, const std::string& password,
                      std::optional<EntryCipher>& cipher);

    // Bytes of encryption before and behind the data.
    std::uint64_t Leading() const;
    std::uint64_t Trailing() const { return FAes ? WinZipAes::kAuthCodeSize : 0; }
    // The compression method of the data itself.
    std::uint16_t Method(const ArchiveEntry& entry) const { return FAes ? FField.Method : entry.Method; }
    // False for AE-2 entries, which store no CRC.
    bool StoresCrc() const { return !FAes || FField.Version == 1; }
    bool IsAes() const { return FAes.has_value(); }

    void Decrypt(unsigned char* data, std::size_t size);
    // After all data was decrypted: whether the authentication code at `offset`
    // matches (always true for the traditional cipher, which has none).
    bool Authentic(int fd, std::uint64_t offset);

private:
    std::optional<ZipCrypto> FTraditional;
    std::optional<WinZipAes> FAes;
    AesField FField;
};

}  // namespace vb::zip

#pragma once
// Whether a wrong password would pass the one-byte check of an encrypted entry's
// header: the header's other bytes are random, so each wrong password does so once
// in 256 archives. Tests that count password requests write their archive again
// until none of their wrong answers does.
#include <fcntl.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "zip/ArchiveReader.h"
#include "zip/EntryCipher.h"
#include "zip/EntryDecoder.h"
#include "zip/ZipCrypto.h"
#include "platform/FileIo.h"
#include "platform/UniqueFd.h"

namespace vb::test {

inline bool AnyPassesTheCheck(const std::string& archive, const std::vector<std::string>& passwords) {
    ArchiveReader reader;
    reader.Open(archive);
    const UniqueFd fd(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
    const std::uint64_t size = std::filesystem::file_size(archive);
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        const ArchiveEntry& entry = reader.Entry(i);
        if (!entry.IsEncrypted()) continue;
        const auto data = zip::LocateEntryData(fd.Get(), size, entry);
        unsigned char header[zip::ZipCrypto::kHeaderSize];
        if (!data || !platform::ReadAt(fd.Get(), header, sizeof header, data->Offset)) return true;
        const unsigned char check = zip::TraditionalCheckByte(entry, *data);
        for (const std::string& password : passwords) {
            unsigned char copy[sizeof header];
            std::memcpy(copy, header, sizeof header);
            zip::ZipCrypto(password).Decrypt(copy, sizeof copy);
            if (copy[11] == check) return true;
        }
    }
    return false;
}

}  // namespace vb::test

#pragma once
// What follows the compression pipeline for a file of several chunks, once its chunks
// are written: whether Deflate paid (else the file is stored instead), and its
// encryption, which needs the CRC-32 of the whole file and so comes last.
#include <cstdint>

#include "zip/CompressionPipeline.h"
#include "zip/EntryEncryption.h"
#include "zip/OutputFile.h"

namespace vb::zip {

// The chunks of `info`'s file, `total` bytes with CRC-32 `crc`, are written from
// `dataStart` on. When they came out larger than the file, the file is read again and
// stored as it is from `dataStart` on: true with `stored` set and `crc` computed anew.
// False when it cannot be read again.
bool StoreWhenDeflateDidNotPay(const SourceInfo& info, OutputFile& out, std::uint64_t dataStart, std::uint64_t total,
                               std::uint32_t& crc, bool& stored);

// Encrypts the `dataSize` bytes written from `dataStart` on in place, as `encryption`
// says, and fills the encryption's leading bytes before them (kept free when the
// chunks were written); AES appends its authentication code. Nothing without a
// password. `crc` is the CRC-32 of the plain file.
void EncryptWritten(const EntryEncryption& encryption, OutputFile& out, std::uint64_t dataStart, std::uint64_t dataSize,
                    std::uint32_t crc);

}  // namespace vb::zip

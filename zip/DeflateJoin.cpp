#include "zip/DeflateJoin.h"

#include <zlib.h>

#include <array>

#include "zip/ByteOrder.h"

namespace vb::zip {

namespace {

// Reads a Deflate stream's bits, least significant first. Past the end it reads
// zeros; Overrun() tells that a walk went there.
class BitReader {
public:
    explicit BitReader(std::string_view stream)
        : FData(reinterpret_cast<const unsigned char*>(stream.data())), FSize(stream.size()) {}

    // The next n bits (n <= 32), not consumed.
    std::uint32_t Peek(unsigned n) {
        if (FCount < n) Fill();
        return static_cast<std::uint32_t>(FBuffer & ((std::uint64_t{1} << n) - 1));
    }
    void Skip(unsigned n) {
        if (FCount < n) Fill();
        FBuffer >>= n;
        FCount -= n;
        FPosition += n;
    }
    std::uint32_t Take(unsigned n) {
        const std::uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    // Skips whole bytes; the position must be on a byte boundary.
    void SkipBytes(std::uint64_t n) {
        FPosition += n * 8;
        FNext = FPosition / 8;
        FBuffer = 0;
        FCount = 0;
    }
    std::uint64_t Position() const { return FPosition; }
    bool Overrun() const { return FPosition > FSize * 8; }

private:
    // Leaves at least 56 bits in the buffer.
    void Fill() {
        if (FNext + 8 <= FSize) {
            // Eight bytes at once; the bytes that do not fit whole are loaded again
            // next time, with the same bits in the same places.
            FBuffer |= Get64(FData + FNext) << FCount;
            const unsigned bytes = (63 - FCount) / 8;
            FNext += bytes;
            FCount += bytes * 8;
            return;
        }
        while (FCount <= 56) {
            const std::uint64_t byte = FNext < FSize ? FData[FNext] : 0;
            ++FNext;
            FBuffer |= byte << FCount;
            FCount += 8;
        }
    }

    const unsigned char* FData;
    std::uint64_t FSize;
    std::uint64_t FNext = 0;      // next byte to load
    std::uint64_t FBuffer = 0;    // loaded, unconsumed bits
    unsigned FCount = 0;          // how many
    std::uint64_t FPosition = 0;  // bits consumed
};

constexpr unsigned kMaxBits = 15;
constexpr unsigned kFastBits = 10;

// A canonical Huffman code: codes up to kFastBits long are found in one table
// look-up, longer ones (rare by construction) bit by bit.
class HuffmanCode {
public:
    // False when the lengths over-subscribe the code. An incomplete code is allowed
    // (a lone distance code is); its unused codes fail in Decode.
    bool Build(const unsigned char* lengths, unsigned count) {
        FCount.fill(0);
        for (unsigned s = 0; s < count; ++s) ++FCount[lengths[s]];
        FCount[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            left = left * 2 - FCount[len];
            if (left < 0) return false;
        }
        std::array<std::uint16_t, kMaxBits + 2> offset{};
        for (unsigned len = 1; len <= kMaxBits; ++len) offset[len + 1] = offset[len] + FCount[len];
        std::array<std::uint32_t, kMaxBits + 1> next{};
        std::uint32_t code = 0;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            code = (code + FCount[len - 1]) << 1;
            next[len] = code;
        }
        FFast.fill(0);
        for (unsigned s = 0; s < count; ++s) {
            const unsigned len = lengths[s];
            if (len == 0) continue;
            FSorted[offset[len]++] = static_cast<std::uint16_t>(s);
            const std::uint32_t c = next[len]++;
            if (len > kFastBits) continue;
            // Deflate sends codes most significant bit first: the table is indexed by
            // the reversed code, with every value of the bits behind it.
            std::uint32_t reversed = 0;
            for (unsigned i = 0; i < len; ++i) reversed |= ((c >> i) & 1) << (len - 1 - i);
            for (std::uint32_t i = reversed; i < (1u << kFastBits); i += 1u << len)
                FFast[i] = static_cast<std::uint16_t>(s << 4 | len);
        }
        return true;
    }

    // The next symbol, or -1 for a code that is not in the table.
    int Decode(BitReader& in) const {
        const std::uint32_t bits = in.Peek(kMaxBits);
        if (const std::uint16_t entry = FFast[bits & ((1u << kFastBits) - 1)]) {
            in.Skip(entry & 15);
            return entry >> 4;
        }
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxBits; ++len) {
            code |= static_cast<int>((bits >> (len - 1)) & 1);
            const int count = FCount[len];
            if (code - first < count) {
                in.Skip(len);
                return FSorted[index + code - first];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<std::uint16_t, 1u << kFastBits> FFast;  // symbol << 4 | length; 0: longer code
    std::array<std::uint16_t, kMaxBits + 1> FCount;      // codes of each length
    std::array<std::uint16_t, 288> FSorted;              // symbols in code order
};

constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned char kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                               6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool BuildFixed(HuffmanCode& literals, HuffmanCode& distances) {
    unsigned char lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    unsigned char distanceLengths[30];
    for (unsigned char& len : distanceLengths) len = 5;
    return literals.Build(lengths, 288) && distances.Build(distanceLengths, 30);
}

bool ReadDynamicHeader(BitReader& in, HuffmanCode& literals, HuffmanCode& distances) {
    const unsigned literalCount = in.Take(5) + 257;
    const unsigned distanceCount = in.Take(5) + 1;
    const unsigned lengthCodeCount = in.Take(4) + 4;
    if (literalCount > 286 || distanceCount > 30) return false;
    static constexpr unsigned char kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    unsigned char lengthCodeLengths[19] = {};
    for (unsigned i = 0; i < lengthCodeCount; ++i) lengthCodeLengths[kOrder[i]] = static_cast<unsigned char>(in.Take(3));
    HuffmanCode lengthCode;
    if (!lengthCode.Build(lengthCodeLengths, 19)) return false;

    unsigned char lengths[286 + 30] = {};
    const unsigned total = literalCount + distanceCount;
    for (unsigned i = 0; i < total;) {
        const int symbol = lengthCode.Decode(in);
        if (symbol < 0) return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<unsigned char>(symbol);
            continue;
        }
        unsigned char value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + in.Take(2);
        } else if (symbol == 17) {
            repeat = 3 + in.Take(3);
        } else {
            repeat = 11 + in.Take(7);
        }
        if (i + repeat > total) return false;
        while (repeat--) lengths[i++] = value;
    }
    if (lengths[256] == 0) return false;  // no end-of-block code
    return literals.Build(lengths, literalCount) && distances.Build(lengths + literalCount, distanceCount);
}

// Reads the symbols of one Huffman block up to its end-of-block code.
bool SkipSymbols(BitReader& in, const HuffmanCode& literals, const HuffmanCode& distances) {
    for (;;) {
        if (in.Overrun()) return false;
        int symbol = literals.Decode(in);
        if (symbol < 256) {
            if (symbol < 0) return false;
            continue;
        }
        if (symbol == 256) return true;
        symbol -= 257;
        if (symbol >= 29) return false;
        in.Skip(kLengthExtra[symbol]);
        const int distance = distances.Decode(in);
        if (distance < 0 || distance >= 30) return false;
        in.Skip(kDistanceExtra[distance]);
    }
}

}  // namespace

std::optional<FinalBlock> FindFinalBlock(std::string_view stream) {
    static HuffmanCode fixedLiterals, fixedDistances;
    static const bool fixedBuilt = BuildFixed(fixedLiterals, fixedDistances);
    if (!fixedBuilt) return std::nullopt;

    BitReader in(stream);
    HuffmanCode literals, distances;
    for (;;) {
        FinalBlock block;
        block.Start = in.Position();
        const bool final = in.Take(1) != 0;
        const unsigned type = in.Take(2);
        if (type == 0) {
            in.Take((8 - in.Position() % 8) % 8);
            const std::uint32_t length = in.Take(16);
            if (in.Take(16) != (~length & 0xFFFF)) return std::nullopt;
            in.SkipBytes(length);
        } else if (type == 1) {
            if (!SkipSymbols(in, fixedLiterals, fixedDistances)) return std::nullopt;
        } else if (type == 2) {
            if (!ReadDynamicHeader(in, literals, distances) || !SkipSymbols(in, literals, distances))
                return std::nullopt;
        } else {
            return std::nullopt;
        }
        if (in.Overrun()) return std::nullopt;
        if (final) {
            block.End = in.Position();
            return block;
        }
        if (in.Position() >= stream.size() * 8) return std::nullopt;
    }
}

std::optional<FinalBlock> FindFinalBlockWithZlib(std::string_view stream) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    // Inflate keeps its own window, so the output can go to one small buffer over and over.
    thread_local std::array<unsigned char, 1 << 16> scratch;
    FinalBlock block;
    std::optional<FinalBlock> found;
    for (;;) {
        if (z.avail_out == 0) {
            z.next_out = scratch.data();
            z.avail_out = static_cast<uInt>(scratch.size());
        }
        const int rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK) break;
        if (!(z.data_type & 128)) continue;
        // At a block boundary; bit 64 tells whether the block just ended was the final one.
        const std::uint64_t at = static_cast<std::uint64_t>(z.total_in) * 8 - (z.data_type & 7);
        if (z.data_type & 64) {
            block.End = at;
            found = block;
            break;
        }
        block.Start = at;
        if (z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return found;
}

bool MakeJoinable(std::string& stream) {
    auto block = FindFinalBlock(stream);
    if (!block) block = FindFinalBlockWithZlib(stream);
    if (!block || (block->End + 7) / 8 != stream.size()) return false;
    char& header = stream[block->Start / 8];
    const int bit = static_cast<int>(block->Start % 8);
    if (!(static_cast<unsigned char>(header) >> bit & 1)) return false;
    header = static_cast<char>(header & ~(1 << bit));
    // The padding bits after the block are zero: they hold the 3-bit header of the
    // stored block when there is room, else one more zero byte does.
    const std::uint64_t free = stream.size() * 8 - block->End;
    if (free < 3) stream.push_back('\0');
    stream.append("\x00\x00\xFF\xFF", 4);
    return true;
}

}  // namespace vb::zip

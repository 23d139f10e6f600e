// The fast block walk must find the same final block as zlib's inflate in every kind
// of stream the encoders make (stored, fixed and dynamic blocks, long codes, long
// matches), refuse broken ones, and the joined streams must inflate to the input.
#include "zip/DeflateJoin.h"

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <functional>
#include <random>

#include "support/RandomBytes.h"

namespace vb::test {
namespace {

using zip::FinalBlock;

std::string Text(std::size_t n, unsigned seed) {
    static const char* const kWords[] = {"Schüler", "Klasse", "Zeugnis", "Konferenz", "Elternbrief", "Note",
                                         "Stundenplan", "und", "der", "die", "mit", "\r\n"};
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < n) {
        out += kWords[random() % std::size(kWords)];
        out += ' ';
    }
    out.resize(n);
    return out;
}

// 4 KiB pages: text, random, zeros and a counter, as database files mix them.
std::string Pages(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string out;
    for (unsigned page = 0; out.size() < n; ++page) {
        switch (random() % 4) {
        case 0: out += Text(4096, seed + page); break;
        case 1: out += RandomBytes(4096, seed + page); break;
        case 2: out.append(4096, '\0'); break;
        default:
            for (unsigned i = 0; i < 1024; ++i) out.append(reinterpret_cast<const char*>(&i), 4);
        }
    }
    out.resize(n);
    return out;
}

// Many distinct symbols with skewed frequencies, so that some codes are longer than
// a table look-up covers.
std::string Skewed(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::geometric_distribution<int> symbol(0.08);
    std::string out(n, '\0');
    for (char& c : out) c = static_cast<char>(symbol(random) % 256);
    return out;
}

std::string Libdeflate(const std::string& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::string out(libdeflate_deflate_compress_bound(c, data.size()), '\0');
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

std::string Zlib(const std::string& data, int level, int strategy) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy), Z_OK);
    std::string out(deflateBound(&z, data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

std::string Inflate(const std::string& stream, std::size_t size) {
    std::string out(size, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

struct Input {
    const char* name;
    std::function<std::string()> make;
};
struct Encoder {
    const char* name;
    std::function<std::string(const std::string&)> compress;
};

const std::vector<Input> kInputs = {
    {"empty", [] { return std::string(); }},
    {"one byte", [] { return std::string("x"); }},
    {"text", [] { return Text(3 << 20, 1); }},
    {"random", [] { return RandomBytes(600 << 10, 2); }},
    {"zeros", [] { return std::string(4 << 20, '\0'); }},
    {"pages", [] { return Pages(4 << 20, 3); }},
    {"skewed", [] { return Skewed(1 << 20, 4); }},
};
const std::vector<Encoder> kEncoders = {
    {"libdeflate 1", [](const std::string& d) { return Libdeflate(d, 1); }},
    {"libdeflate 6", [](const std::string& d) { return Libdeflate(d, 6); }},
    {"libdeflate 12", [](const std::string& d) { return Libdeflate(d, 12); }},
    {"zlib 6", [](const std::string& d) { return Zlib(d, 6, Z_DEFAULT_STRATEGY); }},
    {"zlib fixed", [](const std::string& d) { return Zlib(d, 6, Z_FIXED); }},
    {"zlib Huffman only", [](const std::string& d) { return Zlib(d, 6, Z_HUFFMAN_ONLY); }},
    {"zlib stored", [](const std::string& d) { return Zlib(d, 0, Z_DEFAULT_STRATEGY); }},
};

TEST(DeflateJoinTest, FastWalkFindsTheBlockInflateFinds) {
    for (const Input& input : kInputs) {
        const std::string data = input.make();
        for (const Encoder& encoder : kEncoders) {
            SCOPED_TRACE(std::string(input.name) + ", " + encoder.name);
            const std::string stream = encoder.compress(data);
            const auto fast = zip::FindFinalBlock(stream);
            const auto reference = zip::FindFinalBlockWithZlib(stream);
            ASSERT_TRUE(reference.has_value());
            ASSERT_TRUE(fast.has_value());
            EXPECT_EQ(fast->Start, reference->Start);
            EXPECT_EQ(fast->End, reference->End);
            EXPECT_EQ((fast->End + 7) / 8, stream.size());
        }
    }
}

TEST(DeflateJoinTest, JoinedStreamsInflateToTheWholeInput) {
    const std::string data = Pages(3 << 20, 7) + Text(1 << 20, 8) + RandomBytes(70000, 9);
    const std::size_t cuts[] = {0, 1 << 20, (2 << 20) + 123, data.size() - 70000, data.size()};
    std::string joined;
    for (std::size_t i = 0; i + 1 < std::size(cuts); ++i) {
        std::string part = Libdeflate(data.substr(cuts[i], cuts[i + 1] - cuts[i]), 6);
        if (i + 2 < std::size(cuts)) {
            ASSERT_TRUE(zip::MakeJoinable(part)) << "part " << i;
            EXPECT_FALSE(zip::FindFinalBlock(part).has_value()) << "part " << i << " still ends the stream";
        }
        joined += part;
    }
    EXPECT_TRUE(Inflate(joined, data.size()) == data);
}

TEST(DeflateJoinTest, BrokenStreamsAreRefused) {
    const std::string stream = Libdeflate(Pages(1 << 20, 11), 6);
    for (std::size_t keep : {std::size_t{0}, std::size_t{1}, std::size_t{5}, stream.size() / 2, stream.size() - 1}) {
        SCOPED_TRACE("truncated to " + std::to_string(keep));
        const std::string cut = stream.substr(0, keep);
        EXPECT_FALSE(zip::FindFinalBlock(cut).has_value());
        EXPECT_FALSE(zip::FindFinalBlockWithZlib(cut).has_value());
    }
    std::string reserved = stream;
    reserved[0] = static_cast<char>(reserved[0] | 6);  // block type 3 does not exist
    EXPECT_FALSE(zip::FindFinalBlock(reserved).has_value());
    std::string joined = stream;
    EXPECT_FALSE(zip::MakeJoinable(reserved));
    EXPECT_TRUE(zip::MakeJoinable(joined));
    EXPECT_FALSE(zip::MakeJoinable(joined)) << "a stream without a final block cannot be made joinable again";
}

// Damaged streams (one bit of a valid one flipped): the walk ends without reading
// outside the stream, and whenever inflate still takes the bytes for a whole stream,
// the fast walk finds the same final block.
TEST(DeflateJoinTest, DamagedStreamsNeverMisleadTheWalk) {
    std::mt19937 random(12);
    unsigned accepted = 0;
    for (unsigned i = 0; i < 3000; ++i) {
        const std::string data = i % 2 ? Text(3000, i) : Skewed(3000, i);
        std::string bytes = i % 3 ? Libdeflate(data, 6) : Zlib(data, 6, Z_FIXED);
        const std::size_t bit = random() % (bytes.size() * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
        const auto fast = zip::FindFinalBlock(bytes);
        const auto reference = zip::FindFinalBlockWithZlib(bytes);
        if (!reference) continue;
        ++accepted;
        SCOPED_TRACE("case " + std::to_string(i) + ", bit " + std::to_string(bit));
        ASSERT_TRUE(fast.has_value());
        EXPECT_EQ(fast->Start, reference->Start);
        EXPECT_EQ(fast->End, reference->End);
    }
    EXPECT_GT(accepted, 300u) << "too few damaged streams that inflate still takes to compare the walks on";
}

}  // namespace
}  // namespace vb::test

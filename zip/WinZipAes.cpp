#include "zip/WinZipAes.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstring>
#include <vector>

#include "zip/ByteOrder.h"
#include "platform/SecureRandom.h"
#include "util/Error.h"

namespace vb::zip {
namespace {

constexpr int kIterations = 1000;
constexpr std::size_t kBlock = 16;

std::size_t KeySize(std::uint8_t strength) { return strength == 1 ? 16 : strength == 2 ? 24 : strength == 3 ? 32 : 0; }

const EVP_CIPHER* CipherFor(std::uint8_t strength) {
    return strength == 1 ? EVP_aes_128_ecb() : strength == 2 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
}

[[noreturn]] void Fail() { throw Error("Die AES-Verschlüsselung steht nicht zur Verfügung (libcrypto)."); }

}  // namespace

struct WinZipAes::State {
    EVP_CIPHER_CTX* Cipher = nullptr;
    EVP_MAC* Mac = nullptr;
    EVP_MAC_CTX* Hmac = nullptr;
    unsigned char Counter[kBlock] = {};  // little-endian block counter
    unsigned char Stream[kBlock] = {};   // key stream of the current block
    std::size_t Used = kBlock;           // bytes of Stream already used
    std::vector<unsigned char> Blocks;   // counter blocks of one call, encrypted at once

    ~State() {
        EVP_CIPHER_CTX_free(Cipher);
        EVP_MAC_CTX_free(Hmac);
        EVP_MAC_free(Mac);
    }
};

std::size_t WinZipAes::SaltSize(std::uint8_t strength) { return KeySize(strength) / 2; }

std::optional<AesField> FindAesField(std::string_view extra) {
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const auto* p = reinterpret_cast<const unsigned char*>(extra.data()) + pos;
        const std::uint16_t id = Get16(p);
        const std::uint16_t size = Get16(p + 2);
        if (pos + 4 + size > extra.size()) return std::nullopt;
        if (id == kAesExtraId) {
            if (size != 7 || p[6] != 'A' || p[7] != 'E') return std::nullopt;
            AesField field;
            field.Version = Get16(p + 4);
            field.Strength = p[8];
            field.Method = Get16(p + 9);
            if ((field.Version != 1 && field.Version != 2) || KeySize(field.Strength) == 0) return std::nullopt;
            return field;
        }
        pos += 4 + size;
    }
    return std::nullopt;
}

std::string MakeAesField(const AesField& field) {
    std::string bytes;
    Put16(bytes, kAesExtraId);
    Put16(bytes, 7);
    Put16(bytes, field.Version);
    bytes += "AE";
    bytes.push_back(static_cast<char>(field.Strength));
    Put16(bytes, field.Method);
    return bytes;
}

WinZipAes::WinZipAes(std::string_view password, std::string_view salt, std::uint8_t strength)
    : FState(std::make_unique<State>()) {
    const std::size_t keySize = KeySize(strength);
    if (keySize == 0 || salt.size() != SaltSize(strength)) Fail();
    std::vector<unsigned char> derived(2 * keySize + kVerifierSize);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()),
                          kIterations, EVP_sha1(), static_cast<int>(derived.size()), derived.data()) != 1)
        Fail();
    std::memcpy(FVerifier.data(), derived.data() + 2 * keySize, kVerifierSize);

    FState->Cipher = EVP_CIPHER_CTX_new();
    if (!FState->Cipher ||
        EVP_EncryptInit_ex(FState->Cipher, CipherFor(strength), nullptr, derived.data(), nullptr) != 1)
        Fail();
    EVP_CIPHER_CTX_set_padding(FState->Cipher, 0);

    FState->Mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    FState->Hmac = FState->Mac ? EVP_MAC_CTX_new(FState->Mac) : nullptr;
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                           OSSL_PARAM_construct_end()};
    if (!FState->Hmac || EVP_MAC_init(FState->Hmac, derived.data() + keySize, keySize, params) != 1) Fail();
    std::memset(derived.data(), 0, derived.size());
}

WinZipAes::~WinZipAes() = default;
WinZipAes::WinZipAes(WinZipAes&&) noexcept = default;
WinZipAes& WinZipAes::operator=(WinZipAes&&) noexcept = default;

// Counter mode with the block counter in little-endian order, as the format has it
// (which OpenSSL's own counter mode, big-endian, cannot do): the counter blocks of a
// call are encrypted in one pass of the block cipher.
void WinZipAes::Crypt(unsigned char* data, std::size_t size) {
    State& s = *FState;
    std::size_t done = 0;
    while (done < size && s.Used < kBlock) data[done++] ^= s.Stream[s.Used++];
    const std::size_t whole = (size - done) / kBlock;
    const std::size_t blocks = whole + ((size - done) % kBlock ? 1 : 0);
    if (blocks == 0) return;
    s.Blocks.resize(blocks * kBlock);
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t i = 0; i < kBlock && ++s.Counter[i] == 0; ++i) {
        }
        std::memcpy(s.Blocks.data() + b * kBlock, s.Counter, kBlock);
    }
    int length = 0;
    if (EVP_EncryptUpdate(s.Cipher, s.Blocks.data(), &length, s.Blocks.data(), static_cast<int>(s.Blocks.size())) != 1)
        Fail();
    const unsigned char* stream = s.Blocks.data();
    const std::size_t full = whole * kBlock;
    for (std::size_t i = 0; i < full; ++i) data[done + i] ^= stream[i];
    done += full;
    if (done < size) {
        std::memcpy(s.Stream, stream + full, kBlock);
        s.Used = 0;
        while (done < size) data[done++] ^= s.Stream[s.Used++];
    }
}

void WinZipAes::Encrypt(unsigned char* data, std::size_t size) {
    Crypt(data, size);
    if (EVP_MAC_update(FState->Hmac, data, size) != 1) Fail();
}

void WinZipAes::Decrypt(unsigned char* data, std::size_t size) {
    if (EVP_MAC_update(FState->Hmac, data, size) != 1) Fail();
    Crypt(data, size);
}

std::array<unsigned char, WinZipAes::kAuthCodeSize> WinZipAes::AuthCode() {
    unsigned char mac[EVP_MAX_MD_SIZE];
    std::size_t length = 0;
    if (EVP_MAC_final(FState->Hmac, mac, &length, sizeof mac) != 1 || length < kAuthCodeSize) Fail();
    std::array<unsigned char, kAuthCodeSize> code{};
    std::memcpy(code.data(), mac, kAuthCodeSize);
    return code;
}

std::string WinZipAes::RandomSalt(std::uint8_t strength) {
    std::string salt(SaltSize(strength), '\0');
    platform::FillRandom(salt.data(), salt.size());
    return salt;
}

}  // namespace vb::zip

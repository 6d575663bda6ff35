#include "engine/writers/formatsparts.h"

#include "engine/writers/docx/compoundfile.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstdint>
#include <memory>

namespace {

using Bytes = std::string;

constexpr int kSpinCount = 100000;
constexpr std::size_t kSaltSize = 16;
constexpr std::size_t kBlockSize = 16;
constexpr std::size_t kKeySize = 32;     // AES-256
constexpr std::size_t kHashSize = 64;    // SHA-512
constexpr std::size_t kSegmentSize = 4096;

// The block keys that tell the derived keys apart.
const Bytes kVerifierInputBlock("\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79", 8);
const Bytes kVerifierValueBlock("\xd7\xaa\x0f\x6d\x30\x61\x34\x4e", 8);
const Bytes kKeyValueBlock("\x14\x6e\x0b\xe7\xab\xac\xd0\xd6", 8);
const Bytes kIntegrityKeyBlock("\x5f\xb2\xad\x01\x0c\xb9\xe1\xf6", 8);
const Bytes kIntegrityValueBlock("\xa0\x67\x7f\x02\xb2\x2c\x84\x33", 8);

Bytes Le16(std::uint16_t v)
{
    return Bytes{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

Bytes Le32(std::uint32_t v)
{
    Bytes b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

Bytes Le64(std::uint64_t v)
{
    Bytes b(8, '\0');
    for (int i = 0; i < 8; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
}

Bytes Utf16Le(const std::u16string& s)
{
    Bytes b;
    for (char16_t c : s)
        b += Le16(static_cast<std::uint16_t>(c));
    return b;
}

// A length-prefixed UTF-16 string padded to a multiple of 4 bytes.
Bytes UnicodeLp4(const std::u16string& s)
{
    Bytes b = Le32(static_cast<std::uint32_t>(2 * s.size())) + Utf16Le(s);
    while (b.size() % 4)
        b.push_back('\0');
    return b;
}

// A hash cut to `size` bytes, or padded with 0x36 to it.
Bytes Fit(Bytes value, std::size_t size)
{
    value.resize(size, '\x36');
    return value;
}

struct MdCtxFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

class Sha512 {
public:
    Sha512() : ctx_(EVP_MD_CTX_new()) {}
    bool ok() const { return ctx_ != nullptr; }
    // SHA-512 of a followed by b; empty on failure.
    Bytes operator()(const Bytes& a, const Bytes& b = Bytes())
    {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        if (EVP_DigestInit_ex(ctx_.get(), EVP_sha512(), nullptr) != 1 ||
            EVP_DigestUpdate(ctx_.get(), a.data(), a.size()) != 1 ||
            EVP_DigestUpdate(ctx_.get(), b.data(), b.size()) != 1 ||
            EVP_DigestFinal_ex(ctx_.get(), md, &len) != 1)
            return Bytes();
        return Bytes(reinterpret_cast<const char*>(md), len);
    }

private:
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx_;
};

// AES-256-CBC without padding; `in` is a whole number of blocks.
bool Encrypt(const Bytes& key, const Bytes& iv, const Bytes& in, Bytes& out)
{
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || key.size() != kKeySize || iv.size() != kBlockSize || in.size() % kBlockSize)
        return false;
    out.assign(in.size() + kBlockSize, '\0');
    int n = 0;
    int tail = 0;
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    if (EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr,
                           reinterpret_cast<const unsigned char*>(key.data()),
                           reinterpret_cast<const unsigned char*>(iv.data())) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_EncryptUpdate(ctx.get(), o, &n, reinterpret_cast<const unsigned char*>(in.data()),
                          static_cast<int>(in.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), o + n, &tail) != 1)
        return false;
    out.resize(static_cast<std::size_t>(n + tail));
    return true;
}

bool Random(std::size_t n, Bytes& out)
{
    out.assign(n, '\0');
    return RAND_bytes(reinterpret_cast<unsigned char*>(out.data()), static_cast<int>(n)) == 1;
}

std::string Base64(const Bytes& b)
{
    std::string out(4 * ((b.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(b.data()),
                                  static_cast<int>(b.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// The EncryptionInfo stream: version 4.4, the flags, then the XML.
Bytes EncryptionInfo(const Bytes& keySalt, const Bytes& hmacKey, const Bytes& hmacValue,
                     const Bytes& passwordSalt, const Bytes& verifierInput,
                     const Bytes& verifierValue, const Bytes& keyValue)
{
    const std::string cipher = "saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" "
                               "cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
                               "hashAlgorithm=\"SHA512\"";
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
        "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\" "
        "xmlns:c=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\">"
        "<keyData " + cipher + " saltValue=\"" + Base64(keySalt) + "\"/>"
        "<dataIntegrity encryptedHmacKey=\"" + Base64(hmacKey) +
        "\" encryptedHmacValue=\"" + Base64(hmacValue) + "\"/>"
        "<keyEncryptors><keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
        "<p:encryptedKey spinCount=\"" + std::to_string(kSpinCount) + "\" " + cipher +
        " saltValue=\"" + Base64(passwordSalt) +
        "\" encryptedVerifierHashInput=\"" + Base64(verifierInput) +
        "\" encryptedVerifierHashValue=\"" + Base64(verifierValue) +
        "\" encryptedKeyValue=\"" + Base64(keyValue) + "\"/>"
        "</keyEncryptor></keyEncryptors></encryption>";
    return Le16(4) + Le16(4) + Le32(0x40) + xml;
}

// The data-space streams that say the package is stored encrypted.
Bytes DataSpaceVersion()
{
    return UnicodeLp4(u"Microsoft.Container.DataSpaces") + Le16(1) + Le16(0) + Le16(1) + Le16(0) +
           Le16(1) + Le16(0);
}

Bytes DataSpaceMap()
{
    const Bytes entry =
        Le32(1) + Le32(0) + UnicodeLp4(u"EncryptedPackage") + UnicodeLp4(u"StrongEncryptionDataSpace");
    return Le32(8) + Le32(1) + Le32(static_cast<std::uint32_t>(4 + entry.size())) + entry;
}

Bytes DataSpaceDefinition()
{
    return Le32(8) + Le32(1) + UnicodeLp4(u"StrongEncryptionTransform");
}

Bytes TransformInfo()
{
    const Bytes id = UnicodeLp4(u"{FF9A3F03-56EF-4613-BDD5-5A41C1D07246}");
    const Bytes header = Le32(static_cast<std::uint32_t>(8 + id.size())) + Le32(1) + id +
                         UnicodeLp4(u"Microsoft.Container.EncryptionTransform") + Le16(1) +
                         Le16(0) + Le16(1) + Le16(0) + Le16(1) + Le16(0);
    // No encryption name, block size and cipher mode 0, reserved 4.
    return header + Le32(0) + Le32(0) + Le32(0) + Le32(4);
}

} // namespace

std::string ModuleEncryptOfficePackage(const std::string& package, const std::u16string& password)
{
    Sha512 sha;
    Bytes keySalt, passwordSalt, secretKey, verifierInput, hmacKey;
    if (!sha.ok() || !Random(kSaltSize, keySalt) || !Random(kSaltSize, passwordSalt) ||
        !Random(kKeySize, secretKey) || !Random(kSaltSize, verifierInput) ||
        !Random(kHashSize, hmacKey))
        return std::string();

    // The password's hash, spun.
    Bytes h = sha(passwordSalt, Utf16Le(password));
    for (int i = 0; i < kSpinCount && !h.empty(); ++i)
        h = sha(Le32(static_cast<std::uint32_t>(i)), h);
    if (h.empty())
        return std::string();
    auto passwordKey = [&](const Bytes& block) { return Fit(sha(h, block), kKeySize); };

    Bytes encVerifierInput, encVerifierValue, encKeyValue;
    if (!Encrypt(passwordKey(kVerifierInputBlock), passwordSalt, verifierInput, encVerifierInput) ||
        !Encrypt(passwordKey(kVerifierValueBlock), passwordSalt, sha(verifierInput), encVerifierValue) ||
        !Encrypt(passwordKey(kKeyValueBlock), passwordSalt, secretKey, encKeyValue))
        return std::string();

    // The package: its size, then 4096-byte segments, each with its own IV;
    // the last segment is padded to whole blocks.
    Bytes encrypted = Le64(package.size());
    encrypted.reserve(8 + package.size() + kBlockSize);
    for (std::size_t offset = 0, segment = 0; offset < package.size(); offset += kSegmentSize, ++segment) {
        Bytes chunk = package.substr(offset, kSegmentSize);
        chunk.resize((chunk.size() + kBlockSize - 1) / kBlockSize * kBlockSize, '\0');
        Bytes out;
        const Bytes iv = Fit(sha(keySalt, Le32(static_cast<std::uint32_t>(segment))), kBlockSize);
        if (!Encrypt(secretKey, iv, chunk, out))
            return std::string();
        encrypted += out;
    }

    // Integrity: an HMAC of the whole encrypted stream under a random key;
    // key and value are stored encrypted with the secret key.
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int macLen = 0;
    if (!HMAC(EVP_sha512(), hmacKey.data(), static_cast<int>(hmacKey.size()),
              reinterpret_cast<const unsigned char*>(encrypted.data()), encrypted.size(), mac, &macLen))
        return std::string();
    Bytes encHmacKey, encHmacValue;
    if (!Encrypt(secretKey, Fit(sha(keySalt, kIntegrityKeyBlock), kBlockSize), hmacKey, encHmacKey) ||
        !Encrypt(secretKey, Fit(sha(keySalt, kIntegrityValueBlock), kBlockSize),
                 Bytes(reinterpret_cast<const char*>(mac), macLen), encHmacValue))
        return std::string();

    CompoundFileWriter file;
    const bool ok =
        file.AddStream(u"EncryptionInfo", EncryptionInfo(keySalt, encHmacKey, encHmacValue, passwordSalt,
                                                         encVerifierInput, encVerifierValue, encKeyValue)) &&
        file.AddStream(u"EncryptedPackage", std::move(encrypted)) &&
        file.AddStream(u"\u0006DataSpaces/Version", DataSpaceVersion()) &&
        file.AddStream(u"\u0006DataSpaces/DataSpaceMap", DataSpaceMap()) &&
        file.AddStream(u"\u0006DataSpaces/DataSpaceInfo/StrongEncryptionDataSpace", DataSpaceDefinition()) &&
        file.AddStream(u"\u0006DataSpaces/TransformInfo/StrongEncryptionTransform/\u0006Primary",
                       TransformInfo());
    return ok ? file.Serialize() : std::string();
}

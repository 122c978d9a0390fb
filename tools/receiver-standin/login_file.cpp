// The daemon's side of the web login: the web server checks logins against a user file in
// htdigest form, and the login lives in the configuration record, where credset changes it
// without posting an operation. So the file follows the record: whenever user or pawd differ
// from what the file was written from, it is written anew, whole, and renamed into place.
#include "login_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "sharememory.h"

namespace {

// The realm the web server's configuration names; it is part of every stored digest.
constexpr char realm[] = "GNSS receiver";

// RFC 1321, for the digest of "user:realm:password" that an htdigest line holds.
std::string md5_hex(const std::string &message)
{
    static const uint32_t sines[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
        0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
        0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
        0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
        0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
        0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
        0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
        0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
        0xeb86d391};
    static const int shifts[16] = {7, 12, 17, 22, 5, 9, 14, 20, 4, 11, 16, 23, 6, 10, 15, 21};

    std::string data = message;
    const uint64_t bits = static_cast<uint64_t>(message.size()) * 8;
    data += '\x80';
    while (data.size() % 64 != 56)
        data += '\0';
    for (int i = 0; i < 8; ++i)
        data += static_cast<char>(bits >> (8 * i));

    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    for (size_t block = 0; block < data.size(); block += 64) {
        uint32_t words[16];
        for (int i = 0; i < 16; ++i) {
            const auto *bytes = reinterpret_cast<const unsigned char *>(&data[block + 4 * i]);
            words[i] =
                bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        for (int i = 0; i < 64; ++i) {
            const int round = i / 16;
            uint32_t mix;
            int word;
            switch (round) {
            case 0:
                mix = (b & c) | (~b & d);
                word = i;
                break;
            case 1:
                mix = (d & b) | (~d & c);
                word = (5 * i + 1) % 16;
                break;
            case 2:
                mix = b ^ c ^ d;
                word = (3 * i + 5) % 16;
                break;
            default:
                mix = c ^ (b | ~d);
                word = (7 * i) % 16;
                break;
            }
            const uint32_t sum = a + mix + sines[i] + words[word];
            const int shift = shifts[round * 4 + i % 4];
            a = d;
            d = c;
            c = b;
            b += sum << shift | sum >> (32 - shift);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }

    std::string hex;
    char pair[3];
    for (uint32_t word : state)
        for (int i = 0; i < 4; ++i) {
            snprintf(pair, sizeof pair, "%02x", (word >> (8 * i)) & 0xff);
            hex += pair;
        }
    return hex;
}

// A 16-byte text field: up to its first NUL, or all 16 bytes.
std::string field_text(const uint8_t (&field)[16])
{
    const void *end = memchr(field, 0, sizeof field);
    size_t size = end ? static_cast<const uint8_t *>(end) - field : sizeof field;
    return std::string(reinterpret_cast<const char *>(field), size);
}

std::string written_from;

} // namespace

bool seed_login(const char *user, const char *password)
{
    uint8_t stored[16] = {};
    if (GetReceiverConfigParaFromShareMemory(ENTRY_USER, stored) != 0)
        return false;
    if (stored[0] != 0)
        return true;
    uint8_t name[16] = {}, secret[16] = {};
    memcpy(name, user, strnlen(user, sizeof name));
    memcpy(secret, password, strnlen(password, sizeof secret));
    return SetReceiverConfigParaToShareMemory(ENTRY_USER, name) == 0 &&
           SetReceiverConfigParaToShareMemory(ENTRY_PAWD, secret) == 0;
}

bool keep_login_file(const char *path)
{
    uint8_t user[16] = {}, password[16] = {};
    if (GetReceiverConfigParaFromShareMemory(ENTRY_USER, user) != 0 ||
        GetReceiverConfigParaFromShareMemory(ENTRY_PAWD, password) != 0)
        return false;
    const std::string name = field_text(user);
    const std::string secret = field_text(password);
    const std::string source = name + '\0' + secret;
    if (source == written_from)
        return true;

    // A name with a colon or a line end cannot stand in the file: nobody gets in until it changes.
    std::string content;
    if (!name.empty() && name.find_first_of(":\r\n") == std::string::npos)
        content = name + ':' + realm + ':' + md5_hex(name + ':' + realm + ':' + secret) + '\n';
    const std::string temporary = std::string(path) + ".new";
    FILE *file = fopen(temporary.c_str(), "w");
    if (file == nullptr)
        return false;
    const bool written = fwrite(content.data(), 1, content.size(), file) == content.size();
    if (fclose(file) != 0 || !written || rename(temporary.c_str(), path) != 0) {
        remove(temporary.c_str());
        return false;
    }
    written_from = source;
    return true;
}

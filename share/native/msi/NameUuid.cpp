// SHA-1 as FIPS 180-4 gives it; UUID version 5 as RFC 4122 section 4.3.
#include "NameUuid.h"

#include "PackError.h"

namespace {

uint32_t rotl(uint32_t x, int n) {
    return x << n | x >> (32 - n);
}

void sha1Block(std::array<uint32_t, 5>& h, const uint8_t* block) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = static_cast<uint32_t>(block[4 * i]) << 24 | static_cast<uint32_t>(block[4 * i + 1]) << 16
                | static_cast<uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
    }
    for (int i = 16; i < 80; ++i) {
        w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    }
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
    for (int i = 0; i < 80; ++i) {
        const uint32_t f = i < 20 ? (b & c) | (~b & d) : i < 40 || i >= 60 ? b ^ c ^ d
                                                       : (b & c) | (b & d) | (c & d);
        const uint32_t k = i < 20 ? 0x5A827999 : i < 40 ? 0x6ED9EBA1 : i < 60 ? 0x8F1BBCDC : 0xCA62C1D6;
        const uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotl(b, 30);
        b = a;
        a = t;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

} // namespace

std::array<uint8_t, 20> sha1(const std::string& data) {
    std::array<uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string padded = data;
    padded += '\x80';
    while (padded.size() % 64 != 56) {
        padded += '\0';
    }
    const uint64_t bits = static_cast<uint64_t>(data.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8) {
        padded += static_cast<char>(bits >> shift & 0xFF);
    }
    for (size_t at = 0; at < padded.size(); at += 64) {
        sha1Block(h, reinterpret_cast<const uint8_t*>(padded.data() + at));
    }
    std::array<uint8_t, 20> digest{};
    for (size_t i = 0; i < 20; ++i) {
        digest[i] = static_cast<uint8_t>(h[i / 4] >> (24 - 8 * (i % 4)));
    }
    return digest;
}

Uuid nameUuid(const Uuid& space, const std::string& name) {
    const auto digest = sha1(std::string(space.begin(), space.end()) + name);
    Uuid uuid;
    for (size_t i = 0; i < uuid.size(); ++i) {
        uuid[i] = digest[i];
    }
    uuid[6] = static_cast<uint8_t>((uuid[6] & 0x0F) | 0x50);
    uuid[8] = static_cast<uint8_t>((uuid[8] & 0x3F) | 0x80);
    return uuid;
}

std::string formatUuid(const Uuid& uuid) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < uuid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out += '-';
        }
        out += digits[uuid[i] >> 4];
        out += digits[uuid[i] & 0xF];
    }
    return out;
}

Uuid parseUuid(const std::string& text) {
    std::string body = text;
    if (body.size() == 38 && body.front() == '{' && body.back() == '}') {
        body = body.substr(1, 36);
    }
    Uuid uuid{};
    const auto bad = [&]() {
        return PackError("\"" + text + "\" is not a GUID (XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)");
    };
    if (body.size() != 36) {
        throw bad();
    }
    size_t byte = 0;
    for (size_t i = 0; i < body.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (body[i] != '-') {
                throw bad();
            }
            continue;
        }
        const int high = hexValue(body[i]), low = i + 1 < body.size() ? hexValue(body[i + 1]) : -1;
        if (high < 0 || low < 0) {
            throw bad();
        }
        uuid[byte++] = static_cast<uint8_t>(high << 4 | low);
        ++i;
    }
    return uuid;
}

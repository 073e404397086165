// Inputs shared by the native packing tests: the real launcher, a small
// icon, a branding, and error texts.
#ifndef STAMPTESTSUPPORT_H
#define STAMPTESTSUPPORT_H

#include <string>

#include "Bytes.h"
#include "JarFixtures.h"
#include "Packager.h"
#include "Stamp.h"

namespace stamp_test {

inline Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// The application jars of the packing tests: main.jar runs app.Main.
inline std::string mainJar() {
    return storedZip({{"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n"},
                      {"app/Main.class", classFile(61)}});
}
inline std::string utilJar() {
    return storedZip({{"util/U.class", classFile(61)}});
}

inline Bytes launcherBytes() {
    static const Bytes bytes = readBinaryFile(LOFTWICK_T_LAUNCHERS "/loftwick-launcher.exe");
    return bytes;
}

// Two images: a 16 pixel bitmap and a PNG standing for 256 pixels.
inline Bytes iconBytes() {
    Bytes bmp(40 + 16 * 16 * 4 + 64, 0);
    putU32(bmp, 0, 40);
    const Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 1, 2, 3};
    Bytes ico = {0, 0, 1, 0, 2, 0};
    const auto entry = [&](uint8_t size, const Bytes& data, uint32_t offset) {
        for (const uint8_t b : {size, size, uint8_t(0), uint8_t(0), uint8_t(1), uint8_t(0),
                                uint8_t(32), uint8_t(0)}) {
            ico.push_back(b);
        }
        appendU32(ico, static_cast<uint32_t>(data.size()));
        appendU32(ico, offset);
    };
    entry(16, bmp, 38);
    entry(0, png, static_cast<uint32_t>(38 + bmp.size()));
    ico.insert(ico.end(), bmp.begin(), bmp.end());
    ico.insert(ico.end(), png.begin(), png.end());
    return ico;
}

inline Branding branding() {
    Branding b;
    b.name = "Hello";
    b.fileName = "Hello.exe";
    b.version = "2.1.0.7";
    b.vendor = "Hello \xC3\x89""diteur";
    b.icon = iconBytes();
    b.iconWhat = "app.ico";
    b.utf8CodePage = true;
    return b;
}

inline std::string utf16Bytes(const std::u16string& text) {
    std::string out;
    for (const char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

template <class F>
std::string errorOf(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

} // namespace stamp_test

#endif // STAMPTESTSUPPORT_H

#include "ZipArchive.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

#include "PackError.h"

namespace {

// Record signatures and sizes of the zip format (APPNOTE.TXT).
const uint32_t endOfCentralDirectorySignature = 0x06054b50;
const uint32_t zip64EndLocatorSignature = 0x07064b50;
const uint32_t zip64EndSignature = 0x06064b50;
const uint32_t centralFileHeaderSignature = 0x02014b50;
const uint32_t localFileHeaderSignature = 0x04034b50;
const size_t endOfCentralDirectorySize = 22;
const size_t zip64EndLocatorSize = 20;
const size_t zip64EndSize = 56;
const size_t centralFileHeaderSize = 46;
const size_t localFileHeaderSize = 30;
const size_t maxCommentSize = 0xFFFF;

uint64_t little(std::string_view b, size_t at, size_t width) {
    uint64_t v = 0;
    for (size_t i = width; i-- > 0;) {
        v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
    }
    return v;
}

} // namespace

ZipArchive::ZipArchive(const std::filesystem::path& path, const std::string& what)
    : what(what) {
    // Unbuffered: each read is of exactly what is asked, never a buffer's
    // worth around a class header.
    file.rdbuf()->pubsetbuf(nullptr, 0);
    file.open(path, std::ios::binary);
    std::error_code ec;
    fileSize = std::filesystem::file_size(path, ec);
    if (!file || ec) {
        throw PackError("cannot read " + what);
    }
    readDirectory();
}

ZipArchive::ZipArchive(std::string bytes, const std::string& what) : what(what), whole(std::move(bytes)) {
    fileSize = whole.size();
    loaded = true;
    if (whole.empty()) {
        throw PackError(what + " is empty: it is not a zip archive (a jar is one)");
    }
    readDirectory();
}

std::string_view ZipArchive::viewAt(uint64_t offset, uint64_t size, std::string& storage) const {
    if (offset > fileSize || size > fileSize - offset) {
        throw PackError(what + " is not a valid zip archive: a record lies beyond its end");
    }
    if (loaded.load(std::memory_order_acquire)) {
        return std::string_view(whole).substr(static_cast<size_t>(offset), static_cast<size_t>(size));
    }
    storage = readFile(offset, size);
    return storage;
}

std::string ZipArchive::readFile(uint64_t offset, uint64_t size) const {
    const std::lock_guard<std::mutex> lock(fileLock);
    std::string bytes(static_cast<size_t>(size), '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    if (!file.read(&bytes[0], static_cast<std::streamsize>(size))) {
        throw PackError("cannot read " + what);
    }
    return bytes;
}

void ZipArchive::readDirectory() {
    const uint64_t tailSize = std::min<uint64_t>(fileSize, endOfCentralDirectorySize + maxCommentSize);
    std::string tailBytes, locatorBytes, recordBytes, directoryBytes;
    const std::string_view tail = viewAt(fileSize - tailSize, tailSize, tailBytes);
    size_t end = std::string::npos;
    for (size_t i = tail.size() >= endOfCentralDirectorySize ? tail.size() - endOfCentralDirectorySize + 1 : 0;
         i-- > 0;) {
        if (little(tail, i, 4) == endOfCentralDirectorySignature) {
            end = i;
            break;
        }
    }
    if (end == std::string::npos) {
        throw PackError(what + " is not a zip archive (a jar is one)");
    }
    uint64_t count = little(tail, end + 10, 2);
    uint64_t directorySize = little(tail, end + 12, 4);
    uint64_t directoryOffset = little(tail, end + 16, 4);
    const uint64_t endOffset = fileSize - tailSize + end;
    if ((count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryOffset == 0xFFFFFFFF)
        && endOffset >= zip64EndLocatorSize) {
        const std::string_view locator = viewAt(endOffset - zip64EndLocatorSize, zip64EndLocatorSize,
                                                locatorBytes);
        if (little(locator, 0, 4) == zip64EndLocatorSignature) {
            const std::string_view record = viewAt(little(locator, 8, 8), zip64EndSize, recordBytes);
            if (little(record, 0, 4) != zip64EndSignature) {
                throw PackError(what + " is not a valid zip archive: its zip64 end record is missing");
            }
            count = little(record, 32, 8);
            directorySize = little(record, 40, 8);
            directoryOffset = little(record, 48, 8);
        }
    }
    const std::string_view directory = viewAt(directoryOffset, directorySize, directoryBytes);
    if (count > directory.size() / centralFileHeaderSize) {
        throw PackError(what + " is not a valid zip archive: its directory is cut short");
    }
    size_t at = 0;
    list.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        if (at + centralFileHeaderSize > directory.size()
            || little(directory, at, 4) != centralFileHeaderSignature) {
            throw PackError(what + " is not a valid zip archive: its directory is corrupt");
        }
        Entry e;
        e.method = static_cast<uint16_t>(little(directory, at + 10, 2));
        e.compressedSize = little(directory, at + 20, 4);
        e.size = little(directory, at + 24, 4);
        const size_t nameLength = static_cast<size_t>(little(directory, at + 28, 2));
        const size_t extraLength = static_cast<size_t>(little(directory, at + 30, 2));
        const size_t commentLength = static_cast<size_t>(little(directory, at + 32, 2));
        e.localHeaderOffset = little(directory, at + 42, 4);
        const size_t variable = nameLength + extraLength + commentLength;
        if (at + centralFileHeaderSize + variable > directory.size()) {
            throw PackError(what + " is not a valid zip archive: its directory is corrupt");
        }
        e.name = std::string(directory.substr(at + centralFileHeaderSize, nameLength));
        // Sizes that do not fit 32 bits are in the zip64 extra field, in order.
        size_t extra = at + centralFileHeaderSize + nameLength;
        const size_t extraEnd = extra + extraLength;
        while (extra + 4 <= extraEnd) {
            const uint64_t id = little(directory, extra, 2), length = little(directory, extra + 2, 2);
            size_t field = extra + 4;
            if (id == 0x0001) {
                for (uint64_t* v : {&e.size, &e.compressedSize, &e.localHeaderOffset}) {
                    if (*v == 0xFFFFFFFF && field + 8 <= extraEnd) {
                        *v = little(directory, field, 8);
                        field += 8;
                    }
                }
            }
            extra += 4 + static_cast<size_t>(length);
        }
        list.push_back(std::move(e));
        at += centralFileHeaderSize + variable;
    }
}

const ZipArchive::Entry* ZipArchive::find(const std::string& name) const {
    for (const Entry& e : list) {
        if (e.name == name) {
            return &e;
        }
    }
    return nullptr;
}

std::vector<const ZipArchive::Entry*> ZipArchive::findAll(const std::string& name) const {
    std::vector<const Entry*> found;
    for (const Entry& e : list) {
        if (e.name == name) {
            found.push_back(&e);
        }
    }
    return found;
}

std::string ZipArchive::readWhole(const Entry& entry, size_t limit, const std::string& what) const {
    if (entry.size > limit) {
        throw PackError(what + " claims " + std::to_string(entry.size) + " bytes, more than any real one ("
                        + std::to_string(limit) + " bytes)");
    }
    return read(entry, static_cast<size_t>(entry.size));
}

ZipArchive::Inflater::Inflater() : z(new z_stream()) {
    if (inflateInit2(z.get(), -MAX_WBITS) != Z_OK) {
        throw PackError("cannot set up zlib's inflater");
    }
}

ZipArchive::Inflater::~Inflater() {
    inflateEnd(z.get());
}

std::string ZipArchive::read(const Entry& entry, size_t limit) const {
    if (!ownInflater) {
        ownInflater.reset(new Inflater());
    }
    return read(entry, limit, *ownInflater);
}

void ZipArchive::loadWhole() const {
    const std::lock_guard<std::mutex> lock(loadLock);
    if (fileSize <= maxLoadedSize && !loaded) {
        whole = readFile(0, fileSize);
        loaded.store(true, std::memory_order_release);
    }
}

std::string ZipArchive::read(const Entry& entry, size_t limit, Inflater& inflater) const {
    // One read for the local header and the first of the data: a class
    // header check needs no more. A deflated block's code tables take a few
    // hundred bytes at most. A loaded file is read in place.
    const uint64_t guess = loaded.load(std::memory_order_acquire) ? fileSize
            : localFileHeaderSize + entry.name.size() + 64
              + std::min<uint64_t>(entry.compressedSize, std::min<uint64_t>(limit, 1 << 20) + 384);
    std::string firstStorage, pieceStorage;
    const std::string_view first = viewAt(entry.localHeaderOffset,
                                          std::min(guess, fileSize - std::min(fileSize, entry.localHeaderOffset)),
                                          firstStorage);
    if (first.size() < localFileHeaderSize || little(first, 0, 4) != localFileHeaderSignature) {
        throw PackError(what + " is not a valid zip archive: the entry " + entry.name + " is missing");
    }
    const uint64_t skip = localFileHeaderSize + little(first, 26, 2) + little(first, 28, 2);
    const uint64_t wanted = std::min<uint64_t>(limit, entry.size);
    // The data the first read holds, then more as it is needed.
    const uint64_t dataOffset = entry.localHeaderOffset + skip;
    std::string_view piece = skip < first.size()
            ? first.substr(static_cast<size_t>(skip),
                           static_cast<size_t>(std::min<uint64_t>(first.size() - skip, entry.compressedSize)))
            : std::string_view();
    uint64_t given = piece.size();
    const auto more = [&]() {
        piece = viewAt(dataOffset + given, std::min<uint64_t>(entry.compressedSize - given, 65536), pieceStorage);
        given += piece.size();
    };
    if (entry.method == 0) {
        std::string out(piece.substr(0, static_cast<size_t>(wanted)));
        while (out.size() < wanted && given < entry.compressedSize) {
            more();
            out += piece.substr(0, static_cast<size_t>(wanted - out.size()));
        }
        return out;
    }
    if (entry.method != 8) {
        throw PackError(what + ": the entry " + entry.name + " is compressed in a way the runtime "
                        "cannot read");
    }
    return inflateTo(static_cast<size_t>(wanted), wanted == entry.size, piece, given, entry, more, inflater);
}

template <class More>
std::string ZipArchive::inflateTo(size_t wanted, bool entire, std::string_view& piece, const uint64_t& given,
                                  const Entry& entry, const More& more, Inflater& inflater) const {
    z_stream& z = *inflater.stream();
    inflateReset(&z);
    // Room past the end of a whole entry lets zlib's fast loop decode it to
    // its last byte; what a stream makes beyond its declared size is cut off.
    const size_t slack = entire ? 258 : 0;
    std::string out(wanted + slack, '\0');
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    while (z.avail_out > slack) {
        const int status = ::inflate(&z, Z_NO_FLUSH);
        if (status == Z_STREAM_END) {
            break;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            throw PackError(what + ": the entry " + entry.name + " is corrupt");
        }
        if (z.avail_in > 0 || given >= entry.compressedSize) {
            break;  // no input left to make more of
        }
        more();
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = static_cast<uInt>(piece.size());
    }
    out.resize(std::min(out.size() - z.avail_out, wanted));
    return out;
}

ZipArchive::~ZipArchive() = default;

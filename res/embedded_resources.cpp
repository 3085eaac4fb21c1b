#include "res/embedded_resources.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "res/embedded_table.h"

namespace {

std::uint32_t ReadLe(std::span<const std::uint8_t> bytes, std::size_t at, int count) {
    std::uint32_t v = 0;
    for (int i = count - 1; i >= 0; --i) v = (v << 8) | bytes[at + static_cast<std::size_t>(i)];
    return v;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int count) {
    for (int i = 0; i < count; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

const EmbeddedBitmapEntry* Find(std::uint16_t id) {
    const EmbeddedBitmapEntry* begin = kEmbeddedBitmaps;
    const EmbeddedBitmapEntry* end = kEmbeddedBitmaps + kEmbeddedBitmapCount;
    const EmbeddedBitmapEntry* it =
        std::lower_bound(begin, end, id, [](const EmbeddedBitmapEntry& e, std::uint16_t v) { return e.id < v; });
    return it != end && it->id == id ? it : nullptr;
}

// "bitmaps/bmp140.bmp" -> 140; 0 for anything else.
std::uint16_t BitmapIdFromName(std::string_view name) {
    constexpr std::string_view prefix = "bitmaps/bmp", suffix = ".bmp";
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - suffix.size()) != suffix)
        return 0;
    std::string_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.empty() || digits.size() > 5 || digits[0] == '0') return 0;
    unsigned value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || value > 0xFFFF) return 0;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

bool EmbeddedResourceStore::GetBitmapBytes(std::uint16_t id, std::vector<std::uint8_t>& out) {
    std::span<const std::uint8_t> bytes = EmbeddedBitmap(id);
    if (bytes.empty()) return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

ResourceStore& EmbeddedResources() {
    static EmbeddedResourceStore store;
    return store;
}

void InstallEmbeddedResources() { SetResourceStore(&EmbeddedResources()); }

std::span<const std::uint8_t> EmbeddedBitmap(std::uint16_t id) {
    const EmbeddedBitmapEntry* e = Find(id);
    if (!e) return {};
    return {e->data, *e->size};
}

std::vector<std::uint16_t> EmbeddedBitmapIds() {
    std::vector<std::uint16_t> ids;
    for (std::size_t i = 0; i < kEmbeddedBitmapCount; ++i) ids.push_back(kEmbeddedBitmaps[i].id);
    return ids;
}

std::span<const std::uint8_t> EmbeddedIconFile() { return {scorvane_res_icon, scorvane_res_icon_size}; }

bool GetEmbeddedFile(std::string_view name, std::vector<std::uint8_t>& out) {
    if (name == "vemo.ico") {
        std::span<const std::uint8_t> icon = EmbeddedIconFile();
        out.assign(icon.begin(), icon.end());
        return true;
    }
    std::uint16_t id = BitmapIdFromName(name);
    std::span<const std::uint8_t> dib = id ? EmbeddedBitmap(id) : std::span<const std::uint8_t>{};
    if (dib.size() < 40) return false;
    // The embedded bytes were checked at build time to have their pixels
    // right after the colour table, which is where the rebuilt header points.
    std::uint32_t headerSize = ReadLe(dib, 0, 4);
    std::uint32_t bitCount = ReadLe(dib, 14, 2);
    std::uint32_t colours = ReadLe(dib, 32, 4);
    if (colours == 0 && bitCount <= 8) colours = 1u << bitCount;
    std::vector<std::uint8_t> file;
    file.reserve(14 + dib.size());
    file.push_back('B');
    file.push_back('M');
    PutLe(file, static_cast<std::uint32_t>(14 + dib.size()), 4);
    PutLe(file, 0, 4);
    PutLe(file, 14 + headerSize + 4 * colours, 4);
    file.insert(file.end(), dib.begin(), dib.end());
    out = std::move(file);
    return true;
}

bool GetIconArgb(std::span<const std::uint8_t> icon, int size, std::vector<std::uint32_t>& pixels) {
    if (size <= 0 || size > 256 || icon.size() < 6) return false;
    if (ReadLe(icon, 0, 2) != 0 || ReadLe(icon, 2, 2) != 1) return false;
    const std::size_t count = ReadLe(icon, 4, 2);
    if (icon.size() < 6 + 16 * count) return false;
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t entry = 6 + 16 * n;
        int width = icon[entry] ? icon[entry] : 256;
        int height = icon[entry + 1] ? icon[entry + 1] : 256;
        if (width != size || height != size) continue;
        const std::size_t length = ReadLe(icon, entry + 8, 4);
        const std::size_t offset = ReadLe(icon, entry + 12, 4);
        if (offset > icon.size() || length > icon.size() - offset || length < 40) return false;
        std::span<const std::uint8_t> image = icon.subspan(offset, length);
        const std::size_t headerSize = ReadLe(image, 0, 4);
        const std::int32_t biWidth = static_cast<std::int32_t>(ReadLe(image, 4, 4));
        const std::int32_t biHeight = static_cast<std::int32_t>(ReadLe(image, 8, 4));
        const std::uint32_t bits = ReadLe(image, 14, 2);
        const std::uint32_t compression = ReadLe(image, 16, 4);
        std::size_t colours = ReadLe(image, 32, 4);
        // An icon image's header counts its colour rows and its mask rows.
        if (headerSize < 40 || headerSize > length || biWidth != size || biHeight != 2 * size ||
            compression != 0)
            return false;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 32) return false;
        if (bits <= 8) {
            if (colours == 0 || colours > (1u << bits)) colours = std::size_t{1} << bits;
        } else {
            colours = 0;
        }
        const std::size_t w = static_cast<std::size_t>(size);
        const std::size_t table = headerSize;
        const std::size_t xorRow = (w * bits + 31) / 32 * 4;
        const std::size_t andRow = (w + 31) / 32 * 4;
        const std::size_t xorStart = table + 4 * colours;
        const std::size_t andStart = xorStart + xorRow * w;
        if (andStart + andRow * w > length) return false;
        std::vector<std::uint32_t> out(w * w);
        for (std::size_t y = 0; y < w; ++y) {
            const std::size_t row = w - 1 - y;  // rows are stored bottom-up
            for (std::size_t x = 0; x < w; ++x) {
                std::uint32_t rgb;
                std::uint32_t alpha;
                if (bits == 32) {
                    std::uint32_t v = ReadLe(image, xorStart + row * xorRow + 4 * x, 4);
                    rgb = v & 0xFFFFFF;
                    alpha = v >> 24;
                } else {
                    std::size_t bitPos = x * bits;
                    std::uint32_t byte = image[xorStart + row * xorRow + bitPos / 8];
                    std::uint32_t index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
                    if (index >= colours) return false;
                    std::size_t c = table + 4 * index;
                    rgb = (std::uint32_t{image[c + 2]} << 16) | (std::uint32_t{image[c + 1]} << 8) | image[c];
                    const bool masked = (image[andStart + row * andRow + x / 8] >> (7 - x % 8)) & 1;
                    alpha = masked ? 0 : 255;
                }
                out[y * w + x] = (alpha << 24) | rgb;
            }
        }
        // Old 32-bit icons leave the alpha bytes zero and rely on the mask.
        if (bits == 32 && std::all_of(out.begin(), out.end(), [](std::uint32_t v) { return (v >> 24) == 0; })) {
            for (std::size_t y = 0; y < w; ++y)
                for (std::size_t x = 0; x < w; ++x) {
                    const bool masked = (image[andStart + (w - 1 - y) * andRow + x / 8] >> (7 - x % 8)) & 1;
                    if (!masked) out[y * w + x] |= 0xFF000000u;
                }
        }
        pixels = std::move(out);
        return true;
    }
    return false;
}

bool GetIconArgb(int size, std::vector<std::uint32_t>& pixels) {
    return GetIconArgb(EmbeddedIconFile(), size, pixels);
}

#include "platform/imageio/codecs/Jpeg2000Boxes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/imageio/HeaderRangeReader.h"
#include "platform/imageio/codecs/IsoBoxes.h"

namespace pellora {
namespace {

// The JPEG 2000 standard numbers tiles 0 to 65534.
constexpr std::uint64_t kMaxTiles = 65535;
// Csiz is at most 16384; we decode at most five channels, and a few more
// (unused) ones are all a real file carries.
constexpr std::size_t kMaxComponents = 64;

void putBe16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(std::uint8_t(value >> 8));
    out.push_back(std::uint8_t(value));
}
void putBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    putBe16(out, value >> 16);
    putBe16(out, value & 0xffff);
}

struct Box {
    std::uint32_t type = 0;
    std::size_t start = 0;       // of the box header
    std::span<const std::uint8_t> content;
};

// The box at offset, or nullopt when its header or length is broken. A
// codestream box may be cut short (a truncated file): its content is what is there.
std::optional<Box> boxAt(std::span<const std::uint8_t> data, std::size_t offset) {
    if (offset > data.size()) return std::nullopt;
    const auto header = parseBoxHeader(data.subspan(offset), offset, data.size());
    if (!header) return std::nullopt;
    std::uint64_t end = header->end;
    if (end > data.size()) {
        if (header->type != fourCC("jp2c")) return std::nullopt;
        end = data.size();
    }
    const auto contentStart = static_cast<std::size_t>(header->contentStart);
    return Box{header->type, offset, data.subspan(contentStart, static_cast<std::size_t>(end) - contentStart)};
}

// Grid points per metre of a resc or resd box, as dots per inch.
bool readResolutionBox(std::span<const std::uint8_t> c, double& dpiWidth, double& dpiHeight) {
    if (c.size() < 10) return false;
    const double vn = be16(&c[0]), vd = be16(&c[2]), hn = be16(&c[4]), hd = be16(&c[6]);
    const auto ve = static_cast<std::int8_t>(c[8]);
    const auto he = static_cast<std::int8_t>(c[9]);
    if (vn == 0 || vd == 0 || hn == 0 || hd == 0) return false;
    dpiHeight = vn / vd * std::pow(10.0, ve) * 0.0254;
    dpiWidth = hn / hd * std::pow(10.0, he) * 0.0254;
    return std::isfinite(dpiWidth) && std::isfinite(dpiHeight);
}

void readHeaderBox(std::span<const std::uint8_t> content, Jpeg2000Info& info) {
    bool sawColour = false;
    for (std::size_t offset = 0; offset < content.size();) {
        const auto box = boxAt(content, offset);
        if (!box) break;
        offset += (box->content.data() - (content.data() + offset)) + box->content.size();
        const auto c = box->content;
        if (box->type == fourCC("colr") && !sawColour && c.size() >= 3) {
            sawColour = true;  // readers use the first colour specification
            const std::uint8_t method = c[0];
            if (method == 1 && c.size() >= 7) {
                switch (be32(&c[3])) {
                case 16: info.colour = Jpeg2000Colour::SRGB; break;
                case 17: info.colour = Jpeg2000Colour::Gray; break;
                case 18: info.colour = Jpeg2000Colour::SYCC; break;
                case 12: info.colour = Jpeg2000Colour::CMYK; break;
                default: info.colour = Jpeg2000Colour::Unsupported; break;
                }
            } else if (method == 2 || method == 3) {
                info.iccProfile.assign(c.begin() + 3, c.end());
            }
        } else if (box->type == fourCC("pclr") && c.size() >= 3) {
            info.paletteColumns = c[2];
        } else if (box->type == fourCC("res ")) {
            // The display resolution wins over the capture resolution.
            bool sawDisplay = false;
            for (std::size_t inner = 0; inner < c.size();) {
                const auto child = boxAt(c, inner);
                if (!child) break;
                inner += (child->content.data() - (c.data() + inner)) + child->content.size();
                const bool display = child->type == fourCC("resd");
                if ((display || (child->type == fourCC("resc") && !sawDisplay)) &&
                    readResolutionBox(child->content, info.dpiWidth, info.dpiHeight)) {
                    info.hasResolution = true;
                    sawDisplay = sawDisplay || display;
                }
            }
        }
    }
}

bool readSiz(std::span<const std::uint8_t> cs, Jpeg2000Info& info, std::string& why) {
    if (cs.size() < 6 || be16(&cs[0]) != 0xff4f || be16(&cs[2]) != 0xff51) {
        why = "the codestream does not start with SOC and SIZ";
        return false;
    }
    const std::size_t length = be16(&cs[4]);
    if (length < 41 || cs.size() < 4 + length) {
        why = "truncated SIZ marker";
        return false;
    }
    const std::uint8_t* p = cs.data() + 4;
    const std::uint32_t xsiz = be32(p + 4), ysiz = be32(p + 8), xo = be32(p + 12), yo = be32(p + 16);
    const std::uint32_t xt = be32(p + 20), yt = be32(p + 24), xto = be32(p + 28), yto = be32(p + 32);
    const std::size_t count = be16(p + 36);
    if (count == 0 || length != 38 + 3 * count) {
        why = "invalid component count in SIZ";
        return false;
    }
    if (count > kMaxComponents) {
        why = std::to_string(count) + " components are not supported";
        return false;
    }
    if (xsiz <= xo || ysiz <= yo || xt == 0 || yt == 0 || xto > xo || yto > yo ||
        std::uint64_t(xto) + xt <= xo || std::uint64_t(yto) + yt <= yo) {
        why = "invalid image or tile geometry in SIZ";
        return false;
    }
    info.x0 = xo;
    info.y0 = yo;
    info.x1 = xsiz;
    info.y1 = ysiz;
    info.tileCount = ((std::uint64_t(xsiz) - xto + xt - 1) / xt) * ((std::uint64_t(ysiz) - yto + yt - 1) / yt);
    if (info.tileCount > kMaxTiles) {
        why = "too many tiles (" + std::to_string(info.tileCount) + ")";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* c = p + 38 + 3 * i;
        Jpeg2000Component component{(c[0] & 0x7f) + 1, (c[0] & 0x80) != 0, c[1], c[2]};
        if (component.precision > 38 || component.dx == 0 || component.dy == 0) {
            why = "invalid component in SIZ";
            return false;
        }
        info.components.push_back(component);
    }
    return true;
}

// Real files hold a handful of top-level boxes; more is not a JP2 file we read in parts.
constexpr std::size_t kMaxTopLevelBoxes = 1024;
// Markers: start of codestream, of tile-part, of data; end of codestream.
constexpr std::uint16_t kSoc = 0xff4f, kSot = 0xff90, kSod = 0xff93, kEoc = 0xffd9;
// The SOT marker segment, which OpenJPEG reads the start of after the main header.
constexpr std::uint64_t kSotSegment = 12;
constexpr std::size_t kFirstChunk = 512;
constexpr std::size_t kLargestChunk = std::size_t{1} << 20;

// The codestream in [start, end) read through a reader in growing chunks,
// from its start on, as far as its marker segments are walked.
class CodestreamPrefix {
public:
    CodestreamPrefix(HeaderRangeReader& reader, std::uint64_t start, std::uint64_t end)
        : _reader(reader), _start(start), _end(end) {}

    // Reads up to `length` bytes from the codestream's start (clipped to its
    // end); false when that leaves fewer than `needed` of them or a read fails.
    bool readTo(std::uint64_t length, std::uint64_t needed) {
        length = std::min(length, _end - _start);
        if (length < needed) return false;
        while (_bytes.size() < length) {
            const std::uint64_t chunk = std::min<std::uint64_t>(
                std::max<std::uint64_t>(_chunk, length - _bytes.size()), _end - _start - _bytes.size());
            const auto got = _reader.read(_start + _bytes.size(), static_cast<std::size_t>(chunk));
            if (got.size() != chunk) return false;
            _bytes.insert(_bytes.end(), got.begin(), got.end());
            _chunk = std::min(_chunk * 2, kLargestChunk);
        }
        return true;
    }
    std::uint16_t at(std::uint64_t offset) const { return be16(_bytes.data() + offset); }

private:
    HeaderRangeReader& _reader;
    std::uint64_t _start;
    std::uint64_t _end;
    std::vector<std::uint8_t> _bytes;
    std::size_t _chunk = kFirstChunk;
};

// Reads the main header of the codestream in [start, end): SOC, then marker
// segments up to the first SOT segment, which is read too.
bool readMainHeaderRanges(HeaderRangeReader& reader, std::uint64_t start, std::uint64_t end) {
    CodestreamPrefix codestream(reader, start, end);
    if (!codestream.readTo(2, 2) || codestream.at(0) != kSoc) return false;
    // Every step moves on by at least four bytes, within the codestream.
    for (std::uint64_t at = 2;;) {
        if (!codestream.readTo(at + 4, at + 4)) return false;
        const std::uint16_t marker = codestream.at(at);
        if (marker == kSot) return codestream.readTo(at + kSotSegment, at + 4);
        // Only marker segments with a length belong in the main header.
        if (marker < 0xff02 || marker == kSoc || marker == kSod || marker == kEoc) return false;
        const std::uint16_t length = codestream.at(at + 2);
        if (length < 2) return false;
        at += 2 + length;
    }
}

bool readJp2BoxRanges(HeaderRangeReader& reader) {
    const std::uint64_t fileSize = reader.fileSize();
    std::uint64_t at = 0;
    for (std::size_t count = 0; at < fileSize; ++count) {
        const auto box = readBoxHeader(reader, at, fileSize);
        if (!box || count >= kMaxTopLevelBoxes) return false;
        if (count == 0 && box->type != fourCC("jP  ")) return false;
        if (box->type == fourCC("jp2c")) {
            // A codestream cut short by the file's end is still read from.
            if (!readMainHeaderRanges(reader, box->contentStart, std::min(box->end, fileSize))) return false;
        } else {
            if (box->end > fileSize || box->contentSize() > std::numeric_limits<std::size_t>::max()) return false;
            const auto size = static_cast<std::size_t>(box->contentSize());
            if (size > 0 && reader.read(box->contentStart, size).size() != size) return false;
        }
        at = box->end;
    }
    return true;
}

} // namespace

std::optional<Jpeg2000Info> readJpeg2000Info(std::span<const std::uint8_t> data, std::string& why) {
    Jpeg2000Info info;
    if (data.size() >= 2 && be16(data.data()) == 0xff4f) {
        if (!readSiz(data, info, why)) return std::nullopt;
        return info;
    }
    info.isJp2 = true;
    const auto signature = boxAt(data, 0);
    if (!signature || signature->type != fourCC("jP  ") || signature->content.size() != 4 ||
        be32(signature->content.data()) != 0x0d0a870a) {
        why = "not a JPEG 2000 file";
        return std::nullopt;
    }
    for (std::size_t offset = 0; offset < data.size();) {
        const auto box = boxAt(data, offset);
        if (!box) break;
        if (box->type == fourCC("jp2h")) readHeaderBox(box->content, info);
        if (box->type == fourCC("jp2c")) {
            if (!readSiz(box->content, info, why)) return std::nullopt;
            return info;
        }
        offset = static_cast<std::size_t>(box->content.data() - data.data()) + box->content.size();
    }
    why = "no codestream box";
    return std::nullopt;
}

bool addDisplayResolution(std::vector<std::uint8_t>& jp2, double dpi) {
    // Grid points per metre = N / D × 10^E. With D = 127, N × 10^E = dpi × 5000
    // exactly, so common resolutions (72, 96, 300 dpi) are stored without rounding.
    const double target = dpi * 5000.0;
    int exponent = 0;
    while (target / std::pow(10.0, exponent) > 65535.0 && exponent < 127) ++exponent;
    while (target / std::pow(10.0, exponent - 1) <= 65535.0 && exponent > -127) --exponent;
    const auto numerator = static_cast<unsigned>(std::lround(target / std::pow(10.0, exponent)));
    if (numerator == 0 || numerator > 65535) return false;

    const std::span<const std::uint8_t> data(jp2);
    for (std::size_t offset = 0; offset < data.size();) {
        const auto box = boxAt(data, offset);
        if (!box) return false;
        const std::size_t end = static_cast<std::size_t>(box->content.data() - data.data()) + box->content.size();
        if (box->type == fourCC("jp2h") && box->content.data() - data.data() == std::ptrdiff_t(offset + 8)) {
            std::vector<std::uint8_t> resolution;
            putBe32(resolution, 8 + 18);
            putBe32(resolution, fourCC("res "));
            putBe32(resolution, 18);
            putBe32(resolution, fourCC("resd"));
            for (int i = 0; i < 2; ++i) {  // vertical, then horizontal
                putBe16(resolution, numerator);
                putBe16(resolution, 127);
            }
            resolution.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(exponent)));
            resolution.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(exponent)));

            std::vector<std::uint8_t> out(jp2.begin(), jp2.begin() + static_cast<std::ptrdiff_t>(offset));
            putBe32(out, static_cast<std::uint32_t>(end - offset + resolution.size()));
            out.insert(out.end(), jp2.begin() + static_cast<std::ptrdiff_t>(offset + 4),
                       jp2.begin() + static_cast<std::ptrdiff_t>(end));
            out.insert(out.end(), resolution.begin(), resolution.end());
            out.insert(out.end(), jp2.begin() + static_cast<std::ptrdiff_t>(end), jp2.end());
            jp2 = std::move(out);
            return true;
        }
        offset = end;
    }
    return false;
}

bool readJpeg2000HeaderRanges(HeaderRangeReader& reader) {
    const auto head = reader.read(0, 2);
    if (head.size() == 2 && be16(head.data()) == kSoc) return readMainHeaderRanges(reader, 0, reader.fileSize());
    return readJp2BoxRanges(reader);
}

} // namespace pellora

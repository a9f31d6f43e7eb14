// Windows bitmap (DIB) decoding.  The file is mapped read-only; its header
// and colour table are rewritten into one normalised 40-byte description,
// the pixel data are converted into a 24-bit blue-green-red image with rows
// padded to 4 bytes, and that image is copied out red first without padding.
//
// Files are untrusted: every read is checked against the file's real length,
// sizes are computed in 64 bits, and nothing is allocated from a header field
// before the file has been shown to hold the data that field describes.
// Run-length data can describe many pixels in a few bytes, so the picture's
// size is also bounded by a pixel count (DIB_MAX_PIXELS) before any
// allocation.
#include "assets/bmp_decoder.h"
#include "assets/bmp_decoder_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/msgbox.h"

namespace {

// The decoder's messages, shown in an "Error" box.
const char MSG_OPEN_FAILED[] = "Failed to open DIB file %s.\n";
const char* const MSG_OUT_OF_MEMORY = "Out of memory.";
const char* const MSG_UNKNOWN_FORMAT = "Unknown DIB file format.";
const char* const MSG_CONVERSION = "Image file conversion error.";
const char* const MSG_CAPTION = "Error";

// File header: "BM", then the pixel-data offset at byte 10.
constexpr uint64_t FILE_HEADER_SIZE = 14;
constexpr uint64_t FILE_PIXEL_OFFSET = 10;

// The two DIB header versions accepted.
constexpr uint32_t INFO_HEADER_SIZE = 40;
constexpr uint32_t CORE_HEADER_SIZE = 12;

// Field offsets of the 40-byte header (also the normalised description).
enum InfoField : uint32_t {
    INFO_SIZE = 0,
    INFO_WIDTH = 4,
    INFO_HEIGHT = 8,
    INFO_PLANES = 12,
    INFO_BIT_COUNT = 14,
    INFO_COMPRESSION = 16,
    INFO_SIZE_IMAGE = 20,
    INFO_X_RESOLUTION = 24,
    INFO_Y_RESOLUTION = 28,
    INFO_COLOURS_USED = 32,
    INFO_COLOURS_IMPORTANT = 36,
};

// Field offsets of the 12-byte core header.
enum CoreField : uint32_t {
    CORE_WIDTH = 4,
    CORE_HEIGHT = 6,
    CORE_PLANES = 8,
    CORE_BIT_COUNT = 10,
};

// Compression values the conversion renders.
enum DibCompression : uint32_t { DIB_RGB = 0, DIB_RLE8 = 1, DIB_RLE4 = 2 };

// Colour-table entry sizes: 4 bytes after a 40-byte header, 3 after a 12-byte one.
constexpr uint64_t INFO_ENTRY_SIZE = 4;
constexpr uint64_t CORE_ENTRY_SIZE = 3;

// Size of a description without its colour table: the header plus one spare entry.
constexpr uint64_t DESCRIPTION_BASE = INFO_HEADER_SIZE + INFO_ENTRY_SIZE;

// Escape codes of run-length data (after a zero count byte).
enum RleEscape : uint8_t { RLE_END_OF_LINE = 0, RLE_END_OF_BITMAP = 1, RLE_DELTA = 2 };

// The colour of a palette index beyond the table.
const uint8_t BLACK_ENTRY[4] = {0, 0, 0, 0};

uint16_t read_u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t read_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int32_t read_s32(const uint8_t* p) {
    return static_cast<int32_t>(read_u32(p));
}

void write_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void write_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void write_s32(uint8_t* p, int32_t v) {
    write_u32(p, static_cast<uint32_t>(v));
}

// The bytes of one mapped file.
struct DibFile {
    const uint8_t* bytes;
    uint64_t size;
};

// True when `length` bytes from `offset` lie inside the file.
bool file_holds(const DibFile& file, uint64_t offset, uint64_t length) {
    return offset <= file.size && length <= file.size - offset;
}

// Everything one decode has obtained; released in reverse order of making.
struct DibDecode {
    DibFile file;
    uint64_t header;             // where the DIB header starts
    uint64_t pixels;             // where the pixel data start
    bool pixels_known;           // set by the file header's offset
    uint16_t colour_count;       // entries of the colour table
    uint8_t* description;        // normalised description
    uint8_t* target_description; // the 24-bit target's header (zero-filled)
    uint8_t* target;             // 24-bit blue-green-red rows, padded to 4 bytes
    uint8_t* output;             // red-green-blue rows without padding
    RgbImage* record;
};

void show_error(const char* text) {
    msgbox_show(text, MSG_CAPTION, MSGBOX_OK, MSGBOX_ICON_NONE, /*owned_by_focus*/ true);
}

// The padded bytes of one target row: 3 bytes per pixel plus (width AND 3).
uint64_t target_stride(int32_t width) {
    return 3 * static_cast<uint64_t>(width) + (static_cast<uint64_t>(width) & 3);
}

// With a file header the DIB header follows it and the pixel data are at
// its stated offset.  False when a "BM" file is too short for it.
bool locate_header(DibDecode* d) {
    const DibFile& f = d->file;
    if (f.size < 2 || f.bytes[0] != 'B' || f.bytes[1] != 'M') return true;
    if (!file_holds(f, 0, FILE_HEADER_SIZE)) return false;
    d->pixels = read_u32(f.bytes + FILE_PIXEL_OFFSET);
    d->pixels_known = true;
    d->header = FILE_HEADER_SIZE;
    return true;
}

// Width and height as the header states them (the core header's are
// unsigned 16-bit).
void header_dimensions(const uint8_t* h, int32_t* width, int32_t* height) {
    if (read_u32(h + INFO_SIZE) == CORE_HEADER_SIZE) {
        *width = read_u16(h + CORE_WIDTH);
        *height = read_u16(h + CORE_HEIGHT);
    } else {
        *width = read_s32(h + INFO_WIDTH);
        *height = read_s32(h + INFO_HEIGHT);
    }
}

// Checks made before anything is allocated: the header lies in the file and
// has a known size, the picture is bottom-up, within `max_edge` and within
// DIB_MAX_PIXELS (run-length data need not hold a byte per pixel, so the
// file's length alone does not bound the picture), and the colour table
// lies in the file.  Returns the message to show, or null.
const char* check_header(DibDecode* d, int32_t max_edge) {
    if (!file_holds(d->file, d->header, 4)) return MSG_CONVERSION;
    const uint8_t* h = d->file.bytes + d->header;
    uint32_t header_size = read_u32(h + INFO_SIZE);
    if (header_size != INFO_HEADER_SIZE && header_size != CORE_HEADER_SIZE)
        return MSG_UNKNOWN_FORMAT;
    if (!file_holds(d->file, d->header, header_size)) return MSG_CONVERSION;
    int32_t width = 0;
    int32_t height = 0;
    header_dimensions(h, &width, &height);
    // A negative height is a top-down picture, a zero one has no rows.
    if (width <= 0 || height <= 0 || width > max_edge || height > max_edge) return MSG_CONVERSION;
    if (static_cast<int64_t>(width) * height > DIB_MAX_PIXELS) return MSG_CONVERSION;
    uint64_t entry_size = header_size == CORE_HEADER_SIZE ? CORE_ENTRY_SIZE : INFO_ENTRY_SIZE;
    uint64_t table_size = entry_size * dib_colour_count(h);
    if (!file_holds(d->file, d->header + header_size, table_size)) return MSG_CONVERSION;
    return nullptr;
}

// The normalised description of a 12-byte header: widened into a 40-byte
// one, each 3-byte colour entry given a zero fourth byte.
void normalise_core_header(DibDecode* d) {
    const uint8_t* h = d->file.bytes + d->header;
    uint8_t* n = d->description;
    write_u32(n + INFO_SIZE, INFO_HEADER_SIZE);
    write_s32(n + INFO_WIDTH, read_u16(h + CORE_WIDTH));
    write_s32(n + INFO_HEIGHT, read_u16(h + CORE_HEIGHT));
    write_u16(n + INFO_PLANES, read_u16(h + CORE_PLANES));
    write_u16(n + INFO_BIT_COUNT, read_u16(h + CORE_BIT_COUNT));
    write_u32(n + INFO_COMPRESSION, DIB_RGB);
    write_u32(n + INFO_SIZE_IMAGE, 0);
    write_s32(n + INFO_X_RESOLUTION, 0);
    write_s32(n + INFO_Y_RESOLUTION, 0);
    write_u32(n + INFO_COLOURS_USED, d->colour_count);
    write_u32(n + INFO_COLOURS_IMPORTANT, d->colour_count);
    const uint8_t* entries = h + CORE_HEADER_SIZE;
    for (uint32_t i = 0; i < d->colour_count; ++i) {
        memcpy(n + INFO_HEADER_SIZE + INFO_ENTRY_SIZE * i, entries + CORE_ENTRY_SIZE * i, 3);
        n[INFO_HEADER_SIZE + INFO_ENTRY_SIZE * i + 3] = 0;
    }
    if (!d->pixels_known)
        d->pixels = d->header + CORE_HEADER_SIZE + CORE_ENTRY_SIZE * d->colour_count;
}

// The normalised description of a 40-byte header: header and colour table
// copied as they are.
void normalise_info_header(DibDecode* d) {
    uint64_t length = INFO_HEADER_SIZE + INFO_ENTRY_SIZE * d->colour_count;
    memcpy(d->description, d->file.bytes + d->header, length);
    if (!d->pixels_known) d->pixels = d->header + length;
}

// Fills in what a header may leave as 0: an image size of 0 becomes the
// unpadded size, a colours-used field of 0 the colour count.
void fill_in_description(DibDecode* d) {
    uint8_t* n = d->description;
    if (read_u32(n + INFO_SIZE_IMAGE) == 0) {
        uint64_t bits = read_u16(n + INFO_BIT_COUNT);
        uint64_t width = static_cast<uint32_t>(read_s32(n + INFO_WIDTH));
        uint64_t height = static_cast<uint32_t>(read_s32(n + INFO_HEIGHT));
        write_u32(n + INFO_SIZE_IMAGE, static_cast<uint32_t>((bits * width + 7) / 8 * height));
    }
    if (read_u32(n + INFO_COLOURS_USED) == 0) write_u32(n + INFO_COLOURS_USED, d->colour_count);
}

// ---------------------------------------------------------------------------
// The conversion: renders the source pixel data, as the normalised
// description states them, into the 24-bit target.

// What the conversion needs to know of the source.
struct DibSource {
    int32_t width;
    int32_t height;
    uint16_t bits;
    uint32_t compression;
    const uint8_t* table; // 4-byte blue, green, red, spare entries
    uint32_t table_count;
    const uint8_t* data; // pixel data up to the end of the file
    uint64_t data_size;
};

DibSource describe_source(const DibDecode& d) {
    const uint8_t* n = d.description;
    DibSource s{};
    s.width = read_s32(n + INFO_WIDTH);
    s.height = read_s32(n + INFO_HEIGHT);
    s.bits = read_u16(n + INFO_BIT_COUNT);
    s.compression = read_u32(n + INFO_COMPRESSION);
    s.table = n + INFO_HEADER_SIZE;
    s.table_count = d.colour_count;
    bool inside = d.pixels <= d.file.size;
    s.data = inside ? d.file.bytes + d.pixels : nullptr;
    s.data_size = inside ? d.file.size - d.pixels : 0;
    return s;
}

// Bytes of one uncompressed source row, padded to 4 bytes.
uint64_t source_stride(const DibSource& s) {
    return (static_cast<uint64_t>(s.width) * s.bits + 31) / 32 * 4;
}

// True when the conversion can render this source: a known bit depth and
// compression, and uncompressed pixel data wholly inside the file.
bool conversion_accepts(const DibSource& s) {
    if (!s.data) return false;
    switch (s.compression) {
    case DIB_RGB:
        if (s.bits != 1 && s.bits != 4 && s.bits != 8 && s.bits != 16 && s.bits != 24 &&
            s.bits != 32)
            return false;
        return source_stride(s) * static_cast<uint64_t>(s.height) <= s.data_size;
    case DIB_RLE8:
        return s.bits == 8;
    case DIB_RLE4:
        return s.bits == 4;
    default: // bit fields and embedded JPEG or PNG are not rendered
        return false;
    }
}

// The 24-bit target image and its geometry.
struct DibTarget {
    uint8_t* bytes;
    int32_t width;
    int32_t height;
    uint64_t stride;
};

void put_colour(const DibTarget& t, int64_t x, int64_t y, const uint8_t* bgr) {
    if (x < 0 || y < 0 || x >= t.width || y >= t.height) return;
    uint8_t* p = t.bytes + static_cast<uint64_t>(y) * t.stride + 3 * static_cast<uint64_t>(x);
    p[0] = bgr[0];
    p[1] = bgr[1];
    p[2] = bgr[2];
}

void put_index(const DibSource& s, const DibTarget& t, int64_t x, int64_t y, uint32_t index) {
    put_colour(t, x, y, index < s.table_count ? s.table + INFO_ENTRY_SIZE * index : BLACK_ENTRY);
}

// One 5-bit channel scaled to 0..255, rounded to nearest.
uint8_t scale_5bit(uint32_t c) {
    return static_cast<uint8_t>((c * 255 + 15) / 31);
}

void convert_pixel(const DibSource& s, const DibTarget& t, const uint8_t* row, int32_t x,
                   int32_t y) {
    uint64_t ux = static_cast<uint64_t>(x);
    switch (s.bits) {
    case 1:
        put_index(s, t, x, y, (row[ux >> 3] >> (7 - (ux & 7))) & 1);
        break;
    case 4:
        put_index(s, t, x, y, (row[ux >> 1] >> ((ux & 1) ? 0 : 4)) & 15);
        break;
    case 8:
        put_index(s, t, x, y, row[ux]);
        break;
    case 16: {
        uint32_t v = read_u16(row + 2 * ux);
        uint8_t bgr[3] = {scale_5bit(v & 31), scale_5bit((v >> 5) & 31),
                          scale_5bit((v >> 10) & 31)};
        put_colour(t, x, y, bgr);
        break;
    }
    default: // 24 and 32 bits: blue, green, red (and a spare byte)
        put_colour(t, x, y, row + (s.bits / 8) * ux);
        break;
    }
}

// Uncompressed rows; conversion_accepts has checked they are in the file.
int32_t convert_uncompressed(const DibSource& s, const DibTarget& t) {
    uint64_t stride = source_stride(s);
    for (int32_t y = 0; y < s.height; ++y) {
        const uint8_t* row = s.data + stride * static_cast<uint64_t>(y);
        for (int32_t x = 0; x < s.width; ++x)
            convert_pixel(s, t, row, x, y);
    }
    return s.height;
}

// Colour index `i` of a run: RLE8 repeats the byte, RLE4 alternates its
// high and low nibble.
uint32_t run_index(uint16_t bits, uint8_t value, uint32_t i) {
    if (bits == 8) return value;
    return (i & 1) ? (value & 15u) : (value >> 4);
}

// Index `i` of an absolute run that starts at `p`.
uint32_t absolute_index(uint16_t bits, const uint8_t* p, uint32_t i) {
    if (bits == 8) return p[i];
    return run_index(4, p[i / 2], i);
}

// Run-length data (RLE8 or RLE4).  Runs and deltas that leave the image
// draw nothing outside it; pixels never drawn keep the target's black.
// Renders all rows when the end-of-bitmap code is reached, none when the
// data end first.
int32_t convert_rle(const DibSource& s, const DibTarget& t) {
    uint64_t pos = 0;
    int64_t x = 0;
    int64_t y = 0;
    while (s.data_size - pos >= 2) {
        uint8_t count = s.data[pos];
        uint8_t code = s.data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (uint32_t i = 0; i < count; ++i)
                put_index(s, t, x + i, y, run_index(s.bits, code, i));
            x += count;
            continue;
        }
        if (code == RLE_END_OF_BITMAP) return s.height;
        if (code == RLE_END_OF_LINE) {
            x = 0;
            ++y;
        } else if (code == RLE_DELTA) {
            if (s.data_size - pos < 2) return 0;
            x += s.data[pos];
            y += s.data[pos + 1];
            pos += 2;
        } else {
            uint64_t bytes = s.bits == 8 ? code : (code + 1u) / 2;
            bytes += bytes & 1; // absolute runs are padded to 16 bits
            if (s.data_size - pos < bytes) return 0;
            for (uint32_t i = 0; i < code; ++i, ++x)
                put_index(s, t, x, y, absolute_index(s.bits, s.data + pos, i));
            pos += bytes;
        }
    }
    return 0;
}

// Renders the source into the target; returns the rows rendered, 0 on failure.
int32_t convert_rows(const DibSource& s, const DibTarget& t) {
    if (s.compression == DIB_RGB) return convert_uncompressed(s, t);
    return convert_rle(s, t);
}

// ---------------------------------------------------------------------------

// The target's description and its zero-filled image memory.
bool make_target(DibDecode* d) {
    const uint8_t* n = d->description;
    int32_t width = read_s32(n + INFO_WIDTH);
    int32_t height = read_s32(n + INFO_HEIGHT);
    d->target_description = static_cast<uint8_t*>(calloc(1, DESCRIPTION_BASE));
    if (!d->target_description) return false;
    uint8_t* td = d->target_description;
    uint64_t rows = static_cast<uint64_t>(height < 0 ? -static_cast<int64_t>(height) : height);
    write_u32(td + INFO_SIZE, INFO_HEADER_SIZE);
    write_s32(td + INFO_WIDTH, width);
    write_s32(td + INFO_HEIGHT, height);
    write_u16(td + INFO_PLANES, 1);
    write_u16(td + INFO_BIT_COUNT, 24);
    write_u32(td + INFO_COMPRESSION, DIB_RGB);
    write_u32(td + INFO_SIZE_IMAGE, static_cast<uint32_t>(rows * static_cast<uint64_t>(width) * 3));
    d->target = static_cast<uint8_t*>(calloc(rows, target_stride(width)));
    return d->target != nullptr;
}

DibTarget describe_target(const DibDecode& d) {
    const uint8_t* td = d.target_description;
    DibTarget t{d.target, read_s32(td + INFO_WIDTH), read_s32(td + INFO_HEIGHT), 0};
    t.stride = target_stride(t.width);
    return t;
}

// Copies the target out red first, dropping each row's padding.
bool copy_out(DibDecode* d) {
    DibTarget t = describe_target(*d);
    uint64_t rows = t.height > 0 ? static_cast<uint64_t>(t.height) : 0;
    uint64_t width = t.width > 0 ? static_cast<uint64_t>(t.width) : 0;
    d->output = static_cast<uint8_t*>(malloc(rows * width * 3));
    if (!d->output) return false;
    const uint8_t* src = t.bytes;
    uint8_t* dst = d->output;
    for (uint64_t y = 0; y < rows; ++y) {
        for (uint64_t x = 0; x < width; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
        src += width & 3;
    }
    return true;
}

// Decodes a mapped file: locate and check the header, normalise it with
// its colour table into one description, convert the pixel data into the
// 24-bit target, copy that out without padding and wrap it in a record.
// Returns the message to show, or null when d->record holds the picture.
const char* decode_mapped(DibDecode* d, int32_t max_edge) {
    if (!locate_header(d)) return MSG_CONVERSION;
    if (const char* rejected = check_header(d, max_edge)) return rejected;
    const uint8_t* h = d->file.bytes + d->header;
    d->colour_count = dib_colour_count(h);
    d->description =
        static_cast<uint8_t*>(malloc(DESCRIPTION_BASE + INFO_ENTRY_SIZE * d->colour_count));
    if (!d->description) return MSG_OUT_OF_MEMORY;
    if (read_u32(h + INFO_SIZE) == CORE_HEADER_SIZE)
        normalise_core_header(d);
    else
        normalise_info_header(d);
    fill_in_description(d);
    DibSource source = describe_source(*d);
    if (!conversion_accepts(source)) return MSG_CONVERSION;
    if (!make_target(d)) return MSG_OUT_OF_MEMORY;
    if (convert_rows(source, describe_target(*d)) == 0) return MSG_CONVERSION;
    if (!copy_out(d)) return MSG_OUT_OF_MEMORY;
    d->record = static_cast<RgbImage*>(malloc(sizeof(RgbImage)));
    if (!d->record) return MSG_OUT_OF_MEMORY;
    DibTarget t = describe_target(*d);
    *d->record = RgbImage{t.width, t.height, d->output};
    return nullptr;
}

// Releases the decode's own allocations: the target image, its
// description, the normalised description, and the output buffer when no
// record took it.
void release_decode(DibDecode* d) {
    free(d->target);
    free(d->target_description);
    free(d->description);
    if (!d->record) free(d->output);
}

// A file mapped read-only as a whole.
struct DibMapping {
    int fd;
    void* view;
    uint64_t size;
};

// Opens the file and maps all of it.  An empty file cannot be mapped.
bool map_file(const char* path, DibMapping* m) {
    char resolved[4096];
    if (!path || !files_resolve(path, resolved, sizeof resolved)) return false;
    m->fd = open(resolved, O_RDONLY | O_CLOEXEC);
    if (m->fd < 0) return false;
    struct stat st;
    if (fstat(m->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return false;
    m->size = static_cast<uint64_t>(st.st_size);
    void* view = mmap(nullptr, m->size, PROT_READ, MAP_PRIVATE, m->fd, 0);
    if (view == MAP_FAILED) return false;
    m->view = view;
    return true;
}

// Releases the file: the view, then the file handle.
void unmap_file(DibMapping* m) {
    if (m->view) munmap(m->view, m->size);
    if (m->fd >= 0) close(m->fd);
}

} // namespace

uint16_t dib_colour_count(const uint8_t* header) {
    uint16_t bits;
    if (read_u32(header + INFO_SIZE) == CORE_HEADER_SIZE) {
        bits = read_u16(header + CORE_BIT_COUNT);
    } else {
        uint32_t used = read_u32(header + INFO_COLOURS_USED);
        if (used != 0) return static_cast<uint16_t>(used);
        bits = read_u16(header + INFO_BIT_COUNT);
    }
    switch (bits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

RgbImage* decode_dib_memory(const uint8_t* file, uint64_t size, int32_t max_edge) {
    DibDecode d{};
    d.file = DibFile{file, file ? size : 0};
    if (const char* message = decode_mapped(&d, max_edge)) show_error(message);
    release_decode(&d);
    return d.record;
}

RgbImage* decode_dib_file(const char* path) {
    DibMapping m{-1, nullptr, 0};
    RgbImage* image = nullptr;
    bool mapped = map_file(path, &m);
    if (mapped)
        image = decode_dib_memory(static_cast<const uint8_t*>(m.view), m.size, DIB_MAX_EDGE);
    unmap_file(&m);
    if (!mapped) {
        char text[4200];
        snprintf(text, sizeof text, MSG_OPEN_FAILED, path ? path : "");
        show_error(text);
    }
    return image;
}

void rgb_image_free(RgbImage* image) {
    if (!image) return;
    free(image->pixels);
    free(image);
}

// Builds a valid DICOM file from the input (size, transfer syntax, frames, pixel representation,
// pixels, and private elements and sequences before Pixel Data whose values may hold any bytes,
// tag patterns included), reads it and checks that the data set walk gives back exactly the size
// and first-frame pixels that were written, or refuses unsigned pixels above 32767.
#include "dicom_writer.h"
#include "fuzz_workspace.h"

#include <algorithm>
#include <cstdio>

using namespace vantry::samples;

namespace {

/// Reads the input's bytes one after another, 0 once they are used up.
struct Bytes {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t next() { return at < size ? data[at++] : 0; }
};

/// Private elements and sequences (defined and undefined lengths, nested) from the input.
void privateElements(ElementWriter& w, Bytes& in, Syntax syntax)
{
    const int operations = in.next() % 24;
    std::vector<bool> open; // true: a sequence with an item open inside
    uint16_t element = 0x1000;
    for (int i = 0; i < operations; ++i) {
        const uint8_t op = in.next();
        switch (op % 4) {
        case 0:
        case 1: {
            std::vector<uint8_t> value(in.next() % 96);
            for (uint8_t& b : value) b = in.next();
            w.element(0x0029, element++, op % 8 < 4 ? "OB" : "LO", value);
            break;
        }
        case 2:
            w.beginSequence(0x0029, element++, (op & 0x10) != 0);
            w.beginItem((op & 0x20) != 0);
            open.push_back(true);
            break;
        default:
            if (open.empty()) break;
            w.endItem();
            w.endSequence();
            open.pop_back();
            break;
        }
    }
    for (size_t i = 0; i < open.size(); ++i) {
        w.endItem();
        w.endSequence();
    }
    if (syntax == Syntax::ExplicitLittle && (operations & 1) != 0) {
        // A UN element of undefined length, whose items are implicit VR little endian.
        w.raw({0x29, 0x00, 0xF0, 0x10, 'U', 'N', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        ElementWriter inner(Syntax::ImplicitLittle);
        inner.beginItem(true);
        inner.us(0x0028, 0x0010, static_cast<uint16_t>(in.next()));
        inner.endItem();
        inner.raw({0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0});
        w.raw(inner.bytes());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzWorkspace fw;
    if (size < 8) return 0;
    Bytes in{data, size};
    DicomImage image;
    image.columns = 1 + (in.next() | in.next() << 8) % 400;
    image.rows = 1 + in.next() % 200;
    const uint8_t form = in.next();
    image.syntax = form % 3 == 0 ? Syntax::ImplicitLittle : form % 3 == 1 ? Syntax::ExplicitLittle : Syntax::ExplicitBig;
    // Without the meta group the syntax is seen from the first element, which a big-endian file
    // cannot show.
    image.preamble = image.syntax == Syntax::ExplicitBig || (form & 0x08) == 0;
    image.pixelRepresentation = (form & 0x10) != 0 ? 1 : 0;
    image.frames = 1 + (form >> 5) % 3;
    image.bitsStored = 16;
    image.pitchMm = 0.05 + in.next() / 1000.0;
    std::string name;
    for (int i = in.next() % 40; i > 0; --i) name += static_cast<char>(in.next());
    image.patientName = name;
    Bytes structure = in;
    image.beforePixelData = [&structure, syntax = image.syntax](ElementWriter& w) {
        privateElements(w, structure, syntax);
    };
    image.pixels.resize(static_cast<size_t>(image.columns) * image.rows * image.frames);
    bool aboveSigned = false;
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const size_t at = (2 * i) % size;
        const size_t next = (2 * i + 1) % size;
        image.pixels[i] = static_cast<int16_t>(data[at] | data[next] << 8);
        if (i < static_cast<size_t>(image.columns) * image.rows) aboveSigned |= image.pixels[i] < 0;
    }
    const auto bytes = dicomBytes(image);
    fw.read(bytes.data(), bytes.size(), "roundtrip.dcm", 0);
    const std::string said = fw.host.messages.empty() ? "" : fw.host.messages.back();
    const auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s: %d x %d, %d frames, syntax %d, PR %d; message: %s; walk: %s\n", what,
                     image.columns, image.rows, image.frames, static_cast<int>(image.syntax),
                     image.pixelRepresentation, said.c_str(), fw.k.ws.READFACTS[0].walkStop.c_str());
        std::abort();
    };
    if (image.pixelRepresentation == 0 && aboveSigned) {
        if (said.find("above the limit 32767") == std::string::npos) fail("unsigned pixels above 32767 not refused");
        return 0;
    }
    if (!said.empty()) fail("refused");
    if (fw.k.ws.READFACTS[0].elementsFrom != "walk") fail("not read by the walk");
    if (fw.k.ws.READFACTS[0].frames != image.frames) fail("frames");
    if (fw.k.ws.XSZ[0] != image.columns || fw.k.ws.YSZ[0] != image.rows) fail("size");
    if (!std::equal(fw.k.ws.IMG[0].pixels.begin(), fw.k.ws.IMG[0].pixels.end(), image.pixels.begin()) ||
        fw.k.ws.IMG[0].pixels.size() != static_cast<size_t>(image.columns) * image.rows) {
        fail("pixels");
    }
    return 0;
}

// Arbitrary bytes read as a DICOM file (or, starting with "BM", as a BMP): the reader must
// refuse or read, never crash, hang or touch memory outside its buffers, and a refusal must
// leave the view as it was.
#include "fuzz_workspace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzWorkspace fw;
    const bool bmp = size >= 2 && data[0] == 'B' && data[1] == 'M';
    const auto before = fw.k.ws.IMG[0].pixels;
    const int32_t width = fw.k.ws.XSZ[0];
    fw.read(data, size, bmp ? "input.bmp" : "input.dcm", bmp ? 1 : 0);
    if (!fw.host.messages.empty()) {
        if (fw.k.ws.IMG[0].pixels != before || fw.k.ws.XSZ[0] != width) std::abort();
    } else if (fw.k.ws.IMG[0].pixels.size() !=
               static_cast<size_t>(fw.k.ws.XSZ[0]) * static_cast<size_t>(fw.k.ws.YSZ[0])) {
        std::abort();
    }
    return 0;
}

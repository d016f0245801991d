#include "bihset.h"

#include <cstring>

namespace vantry {
namespace {

void put32(uint8_t* at, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
}

void put16(uint8_t* at, int16_t v)
{
    const auto u = static_cast<uint16_t>(v);
    at[0] = static_cast<uint8_t>(u);
    at[1] = static_cast<uint8_t>(u >> 8);
}

} // namespace

void BIHSET(Korvelf& k)
{
    uint8_t* h = k.disp.BMPINFO.data();
    std::memset(h, 0, 40);
    put32(h, 40);
    put32(h + 4, k.disp.BMPW);
    put32(h + 8, k.disp.BMPH);
    put16(h + 12, 1);
    put16(h + 14, 8);
    put32(h + 16, 0);
    put32(h + 20, static_cast<int32_t>(static_cast<int64_t>(k.disp.BMPW) * k.disp.BMPH));
    for (int i = 0; i < 256; ++i) {
        uint8_t* entry = h + 40 + 4 * i;
        entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
        entry[3] = 0;
    }
}

} // namespace vantry

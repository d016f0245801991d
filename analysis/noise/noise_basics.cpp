#include "noise_basics.h"

#include "numtext.h"

namespace vantry {

std::string noiseText(double value, int decimals)
{
    const std::string plain = fixed(value, decimals);
    if (value == 0 || plain.find_first_not_of("-0.") != std::string::npos) return plain;
    return exponentText(value, 2);
}

} // namespace vantry

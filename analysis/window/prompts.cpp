#include "prompts.h"

#include "numtext.h"

namespace vantry {

double askNumber(Host& host, std::string_view prompt, const std::string& deflt)
{
    return askNumberOrCancel(host, prompt, deflt).value_or(0.0);
}

std::optional<double> askNumberOrCancel(Host& host, std::string_view prompt, const std::string& deflt)
{
    const auto answer = host.InputBox(prompt, deflt);
    if (!answer) return std::nullopt;
    return leadingNumber(*answer);
}

int32_t nearestInt(double v, int32_t outside)
{
    return roundToInt32(v).value_or(outside);
}

std::string plainTrimmed(float v)
{
    std::string text = plainNumber(v);
    if (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return text;
}

} // namespace vantry

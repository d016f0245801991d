#include "numtext.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vantry {
namespace {

/// Digits of |v| rounded to `digits` significant digits, and the decimal exponent of the first.
struct Significand {
    std::string digits; // no trailing zeros, at least one digit
    int exponent;       // value = 0.d1d2... x 10^(exponent + 1)
};

Significand significand(double magnitude, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, magnitude);
    // buf looks like "d.ddddde+XX"
    std::string mantissa;
    const char* p = buf;
    for (; *p != 'e'; ++p) {
        if (*p != '.') mantissa += *p;
    }
    const int exponent = std::atoi(p + 1);
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
    return {mantissa, exponent};
}

std::string plainText(double v, int digits)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? " Inf" : "-Inf";
    const char sign = v < 0 ? '-' : ' ';
    if (v == 0) return " 0";
    const Significand s = significand(std::fabs(v), digits);
    std::string body;
    if (s.exponent < -4 || s.exponent >= digits) {
        body = s.digits.substr(0, 1);
        if (s.digits.size() > 1) {
            body += '.';
            body += s.digits.substr(1);
        }
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", s.exponent < 0 ? '-' : '+', std::abs(s.exponent));
        body += exp;
    } else if (s.exponent < 0) {
        // appended piece by piece: g++ 12 warns falsely on literal + temporary string
        body.assign(1, '.');
        body.append(static_cast<size_t>(-s.exponent - 1), '0');
        body += s.digits;
    } else {
        const auto intDigits = static_cast<size_t>(s.exponent + 1);
        if (s.digits.size() <= intDigits) {
            body = s.digits + std::string(intDigits - s.digits.size(), '0');
        } else {
            body = s.digits.substr(0, intDigits);
            body += '.';
            body += s.digits.substr(intDigits);
        }
    }
    body.insert(body.begin(), sign);
    return body;
}

} // namespace

std::string plainNumber(double v)
{
    return plainText(v, 15);
}

std::string plainNumber(float v)
{
    return plainText(static_cast<double>(v), 7);
}

std::string plainNumberTrimmed(double v)
{
    std::string s = plainNumber(v);
    if (!s.empty() && s.front() == ' ') s.erase(0, 1);
    return s;
}

std::string fixed(double v, int decimals)
{
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
    // Decide the rounding on the exact binary value: print with extra digits, then round the
    // decimal string half away from zero.
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals + 25, std::fabs(v));
    std::string digits(buf);
    const size_t point = digits.find('.');
    std::string whole = digits.substr(0, point);
    std::string frac = digits.substr(point + 1);
    const bool roundUp = frac[static_cast<size_t>(decimals)] >= '5';
    std::string kept = whole + frac.substr(0, static_cast<size_t>(decimals));
    if (roundUp) {
        int i = static_cast<int>(kept.size()) - 1;
        for (; i >= 0; --i) {
            if (kept[static_cast<size_t>(i)] == '9') {
                kept[static_cast<size_t>(i)] = '0';
            } else {
                ++kept[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) kept.insert(kept.begin(), '1');
    }
    const size_t wholeLen = kept.size() - static_cast<size_t>(decimals);
    std::string out = kept.substr(0, wholeLen);
    if (decimals > 0) {
        out += '.';
        out += kept.substr(wholeLen);
    }
    const bool isZero = out.find_first_not_of("0.") == std::string::npos;
    if (v < 0 && !isZero) out.insert(out.begin(), '-');
    return out;
}

double leadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        number += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            number += text[i++];
            digits = true;
        }
    }
    if (!digits) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        std::string exponent = "e";
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        const size_t firstDigit = j;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) exponent += text[j++];
        if (j > firstDigit) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

std::optional<double> wholeDecimal(std::string_view text)
{
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        return i > from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa = digits() || mantissa;
    }
    if (!mantissa) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const double v = leadingNumber(text);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int16_t> typedInt16(std::string_view text)
{
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) return std::nullopt;
    if (text[at] == '+' || text[at] == '-') ++at;
    if (at < text.size() && text[at] == '.') ++at;
    if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return std::nullopt;
    return roundToInt16(leadingNumber(text));
}

int16_t round16Clamped(double v)
{
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);
    return static_cast<int16_t>(r < -32768.0 ? -32768.0 : r > 32767.0 ? 32767.0 : r);
}

std::optional<int16_t> roundToInt16(double v)
{
    if (std::isnan(v)) return std::nullopt;
    const double r = std::nearbyint(v);
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<int16_t>(r);
}

std::optional<int32_t> roundToInt32(double v)
{
    if (std::isnan(v)) return std::nullopt;
    const double r = std::nearbyint(v);
    if (r < -2147483648.0 || r > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(r);
}

std::string exponentText(double v, int digits)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*E", digits, v);
    return buf;
}

} // namespace vantry

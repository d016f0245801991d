#pragma once
// Number texts shared by every window: the plain number-to-text conversion, the fixed result
// patterns, reading the leading number of a typed text, and range-checked rounding to integers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantry {

/// Plain number text of a Double: a blank before a non-negative number, a minus sign before a
/// negative one, no zero before the decimal point, at most 15 significant digits, trailing zeros
/// dropped, exponent form ("1E+16", "1.5E-05") outside 1E-4 .. 1E15: " 2000", " .1", "-3".
std::string plainNumber(double v);
/// The same for a Single, with at most 7 significant digits.
std::string plainNumber(float v);
/// Plain number text without its leading blank: "2000", ".1", "-3".
std::string plainNumberTrimmed(double v);

/// v with exactly `decimals` digits after the point and at least one before it, an exact half
/// rounded away from zero, never "-0.00": fixed(0.5, 2) = "0.50", fixed(-1.005, 0) = "-1".
std::string fixed(double v, int decimals);
/// The pattern "0.0".
inline std::string fixed1(double v) { return fixed(v, 1); }
/// The pattern "0.00".
inline std::string fixed2(double v) { return fixed(v, 2); }
/// Exponent form with `digits` decimals: "1.234E-06" for digits 3.
std::string exponentText(double v, int digits);
/// The pattern "0.000".
inline std::string fixed3(double v) { return fixed(v, 3); }
/// The pattern " 0.000", with its literal leading blank.
inline std::string blankFixed3(double v) { return " " + fixed(v, 3); }
/// The pattern "0.0000".
inline std::string fixed4(double v) { return fixed(v, 4); }
/// The pattern "0.00000000".
inline std::string fixed8(double v) { return fixed(v, 8); }

/// The leading decimal number of a text, after leading blanks: sign, digits, point, exponent
/// (E or D). "12abc" -> 12, "abc" -> 0, " -1.5e2x" -> -150.
double leadingNumber(std::string_view text);

/// The value of a text that is wholly one decimal number (sign, digits with an optional point,
/// optional exponent E or D; no blanks, no other characters); nullopt for anything else, the
/// empty text, or a value that is not finite.
std::optional<double> wholeDecimal(std::string_view text);

/// The number typed into a box as the nearest Int16 (ties to even); nullopt when the text does not
/// start with a number (after blanks) or the number lies outside the 16-bit range.
std::optional<int16_t> typedInt16(std::string_view text);

/// Nearest Int16, ties to even, held to -32768 .. 32767 (for pane and view arithmetic whose
/// results only leave that range on absurd inputs).
int16_t round16Clamped(double v);

/// Nearest Int16, ties to even; nullopt for NaN or a value outside -32768 .. 32767.
std::optional<int16_t> roundToInt16(double v);
/// Nearest Int32, ties to even; nullopt for NaN or a value outside the Int32 range.
std::optional<int32_t> roundToInt32(double v);

} // namespace vantry

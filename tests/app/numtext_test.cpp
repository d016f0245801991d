// Number texts: every window's captions, boxes and clipboard tables are built from these.
#include "numtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vantry;

namespace {

TEST(PlainNumber, BlankBeforeNonNegativeAndNoZeroBeforeThePoint)
{
    EXPECT_EQ(plainNumber(2000.0), " 2000");
    EXPECT_EQ(plainNumber(0.1), " .1");
    EXPECT_EQ(plainNumber(-3.0), "-3");
    EXPECT_EQ(plainNumber(-0.5), "-.5");
    EXPECT_EQ(plainNumber(0.0), " 0");
    EXPECT_EQ(plainNumber(12.25), " 12.25");
    EXPECT_EQ(plainNumber(0.0001), " .0001");
    EXPECT_EQ(plainNumber(100.0), " 100") << "trailing zeros of an integer stay";
}

TEST(PlainNumber, DoubleKeepsFifteenSignificantDigits)
{
    EXPECT_EQ(plainNumber(1.0 / 3.0), " .333333333333333");
    EXPECT_EQ(plainNumber(2.0 / 3.0), " .666666666666667");
    EXPECT_EQ(plainNumber(123456789012345.0), " 123456789012345");
    EXPECT_EQ(plainNumber(0.1 + 0.2), " .3") << "0.30000000000000004 at 15 digits";
}

TEST(PlainNumber, ExponentFormOutsideTheFixedRange)
{
    EXPECT_EQ(plainNumber(1e16), " 1E+16");
    EXPECT_EQ(plainNumber(1e15), " 1E+15");
    EXPECT_EQ(plainNumber(1.5e-5), " 1.5E-05");
    EXPECT_EQ(plainNumber(-2.5e-7), "-2.5E-07");
    EXPECT_EQ(plainNumber(1.23456789012345678e17), " 1.23456789012346E+17");
}

TEST(PlainNumber, SingleKeepsSevenSignificantDigits)
{
    EXPECT_EQ(plainNumber(1.1f), " 1.1") << "not 1.10000002384186";
    EXPECT_EQ(plainNumber(1234567.0f), " 1234567");
    EXPECT_EQ(plainNumber(16777216.0f), " 1.677722E+07");
    EXPECT_EQ(plainNumber(-0.0625f), "-.0625");
    EXPECT_EQ(plainNumber(3.141592f), " 3.141592");
}

TEST(PlainNumber, TrimmedDropsOnlyTheLeadingBlank)
{
    EXPECT_EQ(plainNumberTrimmed(2000), "2000");
    EXPECT_EQ(plainNumberTrimmed(0.1), ".1");
    EXPECT_EQ(plainNumberTrimmed(-3), "-3");
}

TEST(FixedPattern, RoundsToTheStatedDecimalsWithADigitBeforeThePoint)
{
    EXPECT_EQ(fixed2(0.5), "0.50");
    EXPECT_EQ(fixed3(0.4), "0.400");
    EXPECT_EQ(fixed3(1.6667), "1.667");
    EXPECT_EQ(blankFixed3(1.6667), " 1.667");
    EXPECT_EQ(fixed1(9.96), "10.0") << "carry into a new digit";
    EXPECT_EQ(fixed4(-12.34567), "-12.3457");
    EXPECT_EQ(fixed8(1.0 / 3.0), "0.33333333");
    EXPECT_EQ(fixed2(123456789.0), "123456789.00");
}

TEST(FixedPattern, ExactHalvesRoundAwayFromZeroAndNoNegativeZero)
{
    EXPECT_EQ(fixed2(0.125), "0.13") << "0.125 is exact in binary";
    EXPECT_EQ(fixed2(-0.125), "-0.13");
    EXPECT_EQ(fixed(2.5, 0), "3");
    EXPECT_EQ(fixed2(-0.001), "0.00");
    EXPECT_EQ(fixed2(-0.0), "0.00");
    // 1.005 is stored just below 1.005, so it rounds down: the binary value decides.
    EXPECT_EQ(fixed2(1.005), "1.00");
}

TEST(LeadingNumber, ReadsTheLeadingDecimalNumber)
{
    EXPECT_EQ(leadingNumber("12abc"), 12);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber(" -1.5e2x"), -150);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("-"), 0);
    EXPECT_EQ(leadingNumber(".5"), 0.5);
    EXPECT_EQ(leadingNumber("+7"), 7);
    EXPECT_EQ(leadingNumber("1.2.3"), 1.2);
    EXPECT_EQ(leadingNumber("  42  "), 42);
    EXPECT_EQ(leadingNumber("3D2"), 300) << "D marks an exponent as E does";
    EXPECT_EQ(leadingNumber("1e"), 1) << "an exponent without digits is not part of the number";
    EXPECT_EQ(leadingNumber("1e+"), 1);
    EXPECT_EQ(leadingNumber("\t2000"), 2000);
    EXPECT_EQ(leadingNumber("0.139 mm"), 0.139);
}

TEST(RoundToInteger, TiesGoToEven)
{
    EXPECT_EQ(roundToInt16(2.5), 2);
    EXPECT_EQ(roundToInt16(3.5), 4);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(-3.5), -4);
    EXPECT_EQ(roundToInt16(0.49999999999999994), 0);
    EXPECT_EQ(roundToInt32(1e9 + 0.5), 1000000000);
}

TEST(RoundToInteger, RefusesValuesOutsideTheRangeInsteadOfWrapping)
{
    EXPECT_EQ(roundToInt16(32767.4), 32767);
    EXPECT_EQ(roundToInt16(32767.5), std::nullopt) << "rounds to 32768";
    EXPECT_EQ(roundToInt16(-32768.5), -32768) << "rounds to the even -32768";
    EXPECT_EQ(roundToInt16(-32769.0), std::nullopt);
    EXPECT_EQ(roundToInt16(40000.0), std::nullopt);
    EXPECT_EQ(roundToInt16(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(roundToInt16(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(roundToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(roundToInt32(2147483647.5), std::nullopt);
    EXPECT_EQ(roundToInt32(-2147483648.5), -2147483647 - 1);
    EXPECT_EQ(roundToInt32(-3e9), std::nullopt);
}

} // namespace

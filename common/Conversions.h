#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "common/Text.h"

namespace chengfan::common {

// All conversions are independent of the process locale: the program runs under
// whatever LC_NUMERIC the desktop sets, and "0.5" must stay one half everywhere.

// Folds GBK full-width digits, signs, point and spaces to ASCII, then reads the
// longest decimal prefix (optional blanks, sign, digits with one point, exponent).
// No prefix reads as 0.
Number textToNumber(std::string_view text);

// "%.13g" with an exponent of at least three digits: 2, 2.5, 1e+013, 1e-005.
Text numberToText(Number value);

// numberToText(textToNumber(text) + step): the only arithmetic on task numbers.
Text stepNumberText(std::string_view text, Number step);

// Toward zero; NaN and values outside the 64-bit range give INT64_MIN.
std::int64_t truncateToInteger(Number value);

// The low 32 bits of the value read as a signed two's-complement number.
std::int32_t toPeriod32(std::int64_t value);

// The machine's clock in whole seconds, in local time.
DateTime currentDateTime();

// "2014年9月10日8时5分3秒" in GBK; the time piece shrinks when its tail is zero.
Text dateTimeToText(const DateTime& dateTime);

// The bytes before the first zero byte, unchanged.
Text bytesToText(const Bytes& bytes);

// Byte-wise unsigned comparison: -1, 0 or +1. No case folding, no locale.
int compareTexts(std::string_view a, std::string_view b);

// True exactly for the text of length 0; a text of spaces is not empty.
bool isEmptyText(std::string_view text);

// The pieces in order, as a new text.
Text joinTexts(std::initializer_list<std::string_view> pieces);

}  // namespace chengfan::common

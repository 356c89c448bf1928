#pragma once

#include <cstdint>

namespace telmo {

// Integer (16-bit) and Long (32-bit) conversions: round to nearest, halves to the even
// neighbour; a value outside the range (or not a number) raises run-time error 6.
int16_t ToInteger(double value);
int32_t ToLong(double value);

// 16-bit signed arithmetic with the overflow check of Integer expressions.
int16_t AddInteger(int16_t a, int16_t b);
int16_t SubtractInteger(int16_t a, int16_t b);

// Automation booleans: true is -1 (VARIANT_TRUE), false 0.
using AutomationBool = int16_t;
constexpr AutomationBool kAutomationTrue = -1;
constexpr AutomationBool kAutomationFalse = 0;
constexpr AutomationBool ToAutomationBool(bool b) {
    return b ? kAutomationTrue : kAutomationFalse;
}
// Only the automation true value counts as true; 1 and every other value act as false.
constexpr bool IsAutomationTrue(AutomationBool b) {
    return b == kAutomationTrue;
}

} // namespace telmo

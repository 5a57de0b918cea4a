#pragma once

// Rules the decoders share: which firmware has which feature, and the per-12-V scaling. Written
// with G = board generation and F = firmware version (major × 10 + minor).

#include <cmath>

#include "monitor/decode_context.h"

namespace lir2 {

namespace decode_rules {

inline int G(const DecodeContext& c) {
  return c.BoardGeneration;
}
inline int F(const DecodeContext& c) {
  return c.FirmwareVersion;
}
inline bool gen5From(const DecodeContext& c, int firmware) {
  return G(c) == 5 && F(c) >= firmware;
}

// Short-circuit thresholds and counters, the sine coefficient.
inline bool hasShortCircuitLimits(const DecodeContext& c) {
  return gen5From(c, 40) || (G(c) < 5 && F(c) >= 140) || G(c) >= 6;
}
// The hard short-circuit threshold and counter; also the board sub-version.
inline bool hasHardShortCircuit(const DecodeContext& c) {
  return gen5From(c, 50) || G(c) >= 6;
}
// Generation 9 with firmware 11.0 on: binary frames possible, tenths in the battery correction.
inline bool hasExtendedFirmware(const DecodeContext& c) {
  return G(c) >= 9 && F(c) >= 110;
}
inline bool hasChargeTimer(const DecodeContext& c) {
  return gen5From(c, 82) || G(c) >= 6;
}
inline bool hasServiceValues(const DecodeContext& c) {
  return gen5From(c, 95) || G(c) >= 6;
}
inline bool reportsAbsentSensors(const DecodeContext& c) {
  return gen5From(c, 101) || (G(c) >= 6 && F(c) >= 50);
}
inline bool hasWindingOffsets(const DecodeContext& c) {
  return gen5From(c, 30) || (G(c) < 5 && F(c) >= 140);
}

// 0.1 × raw × 2^voltageClass: a per-12-V value in tenths of a volt for this system. Computed in
// extended precision, where a power of two is exact and no class overflows.
inline long double scaledTenths(int raw, quint8 voltageClass) {
  return 0.1L * std::ldexp(static_cast<long double>(raw), voltageClass);
}

// value div (12 × 2^voltageClass) for a non-negative value below 2^31: amperes from a per-system
// quantity. Beyond a class of 31 the divisor exceeds any such value.
inline qint64 divideBySystemVolts(qint64 value, quint8 voltageClass) {
  if (voltageClass > 31) return 0;
  return value / (12LL << voltageClass);
}

inline int signedByte(quint8 cell) {
  return static_cast<qint8>(cell);
}

}  // namespace decode_rules

}  // namespace lir2

// The engine's number: the 80-bit extended format everywhere. On x86 it is the
// processor's long double; elsewhere, or with NIVORA_SOFT_EXTENDED defined,
// the same format computed in integers (soft_extended.h), which gives the
// same bits. The few library functions the engine applies to its numbers go
// through here so that both types offer them under one name.
#pragma once

#include <cmath>

#if defined(NIVORA_SOFT_EXTENDED) || !((defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__))
#define NIVORA_REAL_IS_SOFT 1
#include "engine/numbers/soft_extended.h"
#else
#define NIVORA_REAL_IS_SOFT 0
#endif

namespace nivora::xmath {

#if NIVORA_REAL_IS_SOFT

using Real = SoftExtended;

#else

using Real = long double;

inline Real Sqrt(Real x) {
    Real r;
    __asm__("fsqrt" : "=t"(r) : "0"(x));
    return r;
}
inline Real Fabs(Real x) { return std::fabs(x); }
inline Real Floor(Real x) { return std::floor(x); }
inline Real NearbyInt(Real x) { return std::nearbyint(x); }
inline long long LlRint(Real x) { return std::llrint(x); }

#endif

}  // namespace nivora::xmath

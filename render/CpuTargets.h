// Code for the processor's wider vector units, chosen at run time so that
// one build runs everywhere: functions marked with these targets may only be
// called with units up to those the processor has.
#pragma once

#if defined(__x86_64__)
#define QM_TARGET_AVX2 gnu::target("avx2,bmi,bmi2,popcnt")
#define QM_TARGET_AVX512 gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi,avx2,bmi,bmi2,popcnt")
#endif

// The vector units a piece of code may use, each including those before.
enum class TVectorUnits { Plain, Avx2, Avx512 };

// What this processor has.
inline TVectorUnits VectorUnitsHere() {
#if defined(__x86_64__)
  static const TVectorUnits here = [] {
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
                      __builtin_cpu_supports("popcnt");
    const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") &&
                        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
                        __builtin_cpu_supports("avx512vbmi");
    return avx512 ? TVectorUnits::Avx512 : avx2 ? TVectorUnits::Avx2 : TVectorUnits::Plain;
  }();
  return here;
#else
  return TVectorUnits::Plain;
#endif
}

// `wanted`, but no more than this processor has.
inline TVectorUnits VectorUnitsUpTo(TVectorUnits wanted) {
  return static_cast<int>(wanted) < static_cast<int>(VectorUnitsHere()) ? wanted
                                                                        : VectorUnitsHere();
}

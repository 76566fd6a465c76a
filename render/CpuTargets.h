// Code for the processor's wider vector units, chosen once at run time so
// that one build runs everywhere: functions marked with these targets may
// only be called once the matching check has said yes.
#pragma once

#if defined(__x86_64__)
#include <immintrin.h>

#define QM_TARGET_AVX2 gnu::target("avx2,bmi,bmi2,popcnt")
#define QM_TARGET_AVX512 gnu::target("avx512f,avx512bw,avx512vl,avx2,bmi,bmi2,popcnt")
#define QM_TARGET_AVX512VBMI gnu::target("avx512f,avx512bw,avx512vl,avx512vbmi,avx2")

inline bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
                          __builtin_cpu_supports("popcnt");
  return has;
}

inline bool CpuHasAvx512() {
  static const bool has = CpuHasAvx2() && __builtin_cpu_supports("avx512f") &&
                          __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
  return has;
}

inline bool CpuHasAvx512Vbmi() {
  static const bool has = CpuHasAvx512() && __builtin_cpu_supports("avx512vbmi");
  return has;
}
#endif

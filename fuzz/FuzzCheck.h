#pragma once
// The oracle of the fuzz targets: a broken invariant stops the run with a crash the fuzzer keeps.
namespace fuzz {

inline void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace fuzz

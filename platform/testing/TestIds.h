// Ids of test data.
#pragma once
#include <windows.h>

#include <cstdint>

namespace platform::testing {

// A GUID numbered `n` (its Data1) in a family (its last byte), so ids a test makes
// are told apart at a glance from the random ones the code under test makes, and
// one suite's families from another's.
inline GUID TestId(uint32_t n, uint8_t family = 0x7A) {
  GUID id{};
  id.Data1 = n;
  id.Data4[7] = family;
  return id;
}

}  // namespace platform::testing

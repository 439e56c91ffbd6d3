// Address range patterns: validation, matching and the two fixed predicates.
#include <gtest/gtest.h>

#include "scope/address_pattern.h"

namespace {

TEST(AddressPattern, Validation) {
  struct Case { const char* text; bool valid; } cases[] = {
      {"127.0.0.1", true},          {"0.0.0.0", true},          {"255.255.255.255", true},
      {"10.0-255.0-255.0-255", true}, {"10.0.0", false},        {"256.1.1.1", false},
      {"1.2.5-3.4", false},         {"10.a.0.1", false},        {"10.0.0.1.5", true},
      {"192.168..1", true},         {"-5.0.0.1", true},         {"1-2-3.0.0.1", true},
      {"--5.0.0.1", false},         {"", false},                {"1.2.3.4x", false},
      {"1.2.3.00000000000000000000000000000004", false},  // a component of 32 characters
      {"1.2.3.0000000000000000000000000000004", true},    // 31 characters
      {"1.2.3.99999999999999999999", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ValidateAddressPattern(c.text), c.valid) << c.text;
  EXPECT_FALSE(ValidateAddressPattern(nullptr));
}

TEST(AddressPattern, Matching) {
  struct Case { const char* address; const char* pattern; bool match; } cases[] = {
      {"10.0.0.1", "10.0-255.0-255.0-255", true},
      {"10.0.0.1.5", "10.0-255.0-255.0-255", true},
      {"11.0.0.1", "10.0-255.0-255.0-255", false},
      {"1-5.0.0.1", "1.0.0.1", true},  // an address with a range compares by its leading number
      {"7.7.7.7", "0.0.5-3.0", false},  // an invalid pattern matches nothing
      {"256.1.1.1", "0-255.0-255.0-255.0-255", false},
      {"10.0.0", "0-255.0-255.0-255.0-255", false},
      {"4.3.2.1", "4.3.2.1", true},
      {"4.3.2.1", "4.3.2.2-9", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchAddressPattern(c.address, c.pattern), c.match) << c.address << " ~ " << c.pattern;
  }
}

TEST(AddressPattern, LoopbackAndPrivateNetworks) {
  struct Case { const char* address; bool loopback; bool lan; } cases[] = {
      {"127.0.0.1", true, true},        {"127.255.255.255", true, true},
      {"192.168.1.10", false, true},    {"10.200.3.4", false, true},
      {"172.16.0.1", false, true},      {"172.31.255.255", false, true},
      {"192.169.0.1", false, false},    {"11.0.0.1", false, false},
      {"172.15.255.255", false, false}, {"172.32.0.1", false, false},
      {"0.0.0.0", false, false},        {"8.8.8.8", false, false},
      {"192.168..1", false, true},      {"192.168.5.7", false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsLoopbackAddress(c.address), c.loopback) << c.address;
    EXPECT_EQ(IsLanAddress(c.address), c.lan) << c.address;
  }
}

}  // namespace

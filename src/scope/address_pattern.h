// Address range patterns: dotted IPv4 texts whose components are a number N
// or a range L-H, and the loopback and private-network tests built on them.
// Pure functions; any thread may call them at once.
#pragma once

// The text has four components of digits and '-' (each under 32 characters)
// whose bounds lie within 0-255 with low <= high. What follows the fourth
// component is not examined.
bool ValidateAddressPattern(const char* text);

// Both texts are valid and each of the address's first four component values
// lies within the pattern's bounds for that component.
bool MatchAddressPattern(const char* address, const char* pattern);

// 127.0.0.0 to 127.255.255.255.
bool IsLoopbackAddress(const char* address);

// 192.168/16, 10/8, 127/8 or 172.16/12.
bool IsLanAddress(const char* address);

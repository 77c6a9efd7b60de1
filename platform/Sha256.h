// SHA-256 (FIPS 180-4), for certificate fingerprints: the same code on both platforms, so a
// fingerprint means the same thing wherever it is compared.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw {

std::array<uint8_t, 32> Sha256(std::string_view bytes);
// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

} // namespace kw

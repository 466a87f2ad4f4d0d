#pragma once

// Checks that an update was signed by the holder of the release key: ECDSA
// P-256 over SHA-256 of the exact bytes, verified with CNG (bcrypt.dll).

#include <array>
#include <cstdint>
#include <vector>

// X||Y of an ECDSA P-256 public key, big-endian, 32 bytes each.
using TUpdateKey = std::array<std::uint8_t, 64>;

// The key compiled into this build (the PAGEKEEP_UPDATE_KEY option).
const TUpdateKey &BuildUpdateKey() noexcept;

// r||s, big-endian, 32 bytes each: what CNG's BCryptVerifySignature takes.
constexpr std::size_t UpdateSignatureSize = 64;

// True only when aSignature is a valid signature of aData by aKey. Any
// other size, a wrong signature and a failure of CNG itself all give false:
// an update that cannot be checked is never installed.
bool IsSignedBy(const std::vector<std::uint8_t> &aData, const std::vector<std::uint8_t> &aSignature,
                const TUpdateKey &aKey) noexcept;

#pragma once
// The public root certificate "ISRG Root X1" that the machine must trust before the installer
// connects, in DER form as its issuer publishes it, and the issuer's published SHA-256 of it.
#include <cstddef>
#include <cstdint>

namespace vaq {

constexpr size_t kRootCertificateSize = 1391;
constexpr size_t kSha256Size = 32;

extern const uint8_t kRootCertificate[kRootCertificateSize];
extern const uint8_t kRootCertificateSha256[kSha256Size];

}  // namespace vaq

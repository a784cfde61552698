// CRC-64/XZ: the checksum of the table store's journals and tables, and of
// anything else that needs a fast, stable 64-bit fingerprint of bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kadrel {

// CRC-64/XZ (ECMA-182 polynomial, reflected, all ones in and out), eight
// bytes at a time.
std::uint64_t Crc64(const unsigned char* data, std::size_t size, std::uint64_t crc = 0);

// The CRC of A followed by B from the CRCs of A and B and B's length, in
// O(log length): how a writer keeps its table's CRC without rereading it.
std::uint64_t Crc64Combine(std::uint64_t crcA, std::uint64_t crcB, std::uint64_t lengthB);
// The other way: the CRC of A from the CRCs of A followed by B and of B, and
// B's length; what a cut leaves of a table's CRC.
std::uint64_t Crc64Uncombine(std::uint64_t crcAB, std::uint64_t crcB, std::uint64_t lengthB);

}  // namespace kadrel

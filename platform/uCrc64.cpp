#include "platform/uCrc64.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kadrel {
namespace {

constexpr std::uint64_t kPoly = 0xC96C5795D7870F42ULL;

// kCrcTables[k][b]: the CRC of byte b followed by k zero bytes, so that
// eight bytes are folded in with eight lookups.
constexpr std::array<std::array<std::uint64_t, 256>, 8> MakeCrcTables() {
  std::array<std::array<std::uint64_t, 256>, 8> t{};
  for (std::uint64_t i = 0; i < 256; ++i) {
    std::uint64_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPoly : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}
constexpr auto kCrcTables = MakeCrcTables();

// Appending n zero bytes to a message multiplies its CRC by x^(8n) modulo
// the polynomial; taking them off again multiplies by the inverse. Both
// come from tables of x^(2^k), so a shift costs one product per bit of n
// and the tables cost nothing at run time.
// a times b modulo the polynomial, both reflected (x^0 is the top bit).
constexpr std::uint64_t TimesModP(std::uint64_t a, std::uint64_t b) {
  std::uint64_t p = 0;
  for (std::uint64_t m = std::uint64_t{1} << 63; m != 0; m >>= 1) {
    if (a & m) p ^= b;
    b = (b & 1) ? (b >> 1) ^ kPoly : b >> 1;
  }
  return p;
}

constexpr std::uint64_t kOne = std::uint64_t{1} << 63;
constexpr std::uint64_t kX = kOne >> 1;
// The polynomial has a constant term, so x has an inverse: (P + 1) / x.
constexpr std::uint64_t kXInverse = (kPoly << 1) | 1;
static_assert(TimesModP(kX, kXInverse) == kOne);

// [k]: g^(2^k); 67 entries, since a shift by n bytes starts at k = 3.
using TPowers = std::array<std::uint64_t, 67>;
constexpr TPowers PowersOfTwo(std::uint64_t g) {
  TPowers t{};
  t[0] = g;
  for (std::size_t k = 1; k < t.size(); ++k) t[k] = TimesModP(t[k - 1], t[k - 1]);
  return t;
}
constexpr TPowers kXPowers = PowersOfTwo(kX);
constexpr TPowers kXInversePowers = PowersOfTwo(kXInverse);

std::uint64_t Shift(const TPowers& powers, std::uint64_t crc, std::uint64_t bytes) {
  for (std::size_t k = 3; bytes != 0; ++k, bytes >>= 1) {
    if (bytes & 1) crc = TimesModP(powers[k], crc);
  }
  return crc;
}

// Eight bytes, least significant first, whatever the machine's order.
std::uint64_t LoadLittle(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// The register once `data` has gone through it, eight bytes at a time.
std::uint64_t CrcBytes(std::uint64_t crc, const unsigned char* data, std::size_t size) {
  const auto& t = kCrcTables;
  for (; size >= 8; data += 8, size -= 8) {
    std::uint64_t word;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&word, data, 8);
    } else {
      word = LoadLittle(data);
    }
    crc ^= word;
    crc = t[7][crc & 0xFF] ^ t[6][(crc >> 8) & 0xFF] ^ t[5][(crc >> 16) & 0xFF] ^ t[4][(crc >> 24) & 0xFF] ^
          t[3][(crc >> 32) & 0xFF] ^ t[2][(crc >> 40) & 0xFF] ^ t[1][(crc >> 48) & 0xFF] ^ t[0][crc >> 56];
  }
  for (; size > 0; ++data, --size) crc = t[0][(crc ^ *data) & 0xFF] ^ (crc >> 8);
  return crc;
}

#if defined(__x86_64__)
// x^n mod P, bit i standing for x^(63 - i) as in the register: n times one
// step of the register with a zero bit in.
constexpr std::uint64_t XPower(int n) {
  std::uint64_t r = std::uint64_t{1} << 63;
  for (int i = 0; i < n; ++i) r = (r >> 1) ^ ((r & 1) ? kPoly : 0);
  return r;
}

// Sixteen bytes at a time, four lanes apart, by carry-less multiplication:
// a lane's 128 bits times x^d (its low half times x^(d+63), its high half
// times x^(d-1), the product's reflection shifting it by one) are the same
// modulo P as those bits d further on. What is left is sixteen bytes whose
// CRC is the register's.
#define KADREL_CLMUL __attribute__((target("pclmul,sse4.1")))

KADREL_CLMUL __m128i FoldBy(int bits) {
  return _mm_set_epi64x(static_cast<long long>(XPower(bits - 1)), static_cast<long long>(XPower(bits + 63)));
}
KADREL_CLMUL __m128i Fold(__m128i x, __m128i by) {
  return _mm_xor_si128(_mm_clmulepi64_si128(x, by, 0x00), _mm_clmulepi64_si128(x, by, 0x11));
}
KADREL_CLMUL __m128i Load(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

KADREL_CLMUL std::uint64_t CrcFolded(std::uint64_t crc, const unsigned char* data, std::size_t size,
                                     std::size_t& used) {
  static const __m128i k512 = FoldBy(512), k384 = FoldBy(384), k256 = FoldBy(256), k128 = FoldBy(128);
  const auto fold = Fold;
  const auto load = Load;
  __m128i lane[4];
  for (int i = 0; i < 4; ++i) lane[i] = load(data + 16 * i);
  lane[0] = _mm_xor_si128(lane[0], _mm_set_epi64x(0, static_cast<long long>(crc)));
  std::size_t at = 64;
  for (; size - at >= 64; at += 64) {
    for (int i = 0; i < 4; ++i) lane[i] = _mm_xor_si128(fold(lane[i], k512), load(data + at + 16 * i));
  }
  __m128i x = _mm_xor_si128(_mm_xor_si128(fold(lane[0], k384), fold(lane[1], k256)),
                            _mm_xor_si128(fold(lane[2], k128), lane[3]));
  for (; size - at >= 16; at += 16) x = _mm_xor_si128(fold(x, k128), load(data + at));
  unsigned char rest[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), x);
  used = at;
  return CrcBytes(0, rest, sizeof rest);
}
#endif

}  // namespace

std::uint64_t Crc64(const unsigned char* data, std::size_t size, std::uint64_t crc) {
  crc = ~crc;
#if defined(__x86_64__)
  static const bool folding = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  if (folding && size >= 128) {
    std::size_t used = 0;
    crc = CrcFolded(crc, data, size, used);
    data += used;
    size -= used;
  }
#endif
  return ~CrcBytes(crc, data, size);
}

std::uint64_t Crc64Combine(std::uint64_t crcA, std::uint64_t crcB, std::uint64_t lengthB) {
  return Shift(kXPowers, crcA, lengthB) ^ crcB;
}

std::uint64_t Crc64Uncombine(std::uint64_t crcAB, std::uint64_t crcB, std::uint64_t lengthB) {
  return Shift(kXInversePowers, crcAB ^ crcB, lengthB);
}

}  // namespace kadrel

// The MD5 routines against the test suite of RFC 1321, fed in awkward pieces.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "files/md5.h"

namespace {

std::string hex(const MD5_CTX& ctx) {
  char out[33];
  for (int i = 0; i < 16; ++i) std::snprintf(out + 2 * i, 3, "%02x", ctx.digest[i]);
  return out;
}

std::string md5_wide(const std::string& s) {
  MD5_CTX ctx;
  MD5Init(&ctx);
  MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(s.data()), s.size());
  MD5Final(&ctx);
  return hex(ctx);
}

}  // namespace

TEST(Md5, Rfc1321TestSuite) {
  EXPECT_EQ(md5_wide(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(md5_wide("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(md5_wide("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(md5_wide("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesOfAnySizeGiveTheSameDigest) {
  const std::string million(1000000, 'a');
  const char* expected = "7707d6ae4e027c70eea2a935c2296f21";
  EXPECT_EQ(md5_wide(million), expected);

  // Pieces that straddle block boundaries, including the largest MD5Update takes.
  const size_t sizes[] = {1, 63, 65535, 7, 64, 65, 100000};
  MD5_CTX ctx;
  MD5Init(&ctx);
  size_t done = 0;
  for (size_t k = 0; done < million.size(); ++k) {
    size_t n = std::min(sizes[k % 7], million.size() - done);
    if (n <= 65535)
      MD5Update(&ctx, reinterpret_cast<const unsigned char*>(million.data() + done), static_cast<uint16_t>(n));
    else
      MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(million.data() + done), n);
    done += n;
  }
  MD5Final(&ctx);
  EXPECT_EQ(hex(ctx), expected);
}

TEST(Md5, BitCountCarriesIntoTheHighWord) {
  // Files over 512 MiB pass 2^32 bits.
  MD5_CTX ctx;
  MD5Init(&ctx);
  ctx.i[0] = 0xFFFFFE00u;  // a whole number of blocks short of the carry
  unsigned char block[128] = {};
  MD5Update(&ctx, block, 128);
  EXPECT_EQ(ctx.i[1], 1u);
  EXPECT_EQ(ctx.i[0], 0x200u);
}

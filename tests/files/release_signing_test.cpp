// Signatures and the release record: what a damaged or foreign one looks like to the checks.
#include <gtest/gtest.h>

#include "files/release_signing.h"

namespace {

TEST(ReleaseSigning, OnlyAWholeSignatureByAGivenKeyOverTheExactBytesIsGood) {
  std::string pub, secret, other_pub, other_secret;
  ASSERT_TRUE(make_signing_keys(pub, secret));
  ASSERT_TRUE(make_signing_keys(other_pub, other_secret));
  std::vector<std::string> keys;
  ASSERT_TRUE(parse_public_keys(other_pub + " , " + pub + "\n", keys));
  ASSERT_EQ(keys.size(), 2u);

  std::string data = "I\n820 version\n", sig = sign_text(secret + "\n", data);
  EXPECT_EQ(check_signature(data, sig, keys), signature_verdict::good);
  EXPECT_EQ(check_signature(data + " ", sig, keys), signature_verdict::mismatch);
  EXPECT_EQ(check_signature(data, sign_text(other_secret, data), {keys[1]}), signature_verdict::mismatch);
  for (const std::string& bad : {std::string(), sig.substr(0, 40), sig.substr(0, sig.size() - 5) + "====\n",
                                 sig + sig, "*" + sig.substr(1), sig.substr(0, 86) + "\n", std::string(5000, 'A')})
    EXPECT_EQ(check_signature(data, bad, keys), signature_verdict::unreadable) << bad;

  EXPECT_FALSE(parse_public_keys(pub + ",not-a-key", keys));
  EXPECT_FALSE(parse_public_keys(secret, keys));  // a secret key is no public key
  EXPECT_EQ(sign_text(pub, data), "");
}

TEST(ReleaseSigning, AReleaseRecordNeedsEachFieldOnceAndInItsForm) {
  release_record r{1765000000, 1767600000, "Zephra 8.50", std::string(32, 'a')};
  release_record back;
  std::string error;
  ASSERT_TRUE(parse_release_record(release_record_text(r) + "future_field whatever\n", back, error)) << error;
  EXPECT_EQ(back.serial, r.serial);
  EXPECT_EQ(back.expires, r.expires);
  EXPECT_EQ(back.install_name, r.install_name);
  EXPECT_EQ(back.directory_md5, r.directory_md5);

  const std::string md5 = "directory_md5 " + std::string(32, 'a') + "\n";
  struct bad_case {
    std::string text, why;
  } cases[] = {
      {"", "it has no serial"},
      {"serial 5\nexpires 9\ninstall_name Z\n", "it has no directory_md5"},
      {"serial 5\nserial 6\nexpires 9\ninstall_name Z\n" + md5, "it names its serial twice"},
      {"serial -5\nexpires 9\ninstall_name Z\n" + md5, "its serial '-5' is not one"},
      {"serial 5\nexpires 9x\ninstall_name Z\n" + md5, "its expires '9x' is not one"},
      {"serial 5\nexpires 99999999999999999999\ninstall_name Z\n" + md5, "its expires '99999999999999999999' is not one"},
      {"serial 5\nexpires 9\ninstall_name \n" + md5, "its install_name '' is not one"},
      {"serial 5\nexpires 9\ninstall_name Z\ndirectory_md5 " + std::string(32, 'A') + "\n", "its directory_md5 '"},
      {"serial\nexpires 9\ninstall_name Z\n" + md5, "its serial '' is not one"},
  };
  for (const bad_case& c : cases) {
    EXPECT_FALSE(parse_release_record(c.text, back, error)) << c.text;
    EXPECT_EQ(error.substr(0, c.why.size()), c.why) << c.text;
  }
}

}  // namespace

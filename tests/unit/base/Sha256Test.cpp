// Tests for SHA-256: known vectors, streaming equals one shot, files hashed in chunks.
#include "base/Sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <system_error>

#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

constexpr const char* kEmptyHash =
    "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr const char* kAbcHash = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(Sha256Test, KnownVectorsInLowerCaseHex) {
  EXPECT_EQ(sha256Hex(""), kEmptyHash);
  EXPECT_EQ(sha256Hex("abc"), kAbcHash);
  EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256Hex(std::string("a\0b", 3)), sha256Hex(std::string("a\0b", 3)));
  EXPECT_NE(sha256Hex(std::string("a\0b", 3)), sha256Hex("a"));
}

TEST(Sha256Test, StreamingInPiecesEqualsOneShot) {
  Sha256 hasher;
  hasher.update("a");
  hasher.update("");
  hasher.update("bc");
  EXPECT_EQ(hasher.finishHex(), kAbcHash);
  EXPECT_THROW(hasher.update("x"), std::logic_error);
  EXPECT_THROW(hasher.finishHex(), std::logic_error);
}

TEST(Sha256Test, FileHashEqualsHashOfItsBytes) {
  TemporaryDirectory directory;
  // Empty, small, and larger than several read chunks with a partial last chunk.
  std::string large;
  for (std::uint64_t i = 0; large.size() < (3u << 20) + 12345; ++i) {
    large += std::to_string(i * 7919) + '\n';
  }
  for (const std::string& bytes : {std::string(), std::string("abc"), large}) {
    writeFile(directory.path() / "f", bytes);
    EXPECT_EQ(sha256HexOfFile(directory.path() / "f"), sha256Hex(bytes)) << bytes.size();
  }
  EXPECT_EQ(sha256HexOfFile(directory.path() / "f").size(), 64u);
}

TEST(Sha256Test, UnreadableFileThrowsSystemError) {
  TemporaryDirectory directory;
  try {
    sha256HexOfFile(directory.path() / "missing");
    FAIL() << "no error";
  } catch (const std::system_error& error) {
    EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
  }
  // A directory opens but cannot be read.
  EXPECT_THROW(sha256HexOfFile(directory.path()), std::system_error);
}

}  // namespace
}  // namespace orlith

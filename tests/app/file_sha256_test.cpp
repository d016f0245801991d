// The SHA-256 that names an image in saved results, against the published test vectors.
#include "file_sha256.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vantry {
namespace {

std::string written(const std::string& name, const std::string& bytes)
{
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

TEST(FileSha256, MatchesTheStandardVectorsAcrossReadBlocks)
{
    EXPECT_EQ(fileSha256(written("sha-empty.bin", "")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(fileSha256(written("sha-abc.bin", "abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // A million 'a' spans several read blocks.
    EXPECT_EQ(fileSha256(written("sha-million.bin", std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(FileSha256, MissingFilesAndFoldersAreUnreadable)
{
    EXPECT_EQ(fileSha256("/nonexistent/image.raw"), "unreadable");
    EXPECT_EQ(fileSha256(std::filesystem::temp_directory_path().string()), "unreadable");
}

} // namespace
} // namespace vantry

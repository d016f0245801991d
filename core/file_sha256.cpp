#include "file_sha256.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace vantry {

std::string fileSha256(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return "unreadable";
    std::ifstream in(path, std::ios::binary);
    if (!in) return "unreadable";
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return "unreadable";
    std::array<char, 1 << 16> block{};
    while (in) {
        in.read(block.data(), block.size());
        const std::streamsize got = in.gcount();
        if (got > 0 && EVP_DigestUpdate(ctx.get(), block.data(), static_cast<size_t>(got)) != 1) return "unreadable";
    }
    if (in.bad()) return "unreadable";
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), digest.data(), &length) != 1) return "unreadable";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

} // namespace vantry

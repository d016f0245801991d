#include "text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantry {
namespace {

std::string systemReason(const char* what)
{
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

} // namespace

std::optional<std::string> readTextFile(const std::string& path, std::string& error)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = errno == ENOENT ? "it does not exist" : systemReason("cannot read it");
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "it is a folder";
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "it is not a regular file";
        return std::nullopt;
    }
    // O_NONBLOCK: a file swapped for a FIFO between the stat and the open cannot block the read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = systemReason("cannot read it");
        return std::nullopt;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        error = "it is not a regular file";
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(opened.st_size) > kMaxTextFileBytes) {
        ::close(fd);
        error = "it is larger than 16 MiB";
        return std::nullopt;
    }
    std::string text(static_cast<size_t>(opened.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::pread(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = systemReason("cannot read it");
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break; // shortened while read: what is there is the file
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    text.resize(done);
    return text;
}

std::string writeTextFile(const std::string& path, const std::string& text)
{
    if (path.empty()) return "no file name given";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return "it is a folder";
        if (!S_ISREG(st.st_mode)) return "it is not a regular file";
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return systemReason("cannot write it");
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string why = systemReason("cannot write it");
            ::close(fd);
            ::unlink(temp.c_str());
            return why;
        }
        done += static_cast<size_t>(n);
    }
    // mkstemp makes the file for its owner only; a curves file is an ordinary document.
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const std::string why = systemReason("cannot write it");
        ::unlink(temp.c_str());
        return why;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string why = systemReason("cannot write it");
        ::unlink(temp.c_str());
        return why;
    }
    return {};
}

bool sameExistingFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string renameFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0) return systemReason("cannot rename it");
    return {};
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace vantry

#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantry::samples {
namespace {

std::string reason(const char* what)
{
    return std::string(what) + " (" + std::strerror(errno) + ")";
}

} // namespace

std::string writeOutputFile(const std::string& path, std::string_view bytes)
{
    if (path.empty()) return "no file name given";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    }
    // Non-blocking, so that a FIFO put in place after the check cannot hang the open; truncated
    // only once the opened file is known to be a regular one.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return reason("cannot open it");
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return "it is not a regular file";
    }
    if (::ftruncate(fd, 0) != 0) {
        const std::string why = reason("cannot empty it");
        ::close(fd);
        return why;
    }
    const char* at = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t put = ::write(fd, at, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            const std::string why = put < 0 ? reason("cannot write it") : "cannot write it";
            ::close(fd);
            return why;
        }
        at += put;
        left -= static_cast<size_t>(put);
    }
    if (::close(fd) != 0) return reason("cannot finish writing it");
    return {};
}

} // namespace vantry::samples

#include "file_access.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantry {
namespace {

/// Opens without blocking on a FIFO that appeared after the check, then re-checks the opened file.
int openRegular(const std::filesystem::path& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "it cannot be opened (" + std::string(std::strerror(errno)) + ")";
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "it is not a regular file";
        return -1;
    }
    return fd;
}

bool readFully(int fd, uint8_t* into, uint64_t count, uint64_t offset)
{
    while (count > 0) {
        const ssize_t got = ::pread(fd, into, count > (1u << 30) ? (1u << 30) : count, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        into += got;
        offset += static_cast<uint64_t>(got);
        count -= static_cast<uint64_t>(got);
    }
    return true;
}

} // namespace

FileRead statImageFile(const std::filesystem::path& path)
{
    FileRead r;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int why = errno;
        struct stat link {};
        if (why == ELOOP) {
            r.error = "it is a symbolic link in a loop of links";
        } else if (why == ENAMETOOLONG) {
            r.error = "its name is too long";
        } else if (why != ENOENT && why != ENOTDIR) {
            r.error = "it cannot be examined (" + std::string(std::strerror(why)) + ")";
        } else {
            r.error = ::lstat(path.c_str(), &link) == 0 ? "it is a link to a missing file"
                                                         : "it does not exist";
        }
        return r;
    }
    if (S_ISDIR(st.st_mode)) {
        r.error = "it is a folder";
    } else if (S_ISFIFO(st.st_mode)) {
        r.error = "it is a pipe, not a file";
    } else if (!S_ISREG(st.st_mode)) {
        r.error = "it is a device or other special file";
    } else if (static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        r.error = "it is larger than 576 MiB";
    }
    r.fileSize = static_cast<uint64_t>(st.st_size);
    return r;
}

namespace {

/// Reads `count` bytes from `offset`, or the whole file when wholeFile is set; the size is taken
/// from the opened file, so a file that changed after the first check is judged as it is now.
FileRead readChecked(const std::filesystem::path& path, uint64_t offset, uint64_t count, bool wholeFile)
{
    FileRead r = statImageFile(path);
    if (!r.error.empty()) return r;
    const int fd = openRegular(path, r.error);
    if (fd < 0) return r;
    struct stat st {};
    ::fstat(fd, &st);
    r.fileSize = static_cast<uint64_t>(st.st_size);
    if (wholeFile) count = r.fileSize;
    if (r.fileSize > kMaxFileBytes) {
        r.error = "it is larger than 576 MiB";
    } else if (offset > r.fileSize || count > r.fileSize - offset) {
        r.error = "the file holds " + std::to_string(r.fileSize) + " bytes, fewer than the " +
                  std::to_string(offset) + " + " + std::to_string(count) + " the image needs";
    } else {
        r.bytes.resize(count);
        if (!readFully(fd, r.bytes.data(), count, offset)) {
            r.error = "it could not be read to its end";
            r.bytes.clear();
        }
    }
    ::close(fd);
    return r;
}

} // namespace

FileRead readWholeFile(const std::filesystem::path& path)
{
    return readChecked(path, 0, 0, true);
}

FileRead readFileRange(const std::filesystem::path& path, uint64_t offset, uint64_t count)
{
    return readChecked(path, offset, count, false);
}

} // namespace vantry

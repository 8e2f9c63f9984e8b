#include "host/FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string systemError() { return std::strerror(errno); }

bool writeAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error, std::size_t limit)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": cannot read it: " + systemError();
        return false;
    }
    struct stat status{};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        error = path + ": is not a file";
        close(fd);
        return false;
    }
    bytes.clear();
    unsigned char buffer[16384];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = path + ": cannot read it: " + systemError();
            close(fd);
            return false;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > limit) {
            error = path + ": is too large (more than " + std::to_string(limit) + " bytes)";
            close(fd);
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fd);
    return true;
}

bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error)
{
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": cannot write it: " + systemError();
        return false;
    }
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    const std::string reason = systemError();
    if (close(fd) != 0 || !written) {
        error = path + ": cannot write it: " + (written ? systemError() : reason);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = path + ": cannot write it: " + systemError();
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool makeFolders(const std::string& path, std::string& error)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = part + ": cannot create the folder: " + systemError();
            return false;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat status{};
    if (stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = path + ": is not a folder";
        return false;
    }
    return true;
}

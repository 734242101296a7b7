#include "eventlist/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr mode_t newFileMode = 0644;

[[noreturn]] void throwSystemError(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now, so that a failed close is seen.
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

mode_t modeFor(const std::string& path)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0)
        return existing.st_mode & 07777;
    return newFileMode;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is in the folder's entries: flushing the folder makes it last. Some file systems
// cannot flush a folder; the file is replaced all the same.
void flushFolder(const std::string& path)
{
    Descriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
}

} // namespace

std::string AtomicFile::read(const std::string& path)
{
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throwSystemError("cannot open");
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            return text;
        if (count < 0 && errno != EINTR)
            throwSystemError("cannot read");
        if (count > 0)
            text.append(buffer, static_cast<std::size_t>(count));
    }
}

void AtomicFile::replace(const std::string& path, const std::string& text)
{
    std::string name = path + ".tmpXXXXXX";
    Descriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0)
        throwSystemError("no temporary file beside it");
    // The error is taken before the temporary file goes, which may change errno.
    const auto fail = [&name](const std::string& what) {
        const std::system_error error(errno, std::generic_category(), what);
        ::unlink(name.c_str());
        throw error;
    };
    if (!writeAll(file.get(), text) || ::fchmod(file.get(), modeFor(path)) != 0 || ::fsync(file.get()) != 0)
        fail("cannot write");
    if (!file.close())
        fail("cannot write");
    if (::rename(name.c_str(), path.c_str()) != 0)
        fail("cannot replace");
    flushFolder(path);
}

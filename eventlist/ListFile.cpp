#include "eventlist/ListFile.h"

#include "eventlist/CmxWriter.h"
#include "eventlist/ListError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t newFileMode = 0644;

std::string systemError(const std::string& what, const std::string& path)
{
    return what + " " + path + ": " + std::strerror(errno);
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

std::string readAll(const std::string& path)
{
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throw ListError(systemError("cannot read the list", path));
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count == 0)
            return text;
        if (count < 0 && errno != EINTR)
            throw ListError(systemError("cannot read the list", path));
        if (count > 0)
            text.append(buffer, static_cast<std::size_t>(count));
    }
}

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

void replaceFile(const std::string& path, const std::string& text)
{
    std::string name = path + ".tmpXXXXXX";
    Descriptor file(::mkostemp(name.data(), O_CLOEXEC));
    if (file.get() < 0)
        throw ListError(systemError("cannot save the list: no temporary file beside", path));
    // The reason is taken before the temporary file goes, which may change errno.
    const auto fail = [&name](const std::string& reason) {
        ::unlink(name.c_str());
        throw ListError(reason);
    };
    if (!writeAll(file.get(), text) || ::fchmod(file.get(), modeFor(path)) != 0 || ::fsync(file.get()) != 0)
        fail(systemError("cannot save the list", path));
    if (!file.close())
        fail(systemError("cannot save the list", path));
    if (::rename(name.c_str(), path.c_str()) != 0)
        fail(systemError("cannot save the list", path));
    flushFolder(path);
}

} // namespace

ReadList ListFile::load(const std::string& path, TimeBase base)
{
    const std::string text = readAll(path);
    try {
        return CmxReader::read(text, base);
    } catch (const ListError& refused) {
        throw ListError(path + ": " + refused.what());
    }
}

std::vector<ListWarning> ListFile::save(const std::string& path, const EventList& list)
{
    WrittenList written = CmxWriter::write(list);
    replaceFile(path, written.text);
    return std::move(written.warnings);
}

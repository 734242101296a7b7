#include "app/TextFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// Closes the descriptor when the scope ends unless it was closed on purpose.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }

    // Closing can report a write error that the writes did not; it must be checked.
    void closeChecked(const std::string& what)
    {
        int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            throwErrno(what);
    }

private:
    int fd_;
};

void writeAll(int fd, const std::string& contents, const std::string& what)
{
    std::size_t written = 0;
    while (written < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwErrno(what);
        written += static_cast<std::size_t>(n);
    }
}

std::string resolvedPath(const std::string& path)
{
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        throwErrno(path);
    return resolved;
}

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// Makes the rename itself durable. The new contents are already in place when this runs, so
// a failure here does not make the replacement fail.
void syncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Removes the temporary file unless the rename has consumed it.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& targetPath)
        : path_(folderOf(targetPath) + "/." + fileNameOf(targetPath) + ".XXXXXX"), file_(createUnique(path_))
    {
    }
    ~TemporaryFile()
    {
        if (!renamed_)
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    void writeDurably(const std::string& contents, mode_t permissions)
    {
        writeAll(file_.get(), contents, path_);
        if (::fchmod(file_.get(), permissions) != 0)
            throwErrno(path_);
        if (::fsync(file_.get()) != 0)
            throwErrno(path_);
        file_.closeChecked(path_);
    }

    void renameOver(const std::string& targetPath)
    {
        if (::rename(path_.c_str(), targetPath.c_str()) != 0)
            throwErrno(targetPath);
        renamed_ = true;
    }

private:
    // Fills in the X's of the pattern and creates the file, readable by its owner only
    // until it receives the old file's permissions.
    static int createUnique(std::string& pattern)
    {
        int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0)
            throwErrno(pattern);
        return fd;
    }

    std::string path_;
    FileDescriptor file_;
    bool renamed_ = false;
};

} // namespace

bool TextFile::exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string TextFile::readAll(const std::string& path)
{
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throwErrno(path);
    std::string contents;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throwErrno(path);
        if (n == 0)
            return contents;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

void TextFile::replaceAtomically(const std::string& path, const std::string& contents)
{
    std::string target = resolvedPath(path);
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        throwErrno(target);
    TemporaryFile temporary(target);
    temporary.writeDurably(contents, info.st_mode & 07777);
    temporary.renameOver(target);
    syncFolder(folderOf(target));
}

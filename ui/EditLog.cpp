#include "ui/EditLog.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string EditLog::modeText(std::uint8_t emode)
{
    if (emode == 0x20)
        return "ASM   ";
    std::string text = "  /   ";
    if (emode & 0x01)
        text[0] = 'A';
    if (emode & 0x02)
        text[1] = 'A';
    if (emode & 0x10)
        text[3] = 'V';
    return text;
}

std::string EditLog::numberText(int editnum)
{
    std::string digits = std::to_string(editnum);
    if (editnum < 10)
        return "00" + digits;
    if (editnum < 100)
        return "0" + digits;
    return digits;
}

std::string EditLog::line(int editnum, std::uint8_t emode, const std::string& playIn, const std::string& playOut,
                          const std::string& recIn, const std::string& recOut)
{
    return numberText(editnum) + std::string(12, ' ') + modeText(emode) + "C" + std::string(9, ' ') + playIn + "  " +
           playOut + "  " + recIn + "  " + recOut;
}

bool EditLog::exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

bool EditLog::append(const std::string& path, const std::string& line)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    const std::string whole = line + '\n';
    ssize_t written;
    do {
        written = ::write(fd, whole.data(), whole.size());
    } while (written < 0 && errno == EINTR);
    ::close(fd);
    return written == static_cast<ssize_t>(whole.size());
}

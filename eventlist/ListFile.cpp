#include "eventlist/ListFile.h"

#include "eventlist/AtomicFile.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/ListError.h"

#include <system_error>

ReadList ListFile::load(const std::string& path, TimeBase base)
{
    std::string text;
    try {
        text = AtomicFile::read(path);
    } catch (const std::system_error& failed) {
        throw ListError("cannot read the list " + path + ": " + failed.what());
    }
    try {
        return CmxReader::read(text, base);
    } catch (const ListError& refused) {
        throw ListError(path + ": " + refused.what());
    }
}

std::vector<ListWarning> ListFile::save(const std::string& path, const EventList& list)
{
    WrittenList written = CmxWriter::write(list);
    try {
        AtomicFile::replace(path, written.text);
    } catch (const std::system_error& failed) {
        throw ListError("cannot save the list " + path + ": " + failed.what());
    }
    return std::move(written.warnings);
}

#include "tools/decksim/Trace.h"

namespace decksim {

bool Trace::writeTo(const std::string& path)
{
    std::lock_guard lock(mutex_);
    file_.open(path, std::ios::out | std::ios::trunc);
    return file_.is_open();
}

void Trace::add(TraceEntry entry)
{
    std::lock_guard lock(mutex_);
    if (file_.is_open()) {
        file_ << line(entry) << '\n';
        file_.flush();
    }
    entries_.push_back(std::move(entry));
}

std::vector<TraceEntry> Trace::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

void Trace::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::string Trace::line(const TraceEntry& entry)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text = std::to_string(entry.micros) + ' ' + roleName(entry.deck) + (entry.received ? " rx" : " tx");
    for (std::uint8_t byte : entry.bytes) {
        text += ' ';
        text += hex[byte >> 4];
        text += hex[byte & 0x0F];
    }
    return text;
}

}  // namespace decksim

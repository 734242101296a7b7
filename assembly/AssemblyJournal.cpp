#include "assembly/AssemblyJournal.h"

#include "eventlist/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sstream>
#include <system_error>

namespace {

constexpr const char* heading = "KESTRIX ASSEMBLY JOURNAL";

// FNV-1a over the text.
std::uint64_t hashOf(const std::string& text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string hex(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::optional<RecordedStretch> stretchOf(const std::string& field)
{
    int first = 0;
    int end = 0;
    char dash = 0;
    char rest = 0;
    if (std::sscanf(field.c_str(), "%d%c%d%c", &first, &dash, &end, &rest) != 3 || dash != '-' || end < first)
        return std::nullopt;
    return RecordedStretch{first, end};
}

}

std::string AssemblyJournal::pathFor(const std::string& listPath)
{
    return listPath + ".journal";
}

AssemblyJournal::AssemblyJournal(std::string path) : path_(std::move(path))
{
}

AssemblyJournal AssemblyJournal::load(const std::string& path)
{
    AssemblyJournal journal(path);
    try {
        journal.read(AtomicFile::read(path));
    } catch (const std::system_error& failed) {
        if (failed.code() != std::errc::no_such_file_or_directory)
            throw;
    }
    return journal;
}

void AssemblyJournal::read(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string eventWord, keyWord, key, recordedWord;
        int number = 0;
        if (!(fields >> eventWord >> number >> keyWord >> key >> recordedWord) || eventWord != "EVENT"
            || keyWord != "KEY" || recordedWord != "RECORDED" || key.size() != 16)
            continue;
        Entry entry;
        std::size_t used = 0;
        try {
            entry.key = std::stoull(key, &used, 16);
        } catch (const std::exception&) {
            continue;
        }
        bool whole = used == key.size();
        for (std::string field; whole && fields >> field;) {
            const auto stretch = stretchOf(field);
            whole = stretch.has_value();
            if (stretch)
                entry.recorded.push_back(*stretch);
        }
        if (whole && !entry.recorded.empty())
            entries_[number] = entry;
    }
}

std::uint64_t AssemblyJournal::keyOf(const Event& event)
{
    std::ostringstream made;
    made << (event.frameCount == FrameCountMode::DropFrame ? "DF" : "NDF") << ' ' << (event.assemble ? "ASM" : "INS")
         << ' ' << static_cast<int>(event.split.delay) << ' ' << event.split.frames;
    for (const EditLine& line : event.lines) {
        made << '|' << line.reel << ' ' << line.channels.fieldText() << ' ' << line.channels.audioLineText() << ' '
             << line.transition.fieldText() << ' ' << line.transition.duration << ' ' << line.sourceIn << ' '
             << line.sourceOut << ' ' << line.recordIn << ' ' << line.recordOut;
    }
    return hashOf(made.str());
}

std::set<std::size_t> AssemblyJournal::onTape(const EventList& list) const
{
    std::set<std::size_t> found;
    for (std::size_t index = 0; index < list.size(); ++index) {
        if (recordedOf(list[index]))
            found.insert(index);
    }
    return found;
}

const std::vector<RecordedStretch>* AssemblyJournal::recordedOf(const Event& event) const
{
    const auto entry = entries_.find(event.number);
    if (entry == entries_.end() || entry->second.key != keyOf(event))
        return nullptr;
    return &entry->second.recorded;
}

void AssemblyJournal::record(const Event& event, const std::vector<RecordedStretch>& recorded)
{
    auto entries = entries_;
    entries[event.number] = Entry{keyOf(event), recorded};
    save(entries);
    entries_ = std::move(entries);
}

void AssemblyJournal::forget(const std::vector<const Event*>& events)
{
    auto entries = entries_;
    for (const Event* event : events)
        entries.erase(event->number);
    if (entries.size() == entries_.size())
        return;
    save(entries);
    entries_ = std::move(entries);
}

void AssemblyJournal::save(const std::map<int, Entry>& entries) const
{
    std::string text = std::string(heading) + '\n';
    for (const auto& [number, entry] : entries) {
        text += "EVENT " + std::to_string(number) + " KEY " + hex(entry.key) + " RECORDED";
        for (const RecordedStretch& stretch : entry.recorded)
            text += ' ' + std::to_string(stretch.first) + '-' + std::to_string(stretch.end);
        text += '\n';
    }
    AtomicFile::replace(path_, text);
}

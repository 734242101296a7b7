#include "eventlist/CmxWriter.h"

#include "eventlist/CmxFormat.h"
#include "eventlist/TimeCodeText.h"

#include <algorithm>
#include <cstdio>

namespace {

// 1-based columns of the fixed fields, and the widths other systems read.
constexpr std::size_t reelColumn = 6;
constexpr std::size_t channelColumn = 15;
constexpr std::size_t transitionColumn = 21;
constexpr std::size_t durationColumn = 26;
constexpr std::size_t sourceInColumn = 30;
constexpr int largestDuration = 999;

// Blanks up to a 1-based column; one blank when the text already reaches it.
void padTo(std::string& line, std::size_t column)
{
    if (line.size() + 1 < column)
        line.append(column - 1 - line.size(), ' ');
    else
        line += ' ';
}

// At least three digits, zero-padded.
std::string numberText(int number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", number);
    return digits;
}

bool upperLettersAndDigits(const std::string& reel)
{
    const auto upperOrDigit = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    return std::all_of(reel.begin(), reel.end(), upperOrDigit);
}

class ListText {
public:
    explicit ListText(const EventList& list) : list_(list) {}

    WrittenList write()
    {
        writeHeader();
        FrameCountMode mode = list_.frameCountMode();
        for (std::size_t index = 0; index < list_.size(); ++index) {
            const Event& event = list_[index];
            line("");
            if (event.frameCount != mode) {
                mode = event.frameCount;
                line("FCM: " + fcmText(mode));
            }
            if (index > 0)
                checkNumberApart(list_[index - 1], event);
            if (index == CmxFormat::largestEventCount)
                warn("the list holds more than 999 events; other systems read lists of up to 999");
            writeEvent(event);
        }
        return std::move(written_);
    }

private:
    void line(const std::string& text)
    {
        written_.text += text;
        written_.text += '\n';
        ++lineNumber_;
    }

    void warn(const std::string& text)
    {
        // The warning is about the line written next.
        written_.warnings.push_back({lineNumber_ + 1, text});
    }

    void writeHeader()
    {
        if (list_.title().size() > CmxFormat::longestTitle)
            warn("the title is longer than 70 characters; other systems may cut it short");
        line(list_.title().empty() ? "TITLE:" : "TITLE: " + list_.title());
        line("FCM: " + fcmText(list_.frameCountMode()));
        for (const Note& note : list_.headerNotes())
            line(note.text);
    }

    void checkNumberApart(const Event& before, const Event& event)
    {
        if (before.number == event.number && before.lines.size() == 1 && event.split.delay == Split::Delay::None)
            warn("event " + std::to_string(event.number) + " follows an event with the same number; it reads back "
                 "as that event's second line: renumber the list");
    }

    void writeEvent(const Event& event)
    {
        const TimeBase labels = list_.labelsOf(event.frameCount);
        if (event.split.delay != Split::Delay::None)
            line(event.split.statement(labels.labelsPerSecond()));
        const char separator = event.semicolonFrames ? ';' : ':';
        for (const EditLine& edit : event.lines) {
            warnAboutFields(event.number, edit);
            line(eventLine(event.number, edit, labels, separator));
            if (const std::string audio = edit.channels.audioLineText(); !audio.empty())
                line(audio);
        }
        if (event.assemble)
            line(CmxFormat::assembleComment);
        for (const Note& note : event.notes)
            line(note.text);
    }

    void warnAboutFields(int number, const EditLine& edit)
    {
        if (number > CmxFormat::largestNumber)
            warn("event number " + std::to_string(number) + " is past 999; other systems may not read it");
        if (edit.reel.size() > CmxFormat::reelWidth)
            warn("reel " + edit.reel + " is longer than 8 characters; written whole");
        else if (!upperLettersAndDigits(edit.reel))
            warn("reel " + edit.reel + " is not upper-case letters and digits; other systems may not read it");
        if (edit.transition.duration > largestDuration)
            warn("transition of " + std::to_string(edit.transition.duration)
                 + " frames is past 999; other systems may not read it");
    }

    static std::string eventLine(int number, const EditLine& edit, TimeBase labels, char separator)
    {
        std::string text = numberText(number);
        padTo(text, reelColumn);
        text += edit.reel;
        padTo(text, channelColumn);
        text += edit.channels.fieldText();
        padTo(text, transitionColumn);
        text += edit.transition.fieldText();
        padTo(text, durationColumn);
        text += edit.transition.durationText();
        padTo(text, sourceInColumn);
        text += TimeCodeText::format(edit.sourceIn, labels, separator);
        for (int frame : {edit.sourceOut, edit.recordIn, edit.recordOut})
            text += ' ' + TimeCodeText::format(frame, labels, separator);
        return text;
    }

    const EventList& list_;
    WrittenList written_;
    int lineNumber_ = 0;
};

} // namespace

WrittenList CmxWriter::write(const EventList& list)
{
    return ListText(list).write();
}

#include "eventlist/CmxReader.h"

#include "eventlist/CmxFormat.h"
#include "eventlist/ListError.h"
#include "eventlist/PlainText.h"
#include "eventlist/TimeCodeText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>

namespace {

constexpr std::size_t numberDigits = 6;
constexpr std::size_t transitionDigits = 4;
constexpr std::size_t timeCodesPerLine = 4;

struct KnownStatement {
    const char* word;
    const char* meaning;
};

// Statements a controller meets in a list and does not perform.
constexpr std::array<KnownStatement, 5> knownStatements{{
    {"GPI", "a switcher's trigger"},
    {"M/S", "master and slave"},
    {"SWM", "switcher memory"},
    {"M2", "motion memory"},
    {"%", "motion memory data"},
}};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && PlainText::isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && PlainText::isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int numberOf(std::string_view digits)
{
    int value = 0;
    for (char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && PlainText::isBlank(text[at]))
            ++at;
        const std::size_t start = at;
        while (at < text.size() && !PlainText::isBlank(text[at]))
            ++at;
        if (at > start)
            result.push_back(text.substr(start, at - start));
    }
    return result;
}

std::string joined(const std::vector<std::string_view>& parts)
{
    std::string text;
    for (std::string_view part : parts) {
        if (!text.empty())
            text += ' ';
        text.append(part);
    }
    return text;
}

// An event line as read, with what it needs said about it.
struct ReadLine {
    int number = 0;
    EditLine edit;
    bool otherSeparator = false;
    std::string skippedLabel;
    std::string cutDuration;
    bool missingDuration = false;
};

class Reader {
public:
    explicit Reader(TimeBase base) : base_(base), list_(base), mode_(defaultMode(base)) {}

    void line(std::string_view raw)
    {
        ++lineNumber_;
        const std::string_view body = trimmed(raw);
        if (body.empty())
            return;
        if (body.front() == '*') {
            comment(body);
            return;
        }
        if (body.find('\t') != std::string_view::npos)
            warn("tabs between the fields; other systems may misread the columns");
        const std::vector<std::string_view> fields = words(body);
        const std::string head = PlainText::upper(body.substr(0, 6));
        if (startsWith(head, "TITLE:"))
            title(body);
        else if (startsWith(head, "FCM:"))
            frameCountMode(body);
        else if (startsWith(head, "SPLIT:"))
            split(body);
        else if (PlainText::upper(fields.front()) == "AUD")
            audio(body, fields);
        else if (allDigits(fields.front()))
            eventLine(body, fields);
        else
            statement(body, fields);
    }

    ReadList finish()
    {
        if (pending_)
            strandSplit("SPLIT: with no event after it; kept, not performed");
        closeEvent();
        for (const Note& note : headerNotes_)
            list_.addHeaderNote(note);
        // Some are said only when a later line settles them; the operator reads them in line order.
        std::stable_sort(warnings_.begin(), warnings_.end(),
                         [](const ListWarning& a, const ListWarning& b) { return a.line < b.line; });
        return {std::move(list_), std::move(warnings_)};
    }

private:
    struct PendingSplit {
        Split split;
        int line = 0;
        std::string text;
        // Where it stood among the notes of the event above it.
        std::size_t notePosition = 0;
    };

    void warn(const std::string& text) { warnAt(lineNumber_, text); }
    void warnAt(int line, const std::string& text) { warnings_.push_back({line, text}); }

    std::string eventName(int number) const { return "event " + std::to_string(number); }

    // The notes of the event above, or of the list before the first event.
    std::vector<Note>& notes() { return open_ ? open_->notes : headerNotes_; }

    void addNote(const Note& note) { notes().push_back(note); }

    void notPerformed(std::string_view body, const std::string& why)
    {
        addNote({Note::Kind::NotPerformed, std::string(body)});
        warn(why);
    }

    void comment(std::string_view body)
    {
        if (PlainText::upper(body) == CmxFormat::assembleComment && markAssemble())
            return;
        addNote({Note::Kind::Comment, std::string(body)});
    }

    bool markAssemble()
    {
        if (open_ && open_->assemble) {
            warn("a second EDIT MODE: ASSEMBLE for " + eventName(open_->number) + "; kept as a comment");
            return false;
        }
        if (!open_ || open_->lines.size() != 1 || !open_->lines.front().channels.recordsEverything()) {
            warn("EDIT MODE: ASSEMBLE does not follow an event of one AA/V line; kept as a comment");
            return false;
        }
        open_->assemble = true;
        assembleLine_ = lineNumber_;
        return true;
    }

    void title(std::string_view body)
    {
        if (titleSeen_ || open_ || !list_.empty()) {
            notPerformed(body, "a TITLE: after the list's title or its first event; kept, not performed");
            return;
        }
        titleSeen_ = true;
        list_.setTitle(std::string(body.substr(6)));
        if (list_.title().size() > CmxFormat::longestTitle)
            warn("the title is longer than 70 characters; kept whole");
    }

    void frameCountMode(std::string_view body)
    {
        const std::string value = PlainText::upper(joined(words(body.substr(4))));
        FrameCountMode mode = FrameCountMode::NonDrop;
        if (value == "DROP FRAME") {
            mode = FrameCountMode::DropFrame;
        } else if (value != "NON-DROP FRAME" && value != "NON DROP FRAME") {
            notPerformed(body, "FCM: " + value + " is not a frame-count mode; the list goes on counting "
                                   + fcmText(mode_));
            return;
        }
        if (!fitsTimeBase(mode, base_))
            throw ListError("line " + std::to_string(lineNumber_) + ": the list counts DROP FRAME and the time base "
                            + base_.settingText() + " does not; it needs the time base 29.97DF");
        if (!modeSeen_) {
            list_.setFrameCountMode(mode);
            modeSeen_ = true;
        }
        mode_ = mode;
    }

    void split(std::string_view body)
    {
        std::string value = PlainText::upper(body.substr(6));
        value.erase(std::remove_if(value.begin(), value.end(), PlainText::isBlank), value.end());
        Split split;
        if (startsWith(value, "AUDIODELAY="))
            split.delay = Split::Delay::Audio;
        else if (startsWith(value, "VIDEODELAY="))
            split.delay = Split::Delay::Video;
        else
            return notPerformed(body, "SPLIT: names no AUDIO DELAY= or VIDEO DELAY=; kept, not performed");
        const std::string delay = value.substr(11);
        const auto fields = TimeCodeText::parse(delay);
        if (fields)
            refuseFramesPastBase(*fields, delay);
        const auto frames = fields ? TimeCodeText::lengthOf(*fields, base_.labelsPerSecond()) : std::nullopt;
        if (!frames || fields->hours > 0)
            return notPerformed(body, "SPLIT: delay " + delay + " is not a delay under an hour; kept, not performed");
        split.frames = *frames;
        if (pending_)
            strandSplit("SPLIT: followed by another SPLIT: before its event; kept, not performed");
        pending_ = PendingSplit{split, lineNumber_, std::string(body), notes().size()};
    }

    // A split that no event takes stays where it stood, as a statement not performed.
    void strandSplit(const std::string& why)
    {
        std::vector<Note>& above = notes();
        above.insert(above.begin() + static_cast<std::ptrdiff_t>(pending_->notePosition),
                     {Note::Kind::NotPerformed, pending_->text});
        warnAt(pending_->line, why);
        pending_.reset();
    }

    void audio(std::string_view body, const std::vector<std::string_view>& fields)
    {
        Channels added;
        for (std::size_t at = 1; at < fields.size(); ++at) {
            if (fields[at] == "3")
                added.audio3 = true;
            else if (fields[at] == "4")
                added.audio4 = true;
            else
                return notPerformed(body, "an AUD line names channels other than 3 and 4; kept, not performed");
        }
        if (!added.audio3 && !added.audio4)
            return notPerformed(body, "an AUD line names no channel; kept, not performed");
        if (!open_)
            return notPerformed(body, "an AUD line before any event; kept, not performed");
        Channels& channels = open_->lines.back().channels;
        channels.audio3 = channels.audio3 || added.audio3;
        channels.audio4 = channels.audio4 || added.audio4;
    }

    void statement(std::string_view body, const std::vector<std::string_view>& fields)
    {
        // Motion memory data may follow its '%' without a blank.
        const std::string word = body.front() == '%' ? "%" : PlainText::upper(fields.front());
        for (const KnownStatement& known : knownStatements) {
            if (word == known.word)
                return notPerformed(body, word + " (" + known.meaning + ") is kept; Kestrix does not perform it");
        }
        notPerformed(body, "a statement Kestrix does not know; kept, not performed");
    }

    void eventLine(std::string_view body, const std::vector<std::string_view>& fields)
    {
        if (fields.front().size() > numberDigits)
            return notPerformed(body, "an event number of more than six digits; kept, not performed");
        const int number = numberOf(fields.front());
        const bool second = !pending_ && open_ && open_->number == number && open_->lines.size() == 1;
        const FrameCountMode lineMode = second ? open_->frameCount : mode_;
        std::string why;
        std::optional<ReadLine> read = readEventLine(fields, lineMode, why);
        if (!read)
            return notPerformed(body, "not read as an event line: " + why + "; kept, not performed");
        read->number = number;
        warnAboutLine(*read, lineMode);
        if (!modeSeen_) {
            warn("no FCM: before the first event; read as " + fcmText(mode_) + ", the time base's");
            modeSeen_ = true;
        }
        if (second) {
            if (mode_ != lineMode)
                warn("FCM: changed between the lines of " + eventName(number) + "; its second line is read as "
                     + fcmText(lineMode) + " like its first");
            open_->lines.push_back(read->edit);
            return;
        }
        if (!pending_ && open_ && open_->number == number)
            warn("a third line of " + eventName(number) + "; read as an event of its own");
        openEvent(*read);
    }

    void openEvent(const ReadLine& read)
    {
        closeEvent();
        Event event;
        event.number = read.number;
        event.lines.push_back(read.edit);
        event.frameCount = mode_;
        event.semicolonFrames = mode_ == FrameCountMode::DropFrame && read.otherSeparator;
        if (pending_) {
            event.split = pending_->split;
            splitLine_ = pending_->line;
            pending_.reset();
        }
        open_ = std::move(event);
        openLine_ = lineNumber_;
    }

    void closeEvent()
    {
        if (!open_)
            return;
        Event& event = *open_;
        if (event.split.delay != Split::Delay::None)
            checkSplit(event);
        if (event.assemble && event.lines.size() != 1) {
            event.assemble = false;
            event.notes.push_back({Note::Kind::Comment, CmxFormat::assembleComment});
            warnAt(assembleLine_, "EDIT MODE: ASSEMBLE on " + eventName(event.number)
                                      + ", which has two lines; kept as a comment");
        }
        list_.append(event);
        if (list_.size() == CmxFormat::largestEventCount + 1)
            warnAt(openLine_, "the list holds more than 999 events; other systems read lists of up to 999");
        open_.reset();
    }

    void checkSplit(const Event& event)
    {
        if (event.lines.size() == 1) {
            warnAt(splitLine_,
                   "SPLIT: before " + eventName(event.number) + ", which has one line; kept, not performed");
            return;
        }
        const int apart = event.lines[1].recordIn - event.lines[0].recordIn;
        if (apart != event.split.frames)
            warnAt(splitLine_, "SPLIT: delays " + std::to_string(event.split.frames) + " frames, but "
                                   + eventName(event.number) + "'s second line starts " + std::to_string(apart)
                                   + " frames after its first");
    }

    void warnAboutLine(const ReadLine& read, FrameCountMode lineMode)
    {
        if (read.number > CmxFormat::largestNumber)
            warn("event number " + std::to_string(read.number) + " is past 999; kept");
        if (read.edit.reel.size() > CmxFormat::reelWidth)
            warn("reel " + read.edit.reel + " is longer than 8 characters; kept whole");
        if (read.otherSeparator && lineMode == FrameCountMode::NonDrop)
            warn("a ';', '.' or ',' before the frames, but the list counts NON-DROP FRAME; read as non-drop");
        if (!read.skippedLabel.empty())
            warn("time code " + read.skippedLabel + " is a label drop-frame counting skips; read as the next label");
        if (read.edit.sourceLength() != read.edit.recordLength())
            warn("the source runs " + std::to_string(read.edit.sourceLength()) + " frames and the record "
                 + std::to_string(read.edit.recordLength()));
        if (!read.cutDuration.empty())
            warn("a cut takes no duration; " + read.cutDuration + " left out");
        if (read.missingDuration)
            warn("a " + read.edit.transition.fieldText() + " transition without a duration; read as 000");
    }

    std::optional<ReadLine> readEventLine(const std::vector<std::string_view>& fields, FrameCountMode lineMode,
                                          std::string& why)
    {
        ReadLine read;
        std::size_t at = 1;
        if (fields.size() < 4 + timeCodesPerLine) {
            why = "too few fields";
            return std::nullopt;
        }
        read.edit.reel = std::string(fields[at++]);
        const auto channels = Channels::fromField(fields[at]);
        if (!channels) {
            why = "channels " + std::string(fields[at]) + " not known";
            return std::nullopt;
        }
        read.edit.channels = *channels;
        ++at;
        if (!readTransition(fields, at, read, why))
            return std::nullopt;
        if (fields.size() - at != timeCodesPerLine) {
            why = "four time codes do not follow the transition";
            return std::nullopt;
        }
        const TimeBase labels = list_.labelsOf(lineMode);
        std::array<int, timeCodesPerLine> frames{};
        for (std::size_t index = 0; index < timeCodesPerLine; ++index) {
            if (!readTimeCode(fields[at + index], labels, read, frames[index], why))
                return std::nullopt;
        }
        read.edit.sourceIn = frames[0];
        read.edit.recordIn = frames[2];
        const auto sourceOut = outPoint(frames[0], frames[1], labels, "source", why);
        const auto recordOut = outPoint(frames[2], frames[3], labels, "record", why);
        if (!sourceOut || !recordOut)
            return std::nullopt;
        read.edit.sourceOut = *sourceOut;
        read.edit.recordOut = *recordOut;
        return read;
    }

    bool readTransition(const std::vector<std::string_view>& fields, std::size_t& at, ReadLine& read,
                        std::string& why)
    {
        const std::string field = PlainText::upper(fields[at++]);
        Transition& transition = read.edit.transition;
        if (field == "C") {
            transition.kind = Transition::Kind::Cut;
        } else if (field == "D") {
            transition.kind = Transition::Kind::Dissolve;
        } else if (field.size() > 1 && field.size() <= 1 + transitionDigits && field[0] == 'W'
                   && allDigits(std::string_view(field).substr(1))) {
            transition.kind = Transition::Kind::Wipe;
            transition.wipeCode = numberOf(std::string_view(field).substr(1));
        } else if (field == "K" || field == "KB" || field == "KO") {
            transition.kind = Transition::Kind::Key;
            transition.keyLayer = field.size() == 2 ? field[1] : ' ';
            const std::string layer = PlainText::upper(fields[at]);
            if (field == "K" && (layer == "B" || layer == "O")) {
                transition.keyLayer = layer[0];
                ++at;
            }
        } else {
            why = "transition " + std::string(fields[at - 1]) + " not known";
            return false;
        }
        readDuration(fields, at, read, why);
        return why.empty();
    }

    void readDuration(const std::vector<std::string_view>& fields, std::size_t& at, ReadLine& read, std::string& why)
    {
        Transition& transition = read.edit.transition;
        const bool given = at < fields.size() && allDigits(fields[at]);
        const bool needed = transition.kind == Transition::Kind::Dissolve || transition.kind == Transition::Kind::Wipe;
        if (!given) {
            read.missingDuration = needed;
            return;
        }
        const std::string_view digits = fields[at++];
        if (digits.size() > transitionDigits)
            why = "a duration of more than four digits";
        else if (transition.kind == Transition::Kind::Cut)
            read.cutDuration = std::string(digits);
        else
            transition.duration = numberOf(digits);
    }

    bool readTimeCode(std::string_view text, TimeBase labels, ReadLine& read, int& frame, std::string& why)
    {
        const auto fields = TimeCodeText::parse(text);
        if (!fields) {
            why = "time code " + std::string(text) + " not read";
            return false;
        }
        refuseFramesPastBase(*fields, text);
        const auto label = TimeCodeText::frameOf(*fields, labels);
        if (!label) {
            why = "time code " + std::string(text) + " is not a label of the time base " + labels.settingText();
            return false;
        }
        frame = label->frame;
        read.otherSeparator = read.otherSeparator || fields->frameSeparator != ':';
        if (label->skippedLabel && read.skippedLabel.empty())
            read.skippedLabel = std::string(text);
        return true;
    }

    // An out point before its in is past midnight only when it is midnight itself: the end of
    // the day. Any other is not an edit.
    static std::optional<int> outPoint(int in, int out, TimeBase labels, const std::string& side, std::string& why)
    {
        if (out >= in)
            return out;
        if (out == 0)
            return labels.framesPerDay();
        why = side + " out before " + side + " in";
        return std::nullopt;
    }

    // Frames 25 to 29 on the 25 base: the list counts 30 frames a second, and every one of its
    // time codes would be read wrong.
    void refuseFramesPastBase(const TimeCodeText::Fields& fields, std::string_view text) const
    {
        const int perSecond = base_.labelsPerSecond();
        if (fields.frames >= perSecond && fields.frames < 30)
            throw ListError("line " + std::to_string(lineNumber_) + ": time code " + std::string(text)
                            + " counts past " + std::to_string(perSecond - 1)
                            + " frames; the list does not fit the time base " + base_.settingText());
    }

    TimeBase base_;
    EventList list_;
    std::vector<ListWarning> warnings_;
    int lineNumber_ = 0;
    FrameCountMode mode_;
    bool modeSeen_ = false;
    bool titleSeen_ = false;
    std::optional<Event> open_;
    int openLine_ = 0;
    int splitLine_ = 0;
    int assembleLine_ = 0;
    std::optional<PendingSplit> pending_;
    std::vector<Note> headerNotes_;
};

} // namespace

ReadList CmxReader::read(std::string_view text, TimeBase base)
{
    Reader reader(base);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            reader.line(text.substr(start));
            break;
        }
        reader.line(text.substr(start, end - start));
        const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    return reader.finish();
}

#pragma once

#include "deck/DeckView.h"

#include <mutex>
#include <string>
#include <vector>

class VCR;

// A deck's view for tests without widgets: keeps what the deck showed, and holds the points
// as an operator typing into the point fields would leave them. Any thread may call it.
class FakeDeckView : public DeckView {
public:
    // Builds a fake view and hands it to the deck.
    static FakeDeckView& attachTo(VCR& vcr);

    void ShowTC(const std::string& tc) override;
    void ShowStatus(const std::string& text) override;
    void ShowPolledStatus(const std::string& text) override;
    void showTransport(const TransportLamps& lamps) override;
    void showRecordTally(bool recording) override;
    void showAlarm(const std::string& text) override;
    std::string pointText(Point point) const override;
    void showPoint(Point point, const std::string& tc) override;
    void showOutPointRefused(bool refused) override;
    void hilightinout(bool in, bool out) override;
    void lockForCue() override;
    void unlockAfterCue() override;

    // What the operator typed into a point field.
    void typePoint(Point point, const std::string& text);

    std::string tc() const { return read(tc_); }
    // The last message, and every message in order.
    std::string message() const;
    std::vector<std::string> messages() const { return read(messages_); }
    std::string polledStatus() const { return read(polled_); }
    // The message or the polled status, whichever came last.
    std::string status() const { return read(status_); }
    TransportLamps lamps() const { return read(lamps_); }
    bool recordTally() const { return read(recordTally_); }
    // The tally has been on at some time.
    bool recordTallyEverOn() const { return read(recordTallyEverOn_); }
    std::string alarm() const { return read(alarm_); }
    // Every alarm raised, in order.
    std::vector<std::string> alarms() const { return read(alarms_); }
    bool outPointRefused() const { return read(outPointRefused_); }
    bool inMarked() const { return read(inMarked_); }
    bool outMarked() const { return read(outMarked_); }
    bool cueLocked() const { return read(cueLocked_); }

private:
    // A copy of one of the fields, taken under the lock.
    template <typename T>
    T read(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }

    mutable std::mutex mutex_;
    std::string tc_ = "00:00:00:00";
    std::vector<std::string> messages_;
    std::string polled_;
    std::string status_;
    TransportLamps lamps_;
    bool recordTally_ = false;
    bool recordTallyEverOn_ = false;
    std::string alarm_;
    std::vector<std::string> alarms_;
    // As the deck panel starts.
    std::string in_ = "00:00:10:00";
    std::string out_ = "00:00:00:00";
    bool outPointRefused_ = false;
    bool inMarked_ = false;
    bool outMarked_ = false;
    bool cueLocked_ = false;
};

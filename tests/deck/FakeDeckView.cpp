#include "tests/deck/FakeDeckView.h"

#include "deck/VCR.h"

#include <memory>

FakeDeckView& FakeDeckView::attachTo(VCR& vcr)
{
    auto view = std::make_unique<FakeDeckView>();
    FakeDeckView& attached = *view;
    vcr.attachView(std::move(view));
    return attached;
}

void FakeDeckView::ShowTC(const std::string& tc)
{
    std::lock_guard lock(mutex_);
    tc_ = tc;
}

void FakeDeckView::ShowStatus(const std::string& text)
{
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    status_ = text;
}

void FakeDeckView::ShowPolledStatus(const std::string& text)
{
    std::lock_guard lock(mutex_);
    polled_ = text;
    status_ = text;
}

void FakeDeckView::showTransport(const TransportLamps& lamps)
{
    std::lock_guard lock(mutex_);
    lamps_ = lamps;
}

void FakeDeckView::showRecordTally(bool recording)
{
    std::lock_guard lock(mutex_);
    recordTally_ = recording;
    recordTallyEverOn_ = recordTallyEverOn_ || recording;
}

std::string FakeDeckView::pointText(Point point) const
{
    std::lock_guard lock(mutex_);
    return point == Point::In ? in_ : out_;
}

void FakeDeckView::showPoint(Point point, const std::string& tc)
{
    typePoint(point, tc);
}

void FakeDeckView::typePoint(Point point, const std::string& text)
{
    std::lock_guard lock(mutex_);
    (point == Point::In ? in_ : out_) = text;
}

void FakeDeckView::showOutPointRefused(bool refused)
{
    std::lock_guard lock(mutex_);
    outPointRefused_ = refused;
}

void FakeDeckView::hilightinout(bool in, bool out)
{
    std::lock_guard lock(mutex_);
    inMarked_ = in;
    outMarked_ = out;
}

void FakeDeckView::lockForCue()
{
    std::lock_guard lock(mutex_);
    cueLocked_ = true;
}

void FakeDeckView::unlockAfterCue()
{
    std::lock_guard lock(mutex_);
    cueLocked_ = false;
}

std::string FakeDeckView::message() const
{
    std::lock_guard lock(mutex_);
    return messages_.empty() ? std::string() : messages_.back();
}

void FakeDeckView::showAlarm(const std::string& text)
{
    std::lock_guard lock(mutex_);
    alarm_ = text;
    if (!text.empty())
        alarms_.push_back(text);
}

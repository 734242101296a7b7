#pragma once

class VCR;
class VCRPanel;

// Both decks' point fields refuse typing while an edit, an event or a list's run uses the
// points: for as long as it lives.
class PointsLocked {
public:
    PointsLocked(VCR& player, VCR& recorder);
    ~PointsLocked();
    PointsLocked(const PointsLocked&) = delete;
    PointsLocked& operator=(const PointsLocked&) = delete;

private:
    VCRPanel& player_;
    VCRPanel& recorder_;
};

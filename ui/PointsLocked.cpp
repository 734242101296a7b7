#include "ui/PointsLocked.h"

#include "ui/VCRPanel.h"

PointsLocked::PointsLocked(VCR& player, VCR& recorder)
    : player_(VCRPanel::of(player)), recorder_(VCRPanel::of(recorder))
{
    player_.lockForEdit(true);
    recorder_.lockForEdit(true);
}

PointsLocked::~PointsLocked()
{
    player_.lockForEdit(false);
    recorder_.lockForEdit(false);
}

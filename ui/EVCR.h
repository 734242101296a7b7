#pragma once

#include <memory>

class EVCRPanel;
class VCR;

// The edit controller: couples the player and the recorder deck and owns the edit panel.
class EVCR {
public:
    EVCR();
    ~EVCR();
    EVCR(const EVCR&) = delete;
    EVCR& operator=(const EVCR&) = delete;

    // Keeps both edits the same length: the deck whose points changed (true: the recorder)
    // computes its duration and the other deck's out point is made from it.
    void reconcile(bool recorderChanged);

    // Shows the recorder's duration as the edit's length when both its points are valid.
    void showLength();

    EVCRPanel& panel() { return *localgui; }

    std::unique_ptr<EVCRPanel> localgui;
    VCR* rvcr = nullptr;
    VCR* pvcr = nullptr;
};

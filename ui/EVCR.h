#pragma once

#include <memory>
#include <mutex>

class EVCRPanel;
class VCR;

// What the edit controller takes from the settings: each deck's preroll in seconds, and
// whether performed edits go to the edit log.
struct EditSettings {
    int playerPreroll = 0;
    int recorderPreroll = 0;
    bool log = false;
};

// The edit controller: couples the player and the recorder deck and owns the edit panel.
class EVCR {
public:
    // For the GUI thread, once both decks have their panels. Each deck asks it to reconcile
    // when its points were set, until it is destroyed.
    EVCR(VCR& player, VCR& recorder, EditSettings settings);
    ~EVCR();
    EVCR(const EVCR&) = delete;
    EVCR& operator=(const EVCR&) = delete;

    // Keeps both edits the same length: the deck whose points changed (true: the recorder)
    // computes its duration and the other deck's out point is made from it.
    void reconcile(bool recorderChanged);

    // Shows the recorder's duration as the edit's length when both its points are valid.
    void showLength();

    // The settings dialog hands over what it changed (GUI thread); an edit takes them when
    // it starts (operator thread).
    void useSettings(const EditSettings& settings);
    EditSettings settings() const;

    EVCRPanel& panel() { return *localgui; }

    VCR* rvcr = nullptr;
    VCR* pvcr = nullptr;
    std::unique_ptr<EVCRPanel> localgui;

private:
    mutable std::mutex settingsMutex_;
    EditSettings settings_;
};

#pragma once

#include "deck/TimeBase.h"
#include "eventlist/CmxReader.h"
#include "eventlist/EventList.h"
#include "eventlist/ListModel.h"
#include "listwindow/ListSaver.h"
#include "ui/EditListLink.h"

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The session's event list: the model with its undo and redo, the reel on the player, and
// the file the list is saved to after every change (on the saver's thread, so nothing here
// waits for the disk). It is the edit panel's link: each edit the recorder confirms becomes the
// next event, with the points as performed.
//
// Made on the GUI thread at start-up before any press; from then on the operator thread owns
// it, as it owns the model: every call but the constructor, load and onNotice is for it. A
// change the list refuses throws ListError with a text for the operator and changes nothing.
class ListKeeper : public EditListLink {
public:
    // An event as the window showed it: its place and its number. A change meant for it is
    // refused when the list changed under it meanwhile (another event is now at that place).
    struct EventRef {
        std::size_t index = 0;
        int number = 0;
    };
    // Texts for the operator: what was added, what was refused, how saving goes. Any thread.
    using Notice = std::function<void(const std::string&)>;

    // The reel on the player until the operator names it.
    static constexpr const char* firstReel = "001";

    // path: the list file; a list that has no file yet is written there at its first change.
    ListKeeper(EventList list, std::string path);

    // The list in the file at start-up; nothing when there is no such file. Throws ListError,
    // naming the file, when it exists and cannot be read or does not fit the base.
    static std::optional<ReadList> load(const std::string& path, TimeBase base);

    // Set once, before any press.
    void onNotice(Notice notice);

    const EventList& list() const { return model_.list(); }
    TimeBase base() const { return model_.list().timeBase(); }
    const std::string& path() const { return saver_.path(); }

    const std::string& reel() const { return reel_; }
    // Throws ListError for a name ReelName refuses.
    void setReel(const std::string& name);

    const Event& event(EventRef ref) const;
    void trim(EventRef ref, TrimPoint point, int frames, Ripple ripple);
    void remove(EventRef ref);
    // The points the panels hold, in their mode, as a new event of the player's reel before
    // position index, recorded or not; returns its position.
    std::size_t insertMarked(std::size_t index, const EditRequest& marked);
    void renumber();
    // False when there was nothing to undo or redo.
    bool undo();
    bool redo();

    int addListener(ListModel::Listener listener);
    void removeListener(int id);

    // An event whose reel is not the one on the player: "MOUNT REEL <name>".
    std::string refusal(const Event& event) const override;
    void onTape(const ConfirmedEdit& edit) override;

    // Waits until the list as it is now is in its file, up to the limit (for the program's end).
    bool flush(std::chrono::milliseconds limit) { return saver_.flush(limit); }
    const ListSaver& saver() const { return saver_; }

private:
    void tell(const std::string& text) const;
    // The saver's results, on its thread: failures and warnings are told when they change.
    void saved(const ListSaver::Result& result);
    std::size_t checked(EventRef ref) const;
    // The panels' points as frame counts of the list's labels.
    EditPoints pointsOf(const EditRequest& edit) const;

    ListModel model_;
    std::string reel_ = firstReel;
    mutable std::mutex noticeMutex_;
    Notice notice_;
    // On the saver's thread only.
    std::string lastFailure_;
    std::vector<ListWarning> lastWarnings_;
    // Last: its thread reports to the members above.
    ListSaver saver_;
};

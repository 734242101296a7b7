#pragma once

#include "eventlist/EventList.h"
#include "listwindow/EventRowText.h"
#include "ui/Widget.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

class EventTableModel;

// The list window's table of events, one row per event (see EventRowText). It shows a copy of
// the list handed to it; only what is in view is drawn, so a list of a thousand events shows
// as fast as one of ten. For the GUI thread only, the toolkit's setters aside.
class EventTable : public ui::Widget {
public:
    EventTable();

    // Shows the list. The operator's row stays where it was (within the list); showing tells
    // no one that a row was chosen.
    void show(const EventList& list);

    std::size_t rowCount() const;
    const Event& eventAt(std::size_t row) const;
    std::string text(std::size_t row, EventRowText::Column column) const;
    std::optional<std::size_t> currentRow() const;

    // Moves to the row as the operator does with the keys.
    void chooseRow(std::size_t row);
    // The operator moved to a row (the arrow keys, a click) or asked for it again (Enter, a
    // double click).
    void onChosen(std::function<void(std::size_t row)> chosen);

private:
    void chosen(int row) const;

    EventTableModel* model_ = nullptr;
    std::function<void(std::size_t)> chosen_;
    bool showing_ = false;
};

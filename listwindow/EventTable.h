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

    // Shows the list. The chosen row stays chosen (within the list); showing tells no one
    // that a row was chosen.
    void show(const EventList& list);

    std::size_t rowCount() const;
    const Event& eventAt(std::size_t row) const;
    std::string text(std::size_t row, EventRowText::Column column) const;
    // The row the operator chose (it stands selected); nothing before the first choice.
    std::optional<std::size_t> chosenRow() const;

    // The state column's text for the row while it shows that event (a run's progress); failed
    // shows it in red.
    void setState(std::size_t row, const Event& event, const std::string& text, bool failed);
    void clearStates();
    // Chooses the row and brings it into view, without loading it as a click does.
    void markRow(std::size_t row);
    // Chooses the row as the operator does with a click; the row chosen already is chosen
    // again.
    void chooseRow(std::size_t row);
    // Chooses the row rows after the chosen one (before it when negative), within the list;
    // the first row when none was chosen.
    void moveChoice(int rows);
    // Told of each choice: a click, a key, Enter or a double click. The table's own focus, which
    // may make a row current, chooses nothing.
    void onChosen(std::function<void(std::size_t row)> chosen);

private:
    void select(std::size_t row);
    void chosen(int row) const;

    EventTableModel* model_ = nullptr;
    std::function<void(std::size_t)> chosen_;
};

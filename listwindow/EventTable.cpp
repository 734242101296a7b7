#include "listwindow/EventTable.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <map>

namespace {

constexpr int rowHeight = 20;
// Widths of the columns in pixels, in EventRowText's order; the state takes what is left.
constexpr int widths[] = {52, 76, 84, 56, 88, 88, 88, 88, 60};

// White rows, every other one grey, and the chosen one marked alike whether the window is
// active or not: the operator works in the main window with the list beside it.
QPalette tablePalette(QPalette palette)
{
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::AlternateBase, QColor(235, 235, 235));
        palette.setColor(group, QPalette::Text, Qt::black);
        palette.setColor(group, QPalette::Highlight, QColor(255, 220, 0));
        palette.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    return palette;
}

}

// The rows of a list for the table view.
class EventTableModel : public QAbstractTableModel {
public:
    explicit EventTableModel(QObject* parent) : QAbstractTableModel(parent) {}

    const EventList& list() const { return list_; }

    void setList(const EventList& list)
    {
        if (list.size() != list_.size()) {
            beginResetModel();
            list_ = list;
            endResetModel();
            return;
        }
        list_ = list;
        if (!list_.empty())
            dataChanged(index(0, 0), index(static_cast<int>(list_.size()) - 1, EventRowText::Count - 1));
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(list_.size());
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : EventRowText::Count;
    }

    QVariant data(const QModelIndex& at, int role) const override
    {
        if (!at.isValid() || at.row() >= rowCount())
            return {};
        const auto row = static_cast<std::size_t>(at.row());
        const auto column = static_cast<EventRowText::Column>(at.column());
        if (column == EventRowText::State && role != Qt::DisplayRole) {
            const RowState* state = stateOf(row);
            if (state && role == Qt::ForegroundRole && state->failed)
                return QColor(200, 0, 0);
            // A state too long for its column is read whole in its tooltip.
            if (state && role == Qt::ToolTipRole)
                return QString::fromStdString(state->text);
            return {};
        }
        if (role != Qt::DisplayRole)
            return {};
        return QString::fromStdString(cellText(row, column));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= EventRowText::Count)
            return {};
        return QString(EventRowText::heading(static_cast<EventRowText::Column>(section)));
    }

    std::string cellText(std::size_t row, EventRowText::Column column) const
    {
        if (column == EventRowText::State) {
            const RowState* state = stateOf(row);
            return state ? state->text : std::string();
        }
        return EventRowText::cell(list_[row], column, list_.timeBase());
    }

    void setState(std::size_t row, const Event& event, const std::string& text, bool failed)
    {
        states_[row] = {event, text, failed};
        if (row < list_.size()) {
            const QModelIndex cell = index(static_cast<int>(row), EventRowText::State);
            dataChanged(cell, cell);
        }
    }

    void clearStates()
    {
        states_.clear();
        if (!list_.empty())
            dataChanged(index(0, EventRowText::State), index(static_cast<int>(list_.size()) - 1, EventRowText::State));
    }

private:
    struct RowState {
        Event event;
        std::string text;
        bool failed = false;
    };

    // A state belongs to the event it was given for: a row that now holds another shows none.
    const RowState* stateOf(std::size_t row) const
    {
        const auto found = states_.find(row);
        if (found == states_.end() || row >= list_.size() || !(list_[row] == found->second.event))
            return nullptr;
        return &found->second;
    }

    EventList list_;
    std::map<std::size_t, RowState> states_;
};

EventTable::EventTable() : Widget(create<QTableView>())
{
    ui::Gui::call([this] {
        auto* view = static_cast<QTableView*>(qwidget());
        model_ = new EventTableModel(view);
        view->setModel(model_);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->verticalHeader()->hide();
        view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->verticalHeader()->setDefaultSectionSize(rowHeight);
        view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        view->horizontalHeader()->setStretchLastSection(true);
        for (int column = 0; column < EventRowText::Count; ++column)
            view->setColumnWidth(column, widths[column]);
        view->setAlternatingRowColors(true);
        view->setPalette(tablePalette(view->palette()));
        // A click selects its row before it is told; the keys go through moveChoice.
        QObject::connect(view, &QAbstractItemView::clicked, [this](const QModelIndex& at) { chosen(at.row()); });
        QObject::connect(view, &QAbstractItemView::activated, [this](const QModelIndex& at) { chosen(at.row()); });
    });
}

void EventTable::show(const EventList& list)
{
    const std::optional<std::size_t> row = chosenRow();
    model_->setList(list);
    if (row && !list.empty())
        select(std::min(*row, list.size() - 1));
}

std::size_t EventTable::rowCount() const
{
    return model_->list().size();
}

const Event& EventTable::eventAt(std::size_t row) const
{
    return model_->list()[row];
}

std::string EventTable::text(std::size_t row, EventRowText::Column column) const
{
    return model_->cellText(row, column);
}

std::optional<std::size_t> EventTable::chosenRow() const
{
    const QModelIndexList selected = static_cast<QTableView*>(qwidget())->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return std::nullopt;
    return static_cast<std::size_t>(selected.front().row());
}

void EventTable::select(std::size_t row)
{
    auto* view = static_cast<QTableView*>(qwidget());
    const QModelIndex at = model_->index(static_cast<int>(row), 0);
    view->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(at);
}

void EventTable::setState(std::size_t row, const Event& event, const std::string& text, bool failed)
{
    model_->setState(row, event, text, failed);
}

void EventTable::clearStates()
{
    model_->clearStates();
}

void EventTable::markRow(std::size_t row)
{
    if (row < rowCount())
        select(row);
}

void EventTable::chooseRow(std::size_t row)
{
    if (row >= rowCount())
        return;
    select(row);
    chosen(static_cast<int>(row));
}

void EventTable::moveChoice(int rows)
{
    if (rowCount() == 0)
        return;
    const std::optional<std::size_t> row = chosenRow();
    const long last = static_cast<long>(rowCount()) - 1;
    const long next = row ? static_cast<long>(*row) + rows : 0;
    chooseRow(static_cast<std::size_t>(std::clamp(next, 0L, last)));
}

void EventTable::onChosen(std::function<void(std::size_t row)> chosen)
{
    chosen_ = std::move(chosen);
}

void EventTable::chosen(int row) const
{
    if (chosen_ && row >= 0 && static_cast<std::size_t>(row) < rowCount())
        chosen_(static_cast<std::size_t>(row));
}

#include "results/sort_state.h"

namespace {

uint8_t DirectionFlag(bool ascending) {
    return ascending ? 1 : 0;
}

}  // namespace

void SortState::Sort(ResultSet& results, Column column) {
    SortByColumn(results, column, DirectionFlag(ascending_));
    marked_ = column;
    marker_ = SortMarker(DirectionFlag(ascending_));
}

void SortState::Click(ResultSet& results, Column column) {
    Sort(results, column);
    ascending_ = FlippedDirection(DirectionFlag(ascending_)) == 1;
}

std::u16string SortState::HeaderText(Column column) const {
    return marked_ == column ? MarkedHeaderText(column, marker_) : NeutralHeaderText(column);
}

std::vector<std::u16string> SortState::HeaderTexts() const {
    std::vector<std::u16string> texts;
    for (int position = 0; position < ColumnCount; ++position) {
        texts.push_back(HeaderText(*ColumnAt(position)));
    }
    return texts;
}

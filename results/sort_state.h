// The sort state that header clicks and sort commands share: the direction of the next ordering,
// and which column's header carries a mark with which arrow. One copy serves the window, the CLI
// and the window benchmark, so that the three cannot drift apart.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "results/ordering.h"
#include "results/result_set.h"

class SortState {
  public:
    // A sort command: the rows ordered by `column` with the current direction, and `column`'s
    // header marked with that direction. The direction stays.
    void Sort(ResultSet& results, Column column);
    // A header click: the same sort, then the direction of the next ordering flips.
    void Click(ResultSet& results, Column column);

    // "升序" and "降序" choose the direction of the next ordering; the rows and the mark stay.
    void SetAscending(bool ascending) { ascending_ = ascending; }
    bool Ascending() const { return ascending_; }

    // The column whose header carries a mark; none before the first ordering.
    std::optional<Column> Marked() const { return marked_; }
    // The column's header text: neutral, or with the marker of the ordering that marked it.
    std::u16string HeaderText(Column column) const;
    // The five header texts, column 0 first.
    std::vector<std::u16string> HeaderTexts() const;

  private:
    bool ascending_ = true;
    std::optional<Column> marked_;
    char16_t marker_ = 0;
};

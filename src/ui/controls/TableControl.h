#pragma once

#include <string>
#include <vector>

#include "ui/controls/Control.h"

namespace stowaway {

// A read-only table of text with selected rows (one, unless it lets the user
// choose several); a row can be marked as one that needs the user's attention
// (a failed last run, an overdue Crate, a newer file).
class TableControl : public Control {
  public:
    TableControl(std::string name, std::vector<std::string> headers, Place place = {},
                 bool multiSelect = false)
        : Control(std::move(name), place),
          headers_(std::move(headers)),
          multiSelect_(multiSelect) {}
    const std::vector<std::string>& headers() const { return headers_; }
    bool multiSelect() const { return multiSelect_; }

    struct Row {
        std::vector<std::string> cells;
        bool attention = false;
        bool operator==(const Row&) const = default;
    };
    const std::vector<Row>& rows() const { return rows_; }
    // Selected rows past the new end are dropped.
    void setRows(std::vector<Row> rows) {
        set(rows_, std::move(rows));
        std::vector<int> kept;
        for (const int row : selectedRows_)
            if (row < static_cast<int>(rows_.size())) kept.push_back(row);
        set(selectedRows_, std::move(kept));
    }
    // The first selected row, or -1.
    int selected() const { return selectedRows_.empty() ? -1 : selectedRows_.front(); }
    const std::vector<int>& selectedRows() const { return selectedRows_; }
    // Choosing a row, by the user or from code, raises onSelect.
    void select(int row) { selectRows(row < 0 ? std::vector<int>{} : std::vector<int>{row}); }
    // Rows out of range are dropped; a single-choice table keeps the first.
    void selectRows(std::vector<int> rows) {
        std::vector<int> kept;
        for (const int row : rows)
            if (row >= 0 && row < static_cast<int>(rows_.size())) kept.push_back(row);
        if (!multiSelect_ && kept.size() > 1) kept.resize(1);
        set(selectedRows_, std::move(kept));
        Fire(onSelect);
    }
    Handler onSelect;

  private:
    std::vector<std::string> headers_;
    std::vector<Row> rows_;
    std::vector<int> selectedRows_;
    bool multiSelect_;
};

}  // namespace stowaway

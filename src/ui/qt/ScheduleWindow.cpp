#include "ui/qt/ScheduleWindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

#include "ui/qt/FocusOrder.h"
#include "ui/schedule/ScheduleForm.h"

namespace stowaway {

namespace {

// Rows that need the user: a failed last run or an overdue Crate.
const QColor AttentionBackground(255, 224, 224);

void FillTable(QTableWidget* table, const TableControl& model) {
    const auto& rows = model.rows();
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TableControl::Row& row = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < table->columnCount(); ++c) {
            const std::string text = c < static_cast<int>(row.cells.size())
                                         ? row.cells[static_cast<std::size_t>(c)]
                                         : "";
            auto* item = new QTableWidgetItem(ToQ(text));
            item->setToolTip(ToQ(text));
            if (row.attention) item->setBackground(AttentionBackground);
            table->setItem(r, c, item);
        }
    }
    // Long texts (an error line) stay in reach through the tooltip.
    table->resizeColumnsToContents();
    for (int c = 0; c < table->columnCount(); ++c)
        if (table->columnWidth(c) > 170) table->setColumnWidth(c, 170);
    if (model.selected() >= 0)
        table->selectRow(model.selected());
    else
        table->clearSelection();
}

}  // namespace

ScheduleWindow::ScheduleWindow(ScheduleForm& f, ViewHub& hub, QWidget* parent)
    : FormWindow(f, hub, parent,
                 Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    add(f.LblCrates);
    auto* table = new QTableWidget(0, static_cast<int>(f.TblSchedules.headers().size()), this);
    table->setObjectName(ToQ(f.TblSchedules.name()));
    QStringList headers;
    for (const std::string& header : f.TblSchedules.headers()) headers << ToQ(header);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    placeWidget(table, f.TblSchedules);
    registerWidget(f.TblSchedules.name(), table);
    bind({&f.TblSchedules}, table, [table, &f] { FillTable(table, f.TblSchedules); });
    QObject::connect(table, &QTableWidget::itemSelectionChanged, table, [this, table, &f] {
        if (updating()) return;
        const QList<QTableWidgetItem*> chosen = table->selectedItems();
        const int row = chosen.isEmpty() ? -1 : chosen.front()->row();
        if (row == f.TblSchedules.selected()) return;
        forward([&f, row] { f.TblSchedules.select(row); });
    });

    add(f.LblWhen);
    add(f.TxtWhen);
    add(f.LblOverdueDays);
    add(f.TxtOverdueDays);
    add(f.CmdApply);
    add(f.CmdRemove);
    add(f.CmdClose);
    add(f.LblWhenForms);
    for (Label* label : {&f.LblScheduler, &f.LblMoved, &f.LblMessage}) {
        auto* shown = static_cast<QLabel*>(add(*label));
        shown->setWordWrap(true);
        shown->setProperty(HeightOnlyProperty, true);
    }
    add(f.CmdFixMoved);
    OrderFocusChain(this);
}

}  // namespace stowaway

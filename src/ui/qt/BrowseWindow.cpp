#include "ui/qt/BrowseWindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QTableWidget>
#include <QTreeWidget>
#include <algorithm>
#include <functional>

#include "ui/browse/BrowseForm.h"
#include "ui/qt/FocusOrder.h"

namespace stowaway {

namespace {

// Rows that need the user: a version that did not pass its check, a changed
// file, a newer file that would be replaced.
const QColor AttentionBackground(255, 224, 224);
constexpr int KeyRole = Qt::UserRole;

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
    table->resizeColumnsToContents();
    for (int c = 0; c < table->columnCount(); ++c)
        if (table->columnWidth(c) > 320) table->setColumnWidth(c, 320);
    table->clearSelection();
    for (const int row : model.selectedRows()) {
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

std::vector<int> SelectedRows(const QTableWidget* table) {
    std::vector<int> rows;
    for (const QModelIndex& index : table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void AddNodes(QTreeWidget* tree, QTreeWidgetItem* parent,
              const std::vector<TreeControl::Node>& nodes, const std::string& selected) {
    for (const TreeControl::Node& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, ToQ(node.label));
        item->setToolTip(0, ToQ(node.key.empty() ? "/" : "/" + node.key));
        item->setData(0, KeyRole, ToQ(node.key));
        item->setChildIndicatorPolicy(node.loaded && node.children.empty()
                                          ? QTreeWidgetItem::DontShowIndicator
                                          : QTreeWidgetItem::ShowIndicator);
        AddNodes(tree, item, node.children, selected);
        item->setExpanded(node.expanded);
        if (node.key == selected) tree->setCurrentItem(item);
    }
}

}  // namespace

QTableWidget* BrowseWindow::addTable(TableControl& model) {
    auto* table = new QTableWidget(0, static_cast<int>(model.headers().size()), this);
    table->setObjectName(ToQ(model.name()));
    QStringList headers;
    for (const std::string& header : model.headers()) headers << ToQ(header);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(model.multiSelect() ? QAbstractItemView::ExtendedSelection
                                                : QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideMiddle);
    placeWidget(table, model);
    registerWidget(model.name(), table);
    bind({&model}, table, [table, &model] { FillTable(table, model); });
    QObject::connect(table, &QTableWidget::itemSelectionChanged, table, [this, table, &model] {
        if (updating()) return;
        std::vector<int> rows = SelectedRows(table);
        if (rows == model.selectedRows()) return;
        forward([&model, rows] { model.selectRows(rows); });
    });
    return table;
}

QTreeWidget* BrowseWindow::addTree(TreeControl& model) {
    auto* tree = new QTreeWidget(this);
    tree->setObjectName(ToQ(model.name()));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    placeWidget(tree, model);
    registerWidget(model.name(), tree);
    bind({&model}, tree, [tree, &model] {
        tree->clear();
        AddNodes(tree, nullptr, model.roots(), model.selected());
    });
    // The model rebuilds the items, which must not go while the tree is still
    // handling the click that opened one: the item's key is taken at once, the
    // model told once the event is over.
    auto key = [](QTreeWidgetItem* item) { return FromQ(item->data(0, KeyRole).toString()); };
    auto later = [this, tree](std::function<void()> input) {
        QMetaObject::invokeMethod(
            tree, [this, input] { forward(input); }, Qt::QueuedConnection);
    };
    auto opened = [this, &model, key, later](QTreeWidgetItem* item, bool open) {
        if (updating()) return;
        const std::string k = key(item);
        later([&model, k, open] {
            const TreeControl::Node* node = model.find(k);
            if (node && node->expanded != open) model.expand(k, open);
        });
    };
    QObject::connect(tree, &QTreeWidget::itemExpanded, tree,
                     [opened](QTreeWidgetItem* item) { opened(item, true); });
    QObject::connect(tree, &QTreeWidget::itemCollapsed, tree,
                     [opened](QTreeWidgetItem* item) { opened(item, false); });
    QObject::connect(tree, &QTreeWidget::currentItemChanged, tree,
                     [this, &model, key, later](QTreeWidgetItem* current, QTreeWidgetItem*) {
                         if (updating() || !current) return;
                         const std::string k = key(current);
                         later([&model, k] {
                             if (k != model.selected()) model.select(k);
                         });
                     });
    return tree;
}

BrowseWindow::BrowseWindow(BrowseForm& f, ViewHub& hub, QWidget* parent)
    : FormWindow(f, hub, parent,
                 Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                     Qt::MSWindowsFixedSizeDialogHint) {
    add(f.LblVersions);
    addTable(f.TblVersions);
    add(f.LblFolders);
    addTree(f.TreFolders);
    add(f.LblFiles);
    addTable(f.TblFiles);
    add(f.LblSearch);
    auto* search = static_cast<QLineEdit*>(add(f.TxtSearch));
    // Enter in the box finds, as the button does.
    QObject::connect(search, &QLineEdit::returnPressed, search, [this, &f] {
        if (!updating()) forward([&f] { f.CmdSearch.click(); });
    });
    add(f.CmdSearch);
    add(f.LblFound);
    addTable(f.TblResults);
    add(f.LblHistory);
    addTable(f.TblHistory);
    add(f.LblReplace);
    addTable(f.TblReplace);
    add(f.CmdReplace);
    add(f.CmdKeep);
    add(f.CmdRestoreOriginal);
    add(f.CmdRestoreTo);
    add(f.PrbRestore);
    add(f.CmdCancel);
    add(f.CmdClose);
    auto* message = static_cast<QLabel*>(add(f.LblMessage));
    message->setWordWrap(true);
    message->setProperty(HeightOnlyProperty, true);
    for (QLabel* label : {static_cast<QLabel*>(widget(f.LblFound.name())),
                          static_cast<QLabel*>(widget(f.LblReplace.name()))})
        label->setProperty(HeightOnlyProperty, true);
    OrderFocusChain(this);
}

}  // namespace stowaway

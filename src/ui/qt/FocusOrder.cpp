#include "ui/qt/FocusOrder.h"

#include <QWidget>
#include <algorithm>
#include <vector>

namespace stowaway {

namespace {

bool TakesTab(const QWidget* w) {
    return (w->focusPolicy() & Qt::TabFocus) != 0;
}

bool HoldsTabStops(const QWidget* w) {
    if (TakesTab(w)) return true;
    for (const QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && HoldsTabStops(child)) return true;
    return false;
}

// The container's pieces in reading order: a piece joins the row under way while
// its top lies above the lowest bottom of that row; rows go by x, then y.
std::vector<QWidget*> ReadingOrder(QWidget* container) {
    std::vector<QWidget*> pieces;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && HoldsTabStops(child)) pieces.push_back(child);
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
    std::vector<QWidget*> ordered;
    for (std::size_t start = 0; start < pieces.size();) {
        std::size_t end = start + 1;
        int bottom = pieces[start]->geometry().bottom();
        while (end < pieces.size() && pieces[end]->y() < bottom) {
            bottom = std::max(bottom, pieces[end]->geometry().bottom());
            ++end;
        }
        std::stable_sort(pieces.begin() + static_cast<std::ptrdiff_t>(start),
                         pieces.begin() + static_cast<std::ptrdiff_t>(end),
                         [](const QWidget* a, const QWidget* b) {
                             return a->x() != b->x() ? a->x() < b->x() : a->y() < b->y();
                         });
        ordered.insert(ordered.end(), pieces.begin() + static_cast<std::ptrdiff_t>(start),
                       pieces.begin() + static_cast<std::ptrdiff_t>(end));
        start = end;
    }
    return ordered;
}

void Collect(QWidget* container, std::vector<QWidget*>& stops) {
    for (QWidget* piece : ReadingOrder(container)) {
        if (TakesTab(piece))
            stops.push_back(piece);
        else
            Collect(piece, stops);
    }
}

}  // namespace

void OrderFocusChain(QWidget* window) {
    std::vector<QWidget*> stops;
    Collect(window, stops);
    for (std::size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1], stops[i]);
}

}  // namespace stowaway

#include "ui/qt/StatusPanel.h"

#include <QEvent>
#include <QFontMetrics>

namespace stowaway {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setObjectName("StBMainPanel");
    setTextFormat(Qt::PlainText);
}

void StatusPanel::setStatus(const QString& text) {
    status_ = text;
    setProperty(StatusTextProperty, text);
    fit();
}

void StatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusPanel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) fit();
}

void StatusPanel::fit() {
    // The room inside the frame, less the label's margins and its indent (half an
    // "x" beside a frame when none is set).
    const int indentRoom = indent() >= 0 ? indent()
                           : frameWidth() > 0
                               ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                               : 0;
    const int room = contentsRect().width() - 2 * margin() - indentRoom - 1;
    const QString shown = fontMetrics().elidedText(status_, Qt::ElideMiddle, room < 0 ? 0 : room);
    if (text() != shown) setText(shown);
    const QString tip = shown == status_ ? QString() : status_;
    if (toolTip() != tip) setToolTip(tip);
}

}  // namespace stowaway

#include "ui/qt/FormView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "ui/qt/Icons.h"

namespace stowaway {

namespace {

// Turns chosen events of a widget into calls; lives as long as the widget.
class EventHook : public QObject {
  public:
    EventHook(QWidget* widget, QEvent::Type type, std::function<void(QEvent*)> call)
        : QObject(widget), type_(type), call_(std::move(call)) {
        widget->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == type_) call_(event);
        return false;
    }

  private:
    QEvent::Type type_;
    std::function<void(QEvent*)> call_;
};

constexpr double MinimumPointSize = 6.0;

// Room a button's frame and a check box's indicator take beside the text.
int ButtonPadding(const QWidget* w) {
    return 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w) + 4;
}
int IndicatorRoom(const QWidget* w) {
    return w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
           w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
}

// A caption fits with its widest alternative too.
// How wide a one-line label or a check box may grow: into the free room on its
// right, up to the next control in its row or near its container's edge.
int Room(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    if (!parent) return widget->width();
    int right = parent->width() - 4;
    const QRect own = widget->geometry();
    for (const QWidget* other : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == widget || other->isWindow() || !other->isVisibleTo(parent)) continue;
        const QRect g = other->geometry();
        if (g.x() > own.x() && g.top() <= own.bottom() && g.bottom() >= own.top())
            right = std::min(right, g.x() - 2);
    }
    return std::max(widget->width(), right - own.x());
}

bool Grows(const QWidget* widget) {
    if (qobject_cast<const QCheckBox*>(widget)) return true;
    auto* label = qobject_cast<const QLabel*>(widget);
    return label && !label->wordWrap() && !label->property("autoSize").toBool() &&
           !label->property(HeightOnlyProperty).toBool();
}

bool FitsWith(const QWidget* widget, const QFont& font) {
    const QFontMetrics fm(font);
    int w = Grows(widget) ? Room(widget) : widget->width();
    const int h = widget->height();
    const QString widest = widget->property(WidestTextProperty).toString();
    if (auto* label = qobject_cast<const QLabel*>(widget)) {
        // A status panel cuts a long text; a whole line must show.
        if (label->property(HeightOnlyProperty).toBool()) return fm.height() <= h - 4;
        const QString text = label->text();
        if (text.isEmpty()) return true;
        if (label->wordWrap()) {
            const QRect r = fm.boundingRect(QRect(0, 0, w, 100000), Qt::TextWordWrap, text);
            return r.height() <= h && r.width() <= w;
        }
        // A label sized to its text may grow up to its container's edge.
        if (label->property("autoSize").toBool() && label->parentWidget())
            return fm.horizontalAdvance(text) <= label->parentWidget()->width() - label->x() - 4;
        return fm.horizontalAdvance(text) <= w && fm.height() <= h + 3;
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        // Boxes scroll what they hold, but show a whole line; one with a widest
        // text (the date) shows that whole too.
        const int frame =
            2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        return fm.height() <= h + 1 &&
               (widest.isEmpty() || fm.horizontalAdvance(widest) + frame + 4 <= w);
    }
    if (auto* box = qobject_cast<const QCheckBox*>(widget)) {
        const QString text = PlainCaption(box->text());
        if (text.isEmpty()) return true;
        return IndicatorRoom(box) + fm.horizontalAdvance(text) <= w && fm.height() <= h + 3;
    }
    if (auto* button = qobject_cast<const QPushButton*>(widget)) {
        const QString text = PlainCaption(button->text());
        if (text.isEmpty()) return true;
        const int needed = std::max(fm.horizontalAdvance(text), fm.horizontalAdvance(widest));
        return needed + ButtonPadding(button) <= w && fm.height() <= h;
    }
    if (auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return fm.horizontalAdvance(group->title()) + 16 <= w;
    }
    return true;
}

}  // namespace

const char* const FrameStyleSheet =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
    " padding: 0px 2px; background-color: palette(window); }";

QString ToQ(const std::string& text) {
    return QString::fromStdString(text);
}
std::string FromQ(const QString& text) {
    return text.toStdString();
}

QString PlainCaption(const QString& caption) {
    QString out;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

bool CaptionFits(const QWidget* widget) {
    return FitsWith(widget, widget->font());
}

const char* const WidestTextProperty = "widestText";
const char* const HeightOnlyProperty = "heightOnly";

double ApplyWindowFont(const std::vector<QWidget*>& windows) {
    std::vector<QWidget*> captioned;
    for (QWidget* window : windows)
        for (QWidget* w : window->findChildren<QWidget*>())
            if (!w->objectName().isEmpty() && w->window() == window &&
                !w->testAttribute(Qt::WA_SetFont))
                captioned.push_back(w);
    QFont font = QApplication::font();
    double size = font.pointSizeF();
    if (size <= 0) return size;
    // A box's text does not choose the size: the date box narrows its letters
    // instead (below), so that no caption is smaller than the others.
    auto fitsAll = [&] {
        for (QWidget* w : captioned) {
            if (qobject_cast<QLineEdit*>(w)) {
                if (QFontMetrics(font).height() > w->height() + 1) return false;
            } else if (!FitsWith(w, font)) {
                return false;
            }
        }
        return true;
    };
    while (!fitsAll() && size > MinimumPointSize) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    // Set on each widget: a window's style sheet keeps its children from inheriting it.
    for (QWidget* window : windows) window->setFont(font);
    for (QWidget* w : captioned) w->setFont(font);
    for (QWidget* w : captioned) {
        if (!qobject_cast<QLineEdit*>(w) || FitsWith(w, font)) continue;
        w->setStyleSheet("QLineEdit { padding: 0px; }");
        for (int stretch : {QFont::SemiCondensed, QFont::Condensed, QFont::ExtraCondensed}) {
            QFont narrow = font;
            narrow.setStretch(stretch);
            w->setFont(narrow);
            if (FitsWith(w, narrow)) break;
        }
    }
    // Labels sized to their text follow the font; captions wider than their place
    // take the free room beside it.
    for (QWidget* w : captioned) {
        if (w->property("autoSize").toBool()) {
            w->adjustSize();
        } else if (Grows(w)) {
            const QFontMetrics fm(font);
            QString text;
            int extra = 2;
            if (auto* box = qobject_cast<QCheckBox*>(w)) {
                text = PlainCaption(box->text());
                extra = IndicatorRoom(box) + 2;
            } else if (auto* label = qobject_cast<QLabel*>(w)) {
                text = label->text();
            }
            const int needed = text.isEmpty() ? 0 : fm.horizontalAdvance(text) + extra;
            if (needed > w->width()) w->resize(std::min(needed, Room(w)), w->height());
        }
    }
    return size;
}

// ---- ViewHub ----

void ViewHub::add(FormView* view) {
    views_.push_back(view);
}

void ViewHub::remove(FormView* view) {
    std::erase(views_, view);
}

void ViewHub::refreshAll() {
    ++updating_;
    for (FormView* view : std::vector<FormView*>(views_))
        if (std::find(views_.begin(), views_.end(), view) != views_.end()) view->refresh();
    --updating_;
}

void ViewHub::forward(const std::function<void()>& input) {
    if (updating()) return;
    input();
    refreshAll();
}

// ---- FormView ----

void FormView::refresh() {
    for (Binding& b : bindings_) {
        if (!b.widget) continue;
        std::uint64_t key = 0;
        for (const Control* m : b.models) key += m->revision();
        if (key == b.seen) continue;
        b.seen = key;
        const Control& first = *b.models.front();
        const QSignalBlocker blocker(b.widget.data());
        if (b.common) {
            b.widget->setEnabled(first.enabled());
            if (!b.widget->isWindow()) b.widget->setVisible(first.visible());
            b.widget->setToolTip(ToQ(first.toolTip()));
        }
        if (b.apply) b.apply();
    }
}

QWidget* FormView::widget(const std::string& name) const {
    auto it = widgets_.find(name);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* FormView::containerOf(const Place& place) const {
    auto it = containers_.find(place.container);
    if (it == containers_.end()) it = containers_.find("");
    return it->second.first;
}

void FormView::placeWidget(QWidget* widget, const Control& control) {
    const Place& p = control.place();
    auto it = containers_.find(p.container);
    const int dy = it == containers_.end() ? 0 : it->second.second;
    widget->setObjectName(ToQ(control.name()));
    if (p.width > 0 && p.height > 0) {
        widget->setGeometry(p.x, p.y + dy, p.width, p.height);
    } else {
        widget->move(p.x, p.y + dy);
        widget->adjustSize();
        if (p.width > 0) widget->resize(p.width, widget->height());
    }
    registerWidget(control.name(), widget);
}

void FormView::bind(std::vector<const Control*> models, QWidget* widget,
                    std::function<void()> apply, bool common) {
    bindings_.push_back({std::move(models), widget, std::move(apply), common});
}

void FormView::SetCaption(QWidget* widget, const std::string& caption) {
    const QString text = ToQ(caption);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
        if (label->property("autoSize").toBool()) label->adjustSize();
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    }
}

void FormView::ApplyColours(QWidget* widget, ColourState colours) {
    if (colours == ColourState::Usable) {
        widget->setPalette(QPalette());
        return;
    }
    QPalette palette = QApplication::palette(widget);
    const QColor face = palette.color(QPalette::Active, QPalette::Button);
    const QColor grey = palette.color(QPalette::Disabled, QPalette::Text);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, face);
        palette.setColor(group, QPalette::Window, face);
        palette.setColor(group, QPalette::Text, grey);
    }
    widget->setPalette(palette);
}

QWidget* FormView::add(Label& label, bool frame) {
    QWidget* parent = containerOf(label.place());
    QWidget* w = nullptr;
    if (frame) {
        w = new QGroupBox(parent);
    } else {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);
        const Place& p = label.place();
        if (p.height >= 30) {
            l->setWordWrap(true);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        }
        if (p.width == 0 || p.height == 0) l->setProperty("autoSize", true);
        w = l;
    }
    placeWidget(w, label);
    if (frame) addContainer(label.name(), w);
    bind({&label}, w, [w, &label] {
        SetCaption(w, label.caption());
        ApplyColours(w, label.colours());
    });
    return w;
}

QWidget* FormView::add(Button& button) {
    auto* w = new QPushButton(containerOf(button.place()));
    placeWidget(w, button);
    if (!button.picture().empty()) {
        w->setIcon(PictureIcon(button.picture()));
        w->setIconSize(QSize(std::min(20, w->width() - 8), std::min(20, w->height() - 6)));
    }
    QObject::connect(w, &QPushButton::clicked,
                     [this, &button] { forward([&] { button.click(); }); });
    new EventHook(w, QEvent::FocusOut, [this, &button](QEvent* e) {
        // Focus that goes to a dialog or another window is not the user leaving the button.
        auto reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
        forward([&] { button.loseFocus(); });
    });
    bind({&button}, w, [w, &button] { SetCaption(w, button.caption()); });
    return w;
}

QWidget* FormView::add(CheckBox& box) {
    auto* w = new QCheckBox(containerOf(box.place()));
    placeWidget(w, box);
    // The style's indicator is taller than the lowest boxes; a smaller one shows whole.
    if (w->height() < w->style()->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, w) + 2) {
        const int side = std::max(9, w->height() - 2);
        w->setStyleSheet(QString("QCheckBox::indicator { width: %1px; height: %1px; }").arg(side));
    }
    w->setMouseTracking(true);
    QObject::connect(w, &QCheckBox::clicked, [this, &box] { forward([&] { box.click(); }); });
    new EventHook(w, QEvent::MouseMove,
                  [this, &box](QEvent*) { forward([&] { box.mouseMove(); }); });
    bind({&box}, w, [w, &box] {
        SetCaption(w, box.caption());
        w->setTristate(box.value() == CheckBox::Grayed);
        w->setCheckState(box.value() == CheckBox::Checked  ? Qt::Checked
                         : box.value() == CheckBox::Grayed ? Qt::PartiallyChecked
                                                           : Qt::Unchecked);
    });
    return w;
}

QWidget* FormView::add(TextBox& box) {
    auto* w = new QLineEdit(containerOf(box.place()));
    placeWidget(w, box);
    QObject::connect(w, &QLineEdit::textEdited, [this, &box](const QString& text) {
        forward([&] { box.setText(FromQ(text)); });
    });
    new EventHook(w, QEvent::MouseButtonDblClick,
                  [this, &box](QEvent*) { forward([&] { box.doubleClick(); }); });
    bind({&box}, w, [w, &box] {
        const QString text = ToQ(box.text());
        if (w->text() != text) w->setText(text);
        ApplyColours(w, box.colours());
    });
    return w;
}

namespace {

bool SameItems(const QListWidget* w, const std::vector<std::string>& items) {
    if (w->count() != static_cast<int>(items.size())) return false;
    for (int i = 0; i < w->count(); ++i)
        if (w->item(i)->text() != ToQ(items[static_cast<std::size_t>(i)])) return false;
    return true;
}

}  // namespace

QWidget* FormView::add(ListBox& list) {
    auto* w = new QListWidget(containerOf(list.place()));
    placeWidget(w, list);
    w->setSelectionMode(QAbstractItemView::ExtendedSelection);
    w->setTextElideMode(Qt::ElideNone);
    w->setUniformItemSizes(true);
    QObject::connect(w, &QListWidget::itemSelectionChanged, [this, w, &list] {
        forward([&] {
            for (int i = 0; i < w->count() && i < list.count(); ++i)
                list.setSelected(i, w->item(i)->isSelected());
        });
    });
    QObject::connect(w, &QListWidget::itemClicked,
                     [this, &list] { forward([&] { Fire(list.onClick); }); });
    QObject::connect(w, &QListWidget::doubleClicked,
                     [this, &list] { forward([&] { list.doubleClick(); }); });
    bind({&list}, w, [w, &list] {
        if (!SameItems(w, list.items())) {
            w->clear();
            for (const std::string& item : list.items()) w->addItem(ToQ(item));
        }
        for (int i = 0; i < w->count(); ++i) w->item(i)->setSelected(list.selected(i));
        // The list scrolls sideways only as far as the running extent reaches. The
        // extent counts six pixels a character; the window's font may need more, so
        // the widest entry ever shown counts too, with the item's margins, and the
        // last character shows whole when scrolled fully right.
        const int margin =
            2 * (w->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, w) + 1) + 2;
        int widest = w->property("widestEntry").toInt();
        for (int i = 0; i < w->count(); ++i)
            widest =
                std::max(widest, w->fontMetrics().horizontalAdvance(w->item(i)->text()) + margin);
        w->setProperty("widestEntry", widest);
        const int extent =
            list.horizontalExtent() > 0 ? std::max<int>(list.horizontalExtent(), widest) : 0;
        w->setHorizontalScrollBarPolicy(extent > 0 ? Qt::ScrollBarAsNeeded
                                                   : Qt::ScrollBarAlwaysOff);
        const int rowHeight = w->fontMetrics().height() + 2;
        for (int i = 0; i < w->count(); ++i)
            w->item(i)->setSizeHint(extent > 0 ? QSize(extent, rowHeight) : QSize());
        ApplyColours(w, list.colours());
    });
    return w;
}

QWidget* FormView::add(ComboBox& combo) {
    auto* w = new QComboBox(containerOf(combo.place()));
    placeWidget(w, combo);
    QObject::connect(w, &QComboBox::activated,
                     [this, &combo](int index) { forward([&] { combo.setListIndex(index); }); });
    bind({&combo}, w, [w, &combo] {
        bool same = w->count() == combo.count();
        for (int i = 0; same && i < w->count(); ++i) same = w->itemText(i) == ToQ(combo.item(i));
        if (!same) {
            w->clear();
            for (const std::string& item : combo.items()) w->addItem(ToQ(item));
        }
        w->setCurrentIndex(combo.listIndex());
        ApplyColours(w, combo.colours());
    });
    return w;
}

QWidget* FormView::add(Slider& slider) {
    auto* w = new QSlider(Qt::Horizontal, containerOf(slider.place()));
    placeWidget(w, slider);
    w->setTickPosition(QSlider::TicksBelow);
    w->setTickInterval(1);
    QObject::connect(w, &QSlider::valueChanged,
                     [this, &slider](int value) { forward([&] { slider.setValue(value); }); });
    bind({&slider}, w, [w, &slider] {
        w->setRange(slider.min(), slider.max());
        w->setSingleStep(slider.smallChange);
        w->setPageStep(slider.largeChange);
        w->setValue(slider.value());
    });
    return w;
}

QWidget* FormView::add(ProgressBar& bar) {
    auto* w = new QProgressBar(containerOf(bar.place()));
    placeWidget(w, bar);
    w->setRange(0, 100);
    w->setTextVisible(false);
    bind({&bar}, w, [w, &bar] { w->setValue(static_cast<int>(std::lround(bar.value()))); });
    return w;
}

}  // namespace stowaway

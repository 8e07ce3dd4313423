#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace stowaway {

// Colours of a list or text box: the usable pair (window text on window background)
// or the greyed pair (grey text on button face).
enum class ColourState { Usable, Greyed };

// Place of a control in pixels, relative to its container.
// Place of a control in pixels, relative to its container: the window's client
// area, a frame, or a tab page ("Tab0".."Tab2"). Width or height 0: sized to fit.
struct Place {
    int x = 0, y = 0, width = 0, height = 0;
    const char* container = "";
};

// What every control of a form model has. Each change bumps the revision, so that
// a view can bring across only what changed.
class Control {
  public:
    explicit Control(std::string name, Place place = {}) : name_(std::move(name)), place_(place) {}
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    const Place& place() const { return place_; }

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled) { set(enabled_, enabled); }
    bool visible() const { return visible_; }
    void setVisible(bool visible) { set(visible_, visible); }
    ColourState colours() const { return colours_; }
    void setColours(ColourState colours) { set(colours_, colours); }
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string tip) { set(toolTip_, std::move(tip)); }

    std::uint64_t revision() const { return revision_; }

  protected:
    void touch() { ++revision_; }
    template <typename T>
    void set(T& field, T value) {
        if (field == value) return;
        field = std::move(value);
        touch();
    }

  private:
    std::string name_;
    Place place_;
    bool enabled_ = true;
    bool visible_ = true;
    ColourState colours_ = ColourState::Usable;
    std::string toolTip_;
    std::uint64_t revision_ = 0;
};

using Handler = std::function<void()>;

// Runs a handler when one is connected.
inline void Fire(const Handler& handler) {
    if (handler) handler();
}

}  // namespace stowaway

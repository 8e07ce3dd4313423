#pragma once

#include <QLabel>

namespace stowaway {

// The status bar's text panel. A text wider than the panel keeps its start and
// its end around an ellipsis, and the whole text is the panel's tooltip (a text
// that fits leaves the status bar's own tooltip showing).
class StatusPanel : public QLabel {
  public:
    explicit StatusPanel(QWidget* parent);

    void setStatus(const QString& text);
    // The whole text, however it shows.
    const QString& status() const { return status_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void fit();

    QString status_;
};

// The property that carries a status panel's whole text.
inline constexpr const char* StatusTextProperty = "statusText";

}  // namespace stowaway

#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

namespace stowaway {

// Shows what a program started in a normal window writes, as it writes it, and
// stays until the user closes it.
class ConsoleWindow : public QWidget {
  public:
    explicit ConsoleWindow(const std::string& commandLine);
    void append(const std::string& text);
    QString text() const;

  private:
    QPlainTextEdit* output_;
};

}  // namespace stowaway

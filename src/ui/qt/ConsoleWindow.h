#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace stowaway {

// Shows what a program started in a normal window writes, as it writes it (a
// prompt without a line end too), passes the lines the user types to it while it
// runs, and stays until the user closes it.
class ConsoleWindow : public QWidget {
  public:
    explicit ConsoleWindow(const std::string& commandLine);
    void append(const std::string& text);
    QString text() const;
    // Where typed lines go; empty: the program has ended and the line is closed.
    void setInput(std::function<bool(const std::string&)> send);

  private:
    void sendLine();

    QPlainTextEdit* output_;
    QLineEdit* input_;
    std::function<bool(const std::string&)> send_;
};

}  // namespace stowaway

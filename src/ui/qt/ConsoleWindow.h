#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace stowaway {

// Shows what a program started in a normal window writes, as it writes it (a
// prompt without a line end too), with long lines wrapped; passes the lines the
// user types to it while it runs, and stays until the user closes it.
class ConsoleWindow : public QWidget {
  public:
    // The title names the job; the started command is the window's tooltip.
    ConsoleWindow(const std::string& title, const std::string& commandLine);
    // The next run of the same job: empty again, the new command, to the front.
    void restart(const std::string& commandLine);
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

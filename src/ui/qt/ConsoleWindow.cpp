#include "ui/qt/ConsoleWindow.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "ui/qt/FormView.h"
#include "ui/qt/Icons.h"

namespace stowaway {

ConsoleWindow::ConsoleWindow(const std::string& title, const std::string& commandLine)
    : QWidget(nullptr, Qt::Window) {
    setObjectName("ConsoleWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(ToQ(title));
    setToolTip(ToQ(commandLine));
    setWindowIcon(ProgramIcon());
    output_ = new QPlainTextEdit(this);
    output_->setObjectName("ConsoleOutput");
    output_->setReadOnly(true);
    // A prompt longer than the window stays readable: wrapped, even inside a path.
    output_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    output_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    output_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette palette = output_->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, QColor(0xd0, 0xd0, 0xd0));
    output_->setPalette(palette);
    input_ = new QLineEdit(this);
    input_->setObjectName("ConsoleInput");
    input_->setFont(output_->font());
    input_->setPlaceholderText("Type an answer for the program and press Enter");
    input_->setEnabled(false);
    QObject::connect(input_, &QLineEdit::returnPressed, this, [this] { sendLine(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(output_);
    layout->addWidget(input_);
    resize(640, 360);
}

void ConsoleWindow::restart(const std::string& commandLine) {
    output_->clear();
    setToolTip(ToQ(commandLine));
    setInput({});
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void ConsoleWindow::append(const std::string& text) {
    QString chunk = ToQ(text);
    chunk.remove('\r');
    QScrollBar* bar = output_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor cursor(output_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(chunk);
    if (atEnd) bar->setValue(bar->maximum());
}

void ConsoleWindow::setInput(std::function<bool(const std::string&)> send) {
    send_ = std::move(send);
    input_->setEnabled(static_cast<bool>(send_));
    if (send_) input_->setFocus();
}

void ConsoleWindow::sendLine() {
    if (!send_) return;
    const QString line = input_->text();
    input_->clear();
    // The line shows in the console as a terminal echoes it.
    append(FromQ(line) + "\n");
    send_(FromQ(line) + "\n");
}

QString ConsoleWindow::text() const {
    return output_->toPlainText();
}

}  // namespace stowaway

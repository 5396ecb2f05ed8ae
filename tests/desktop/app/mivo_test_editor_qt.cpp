// The Qt 6 client of the desktop tests: a one-line entry, a password entry
// (only with --password) and a multi-line text edit, like the GTK editors.
//
// Usage: mivo-test-editor-qt [--title T] [--entry T] [--text T]
//                            [--password T] [--slow-paste MS]
// Prints "ready" once the window is shown and the text edit has the
// keyboard focus. --slow-paste keeps the application busy for MS
// milliseconds before it handles a paste, as a loaded application would.

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>

namespace {

class SlowPasteEdit : public QTextEdit {
  public:
    explicit SlowPasteEdit(int slowPasteMs) : slowPasteMs_(slowPasteMs) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (slowPasteMs_ > 0 && event->matches(QKeySequence::Paste))
            QThread::msleep(static_cast<unsigned long>(slowPasteMs_));
        QTextEdit::keyPressEvent(event);
    }

  private:
    int slowPasteMs_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString title = "Mivo test editor";
    QString entryText;
    QString viewText;
    QString passwordText;
    int slowPasteMs = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--title")
            title = args[i + 1];
        else if (args[i] == "--entry")
            entryText = args[i + 1];
        else if (args[i] == "--text")
            viewText = args[i + 1];
        else if (args[i] == "--password")
            passwordText = args[i + 1];
        else if (args[i] == "--slow-paste")
            slowPasteMs = args[i + 1].toInt();
    }

    QWidget window;
    window.setWindowTitle(title);
    window.resize(640, 400);
    auto* layout = new QVBoxLayout(&window);
    auto* entry = new QLineEdit(entryText);
    layout->addWidget(entry);
    if (!passwordText.isNull()) {
        auto* password = new QLineEdit(passwordText);
        password->setEchoMode(QLineEdit::Password);
        layout->addWidget(password);
    }
    auto* view = new SlowPasteEdit(slowPasteMs);
    view->setAcceptRichText(false);
    view->setPlainText(viewText);
    view->moveCursor(QTextCursor::End);
    layout->addWidget(view, 1);
    window.show();
    view->setFocus();
    QTimer::singleShot(200, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}

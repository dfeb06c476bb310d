// A race on purpose, for the thread-sanitizer build only: a plain int written by a std::thread and read
// on the GUI thread in a slot, an event handler or a queued call, with nothing ordering the two. Each way
// has Qt's frames below the read, as every slot, timer and event handler of the windows has; the
// suppressions the tests run with must still let the sanitizer report it (scripts/tsan-check.sh).
//
// Usage: thread_slot_race timer|queued|event. Ends with 0 when nothing was reported.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

int Shared = 0;

// Volatile and out of line, so that the compiler keeps the reads where the stacks say they are.
__attribute__((noinline)) int ReadShared() {
    return *static_cast<volatile int*>(&Shared);
}

class TReader : public QWidget {
public:
    int Seen = -1;
    void OnTimer() { Seen = ReadShared(); }

protected:
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::User) {
            Seen = ReadShared();
            return true;
        }
        return QWidget::event(Event);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 ||
        (std::strcmp(argv[1], "timer") && std::strcmp(argv[1], "queued") && std::strcmp(argv[1], "event"))) {
        std::fprintf(stderr, "usage: %s timer|queued|event\n", argv[0]);
        return 2;
    }
    QApplication App(argc, argv);
    TReader Reader;
    std::thread Writer([] { *static_cast<volatile int*>(&Shared) = 42; });
    // The read comes well after the write; only the sanitizer's ordering, not the clock, may tell.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string Way = argv[1];
    if (Way == "timer")
        QTimer::singleShot(0, &Reader, &TReader::OnTimer);
    else if (Way == "queued")
        QMetaObject::invokeMethod(
            &Reader, [&Reader] { Reader.Seen = ReadShared(); }, Qt::QueuedConnection);
    else
        QCoreApplication::postEvent(&Reader, new QEvent(QEvent::User));
    QTimer::singleShot(50, &App, &QCoreApplication::quit);
    App.exec();
    Writer.join();
    std::printf("read %d\n", Reader.Seen);
    return 0;
}

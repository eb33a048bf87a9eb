// Loaded into a Qt program with LD_PRELOAD by the start-up benchmark, so that
// neither program needs a hook of its own: once the first top-level window
// has been exposed and painted, it writes "shown <monotonic ns> <peak RSS KiB>"
// to the descriptor named by KW_SHOW_PROBE_FD and ends the process at once.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>

namespace {

void report() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    const char* fdText = std::getenv("KW_SHOW_PROBE_FD");
    const int fd = fdText ? std::atoi(fdText) : 2;
    char line[96];
    const int n = std::snprintf(line, sizeof line, "shown %lld %ld\n",
                                static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec,
                                static_cast<long>(usage.ru_maxrss));
    if (n > 0 && write(fd, line, static_cast<std::size_t>(n)) < 0)
        _exit(3);
    _exit(0);
}

class ShowProbe : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!seen_ && event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isTopLevel() && window->isExposed()) {
                seen_ = true;
                // The expose is painted when it is handled, right after this
                // filter; the report comes on the next turn of the loop.
                QTimer::singleShot(0, qApp, report);
            }
        }
        return false;
    }

private:
    bool seen_ = false;
};

void installProbe() {
    QCoreApplication::instance()->installEventFilter(new ShowProbe(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installProbe)

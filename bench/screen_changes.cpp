// Watches the X screen named by DISPLAY and tells when what it shows first
// and last changed: with a program launched once it is ready, the time until
// the user saw the program's window and its final picture, taken from the
// pixels themselves. See README.md (gui-open.sh).
//   screen_changes QUIET READY_FILE [REGION]
// Creates READY_FILE once it has the screen's first picture, waits for the
// first change, then until the screen (or only its REGION, given as
// WIDTHxHEIGHT+X+Y) has stayed the same for QUIET seconds,
// and prints the times of the first and the last change (seconds since the
// epoch, as date +%s.%N gives them) and the number of pictures taken. A
// change within a box of 100 x 20 pixels (the status bar's clock ticking
// every second) does not count.

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

double now()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

QImage grab(QScreen* screen, const QRect& region)
{
    QImage image = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
    return region.isNull() ? image : image.copy(region);
}

// Whether the pictures differ in more than a clock's box of pixels; the
// box where they differ is printed on stderr.
bool bChanged(const QImage& a, const QImage& b, double at)
{
    if (a.size() != b.size())
        return true;
    int left = a.width(), right = -1, top = a.height(), bottom = -1;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::equal(pa, pa + a.width(), pb))
            continue;
        top = std::min(top, y);
        bottom = y;
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] != pb[x]) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    if (right >= 0)
        std::fprintf(stderr, "%.6f %dx%d+%d+%d\n", at, right - left + 1, bottom - top + 1, left, top);
    return right >= 0 && (right - left >= 100 || bottom - top >= 20);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: screen_changes QUIET READY_FILE [WIDTHxHEIGHT+X+Y]\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const double quiet = QString::fromLocal8Bit(argv[1]).toDouble();
    QRect region;
    if (argc == 4) {
        const QStringList n = QString::fromLocal8Bit(argv[3]).split(QRegularExpression("[x+]"));
        if (n.size() != 4) {
            std::fprintf(stderr, "screen_changes: a region is WIDTHxHEIGHT+X+Y\n");
            return 2;
        }
        region = QRect(n[2].toInt(), n[3].toInt(), n[0].toInt(), n[1].toInt());
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    QImage last = grab(screen, region);
    const double start = now();
    QFile(QString::fromLocal8Bit(argv[2])).open(QIODevice::WriteOnly);
    double first = 0, changed = 0;
    int frames = 1;
    // A grab takes a few milliseconds; the time of a change is that of the
    // first grab that shows it, begun at most one grab after it was drawn.
    for (;;) {
        const double at = now();
        QImage image = grab(screen, region);
        ++frames;
        const bool bCounts = bChanged(image, last, at);
        last = std::move(image);
        if (bCounts) {
            changed = at;
            if (first == 0)
                first = at;
        } else if (first != 0 && at - changed > quiet) {
            break;
        } else if (first == 0 && at - start > 60) {
            std::fprintf(stderr, "screen_changes: nothing was drawn in a minute\n");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::printf("%.6f %.6f %d\n", first, changed, frames);
    return 0;
}

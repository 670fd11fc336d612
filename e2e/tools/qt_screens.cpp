// qt-screens: prints the screens Qt sees on this display, one a line, the
// primary one first marked with "*":
//
//   [*]NAME X Y W H RATIO
//
// (geometry in Qt's logical pixels, RATIO its device pixel ratio), so that a
// scenario knows which output Qt calls primary and how it scales it.

#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        std::fprintf(stderr, "qt-screens: no screen\n");
        return 1;
    }
    QList<QScreen*> screens = QGuiApplication::screens();
    screens.removeOne(primary);
    screens.prepend(const_cast<QScreen*>(primary));
    for (const QScreen* screen : screens) {
        const QRect g = screen->geometry();
        std::printf("%s%s %d %d %d %d %g\n", screen == primary ? "*" : "",
                    qPrintable(screen->name()), g.x(), g.y(), g.width(), g.height(),
                    screen->devicePixelRatio());
    }
    return 0;
}

// Heap in use while skins are applied over and over: after a warm-up, the heap must level off.
// Prints the heap after each stage; run with QT_QPA_PLATFORM=offscreen.
#include "app/windowset.h"
#include "look/appearance.h"
#include "skins/skincatalogue.h"
#include "skins/skinchooser.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QPushButton>

#include <malloc.h>

#include <cstdio>

namespace {

double heapMiB()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    corvalo::installFontSubstitutes();

    FrmCorvalo* calculator = WindowSet::mainWindow();
    Skins* chooser = WindowSet::skinChooser();
    WindowSet::show(calculator);
    WindowSet::show(chooser);
    auto* set = chooser->findChild<QPushButton*>(QStringLiteral("cmdSet"));

    int applied = 0;
    auto apply = [&](int times) {
        for (int i = 0; i < times; ++i, ++applied) {
            const corvalo::Skin& skin = corvalo::skinCatalogue()[applied % 4];
            chooser->findChild<QPushButton*>(QString::fromLatin1(skin.buttonName))->click();
            set->click();
            // Every key drawn in its new colour, as the screen would show it.
            calculator->centralWidget()->grab();
            QApplication::processEvents();
        }
    };

    std::printf("%8s %10s\n", "applies", "heap MiB");
    std::printf("%8d %10.2f\n", applied, heapMiB());
    double afterWarmUp = 0;
    for (int stage : {50, 50, 100, 200, 300, 350}) {
        apply(stage);
        malloc_trim(0);
        const double heap = heapMiB();
        if (applied == 50)
            afterWarmUp = heap;
        std::printf("%8d %10.2f\n", applied, heap);
    }
    std::printf("growth over the %d applies after the first 50: %.3f MiB\n", applied - 50,
                heapMiB() - afterWarmUp);
    WindowSet::closeAll();
    return 0;
}

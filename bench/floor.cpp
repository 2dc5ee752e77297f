// The floor for start-up: the least a Qt Widgets program of the calculator's kind can do, one
// window with a line edit and 25 push buttons. bench/startup.sh measures it beside Corvalo.
#include <QApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Floor"));
    auto* grid = new QGridLayout(&window);
    grid->addWidget(new QLineEdit(&window), 0, 0, 1, 5);
    for (int i = 0; i < 25; ++i)
        grid->addWidget(new QPushButton(QString::number(i), &window), 1 + i / 5, i % 5);
    window.show();
    return QApplication::exec();
}

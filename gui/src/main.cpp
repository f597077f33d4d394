#include "app.h"
#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    haldorinInitResources();
    app.setWindowIcon(QIcon(QStringLiteral(HALDORIN_APP_ICON)));

    haldorin::QtPrompts prompts;
    haldorin::ProcessRunner runner;
    haldorin::MainWindow window(haldorin::Services{&prompts, &runner});
    window.show();
    return app.exec();
}

// クワリノ: prepares a software folder for the installer Inst.exe.
#include "app/Unit1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv); // no command-line argument is read
    SetApplicationTitle();
    TForm1 Form1; // its creation runs FormCreate
    Form1.show(); // centred on the screen by its creation
    application.exec();
    return 0;
}

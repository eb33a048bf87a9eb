// クワリノ: prepares a software folder for the installer Inst.exe.
#include "app/MainWindow.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The toolkit's own texts (the file dialog's buttons) in Japanese too.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&toolkitTexts);
    SetApplicationTitle();
    MainWindow Form1; // its creation runs FormCreate
    Form1.show();     // centred on the screen by its creation
    // A program file handed over by a file manager ("open with"); shown after
    // the window, since taking it may ask a question.
    Form1.takeCommandLine(QApplication::arguments().mid(1));
    application.exec();
    return 0;
}

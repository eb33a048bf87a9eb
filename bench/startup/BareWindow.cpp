// The start-up baseline: a bare Qt 6 main window holding the same 19 controls
// and the same menu as the tool's window (same texts, places and sizes), and
// nothing else: no fonts, colours, hints, icon, translations or handlers.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto* client = new QWidget(&window);
    client->setFixedSize(385, 323);
    window.setCentralWidget(client);

    auto place = [](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(x, y, width, height);
    };
    place(new QLabel(QStringLiteral("プログラムファイルの名前"), client), 9, 9, 194, 17);
    place(new QLabel(QStringLiteral("ソフトの名前"), client), 9, 69, 96, 17);
    place(new QLabel(
              QStringLiteral("スタートメニューに追加するショートカット（プログラムファイル以外）"),
              client),
          9, 130, 313, 36);
    place(new QLabel(QStringLiteral("名前"), client), 52, 173, 30, 14);
    place(new QLabel(QStringLiteral("ファイル名"), client), 208, 173, 67, 14);
    auto* progress = new QLabel(QStringLiteral("インストールの準備中・・・"), client);
    place(progress, 9, 293, 195, 17);
    progress->hide();

    place(new QPushButton(QStringLiteral("参照"), client), 329, 35, 45, 27);
    place(new QLineEdit(client), 17, 35, 296, 22);
    place(new QLineEdit(client), 17, 95, 296, 22);
    place(new QPushButton(QStringLiteral("インストール"), client), 259, 278, 105, 36);
    for (int row = 0; row < 3; ++row) {
        const int y = 191 + 26 * row;
        place(new QLineEdit(client), 9, y, 131, 22);
        place(new QLineEdit(client), 147, y, 175, 22);
        place(new QPushButton(QStringLiteral("参照"), client), 329, y, 45, 21);
    }
    window.menuBar()->addAction(QStringLiteral("ヘルプ(&H)"));
    window.setWindowTitle(QStringLiteral("クワリノ"));

    window.show();
    return application.exec();
}

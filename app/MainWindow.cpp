#include "app/MainWindow.h"

#include "app/Dialogs.h"
#include "prepare/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPalette>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShowEvent>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <QWindow>

static void initResources() {
    // The resources live in a static library; make sure they are linked in.
    Q_INIT_RESOURCE(resources);
}

namespace {

using form::ControlEntry;
using form::Kind;
using form::Role;

// Where the window's typeface is missing (off Windows) IPA P Gothic, a
// proportional Japanese gothic of nearly the same widths, takes its place.
void installFontSubstitutes() {
    static const bool done = [] {
        QFont::insertSubstitution(QString::fromUtf8(form::FontFamily),
                                  QStringLiteral("IPAPGothic"));
        return true;
    }();
    (void)done;
}

QFont formFont(int pixelSize, bool bold) {
    QFont font(QString::fromUtf8(form::FontFamily));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The tool's texts use "\r" for a line break; Qt breaks lines at "\n".
QString shown(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QWidget* makeControl(const ControlEntry& entry, QWidget* client) {
    QWidget* w = nullptr;
    switch (entry.kind) {
    case Kind::Label: {
        auto* label = new QLabel(QString::fromStdString(entry.caption), client);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(entry.wordWrap);
        w = label;
        break;
    }
    case Kind::Field:
        w = new QLineEdit(client);
        // A file dropped on a field is the window's to take, not text.
        w->setAcceptDrops(false);
        break;
    case Kind::Button: {
        auto* button = new QPushButton(QString::fromStdString(entry.caption), client);
        button->setAutoDefault(false);
        w = button;
        break;
    }
    }
    w->setObjectName(QString::fromStdString(entry.name));
    w->setGeometry(entry.place.left, entry.place.top, entry.place.width, entry.place.height);
    if (entry.fontHeight != 0)
        w->setFont(formFont(entry.fontHeight, entry.bold));
    w->setEnabled(entry.enabled);
    w->setVisible(entry.visible);
    w->setToolTip(shown(entry.hint));
    w->setAccessibleName(QString::fromStdString(entry.accessibleName));
    return w;
}

// The table's colour, or its shade that stays readable on `background`.
QColor readable(form::Colour colour, const QColor& background) {
    const form::Rgb shade = form::readableOn(
        form::rgb(colour), {background.red(), background.green(), background.blue()});
    return QColor(shade.r, shade.g, shade.b);
}

} // namespace

void SetApplicationTitle() {
    // Only the name: a display name would be appended to every window title
    // on X11 ("確認 — クワリノ").
    QApplication::setApplicationName(QString::fromUtf8(prepare::text::ApplicationTitle));
}

MainWindow::MainWindow(platform::System& system) {
    initResources();
    installFontSubstitutes();
    createWindow();
    createControls();
    form_ = std::make_unique<form::TForm1>(*this, system); // runs FormCreate
    connectEvents();
    centreOnScreen();
}

MainWindow::~MainWindow() = default;

void MainWindow::createWindow() {
    setObjectName(QStringLiteral("Form1"));
    setAcceptDrops(true);
    setWindowTitle(QString::fromUtf8(prepare::text::ApplicationTitle));
    setWindowIcon(QIcon(QStringLiteral(":/kwarino.png")));
    // Fixed single border: system menu and minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Help1 = MainMenu1->addAction(QString::fromUtf8(prepare::text::HelpMenu));
    Help1->setObjectName(QStringLiteral("Help1"));
}

void MainWindow::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFont(formFont(form::DefaultFontHeight, false));
    client->setFixedSize(form::ClientWidth, form::ClientHeight);
    setCentralWidget(client);

    // In the table's order, which is also the tab order.
    QWidget* previous = nullptr;
    for (const ControlEntry& entry : form::controls()) {
        QWidget* w = makeControl(entry, client);
        controls_.push_back(w);
        if (!entry.hint.empty())
            w->installEventFilter(this);
        if (entry.kind == Kind::Label)
            continue;
        if (previous)
            setTabOrder(previous, w);
        else
            w->setFocus();
        previous = w;
    }
    // The client area is fixed; the menu bar lies outside it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    applyColours();
}

void MainWindow::applyColours() {
    // Background in the button-face colour.
    QPalette windowPalette = QApplication::palette(this);
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);
    const auto& table = form::controls();
    for (form::ControlId i = 0; i < table.size(); ++i) {
        if (table[i].colour == form::Colour::WindowText)
            continue;
        QPalette pal = control(i)->palette();
        if (table[i].kind == Kind::Label) {
            pal.setColor(QPalette::WindowText,
                         readable(table[i].colour, pal.color(QPalette::Window)));
        } else {
            // Coloured while it can be pressed; the style's grey when disabled.
            const QColor colour = readable(table[i].colour, pal.color(QPalette::Button));
            pal.setColor(QPalette::Active, QPalette::ButtonText, colour);
            pal.setColor(QPalette::Inactive, QPalette::ButtonText, colour);
        }
        control(i)->setPalette(pal);
    }
}

bool MainWindow::event(QEvent* event) {
    // The desktop switched its colour scheme while the window is open.
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyColours();
    return QMainWindow::event(event);
}

void MainWindow::connectEvents() {
    form::TForm1* f = form_.get();
    auto button = [this](Role role, int row = 0) {
        return static_cast<QPushButton*>(control(form::id(role, row)));
    };
    auto field = [this](Role role) { return static_cast<QLineEdit*>(control(form::id(role))); };
    connect(button(Role::BtnSansho), &QPushButton::clicked, this, [f] { f->BtnSanshoClick(); });
    connect(button(Role::BitBtnInstall), &QPushButton::clicked, this, [this, f] {
        f->BitBtnInstallClick();
        followLook();
    });
    connect(field(Role::EditProgramFile), &QLineEdit::textChanged, this,
            [f] { f->EditProgramFileChange(); });
    connect(field(Role::EditApplication), &QLineEdit::textChanged, this,
            [f] { f->EditApplicationChange(); });
    // Each start-menu browse button names its row.
    for (int row = 1; row <= form::StartMenuRowCount; ++row) {
        QPushButton* browse = button(Role::BtnStartMenuSansho, row);
        browse->setProperty("tag", row);
        connect(browse, &QPushButton::clicked, this, [f, row] { f->BtnStartMenuSanshoClick(row); });
    }
    connect(Help1, &QAction::triggered, this, [f] { f->Help1Click(); });
    installerLook_ = new QTimer(this);
    installerLook_->setInterval(1000);
    connect(installerLook_, &QTimer::timeout, this, [this, f] {
        f->InstallerEnded();
        followLook();
    });

    // The desktop session ending, or the application quitting without the
    // window closing, restores the folder too.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(
            app, &QGuiApplication::commitDataRequest, this, [f] { f->SessionEnding(); },
            Qt::DirectConnection);
        connect(app, &QCoreApplication::aboutToQuit, this, [f] { f->SessionEnding(); });
    }
}

void MainWindow::centreOnScreen() {
    const QScreen* desktop = screen();
    if (!desktop)
        return;
    // The border counts once it is known (after the first show).
    const QMargins border = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(border);
    const QPoint centre = desktop->geometry().center();
    move(centre.x() - (outer.width() - 1) / 2, centre.y() - (outer.height() - 1) / 2);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        centreOnScreen();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        const auto* help = static_cast<QHelpEvent*>(event);
        // Hidden when the pointer leaves the field, else after two minutes.
        QToolTip::showText(help->globalPos(), widget->toolTip(), widget, widget->rect(),
                           form::HintHidePause);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // However the window closes; a running request first stops.
    if (form_->FormCloseQuery()) {
        installerLook_->stop();
        event->accept();
    } else {
        followLook();
        event->ignore();
    }
}

void MainWindow::followLook() {
    if (!form_->looking())
        installerLook_->stop();
    else if (!installerLook_->isActive())
        installerLook_->start();
}

void MainWindow::takeCommandLine(const QStringList& arguments) {
    std::vector<std::string> native;
    for (const QString& argument : arguments)
        native.push_back(argument.toStdString());
    form_->CommandLine(native);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        // A remote file has no native path: nothing the handlers could take.
        paths.push_back(url.isLocalFile()
                            ? QDir::toNativeSeparators(url.toLocalFile()).toStdString()
                            : std::string());
    // The start-menu row under the pointer, if any.
    int row = 0;
    const QWidget* target = childAt(event->position().toPoint());
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (controls_[i] == target)
            row = form::controls()[i].row;
    event->acceptProposedAction();
    form_->FilesDropped(paths, row);
}

// ---- what the logic asks of the window ----

std::string MainWindow::text(form::ControlId id) const {
    QWidget* w = control(id);
    if (auto* field = qobject_cast<QLineEdit*>(w))
        return field->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text().toStdString();
    return static_cast<QPushButton*>(w)->text().toStdString();
}

void MainWindow::setText(form::ControlId id, const std::string& text) {
    // A field's change handler runs through textChanged.
    if (auto* field = qobject_cast<QLineEdit*>(control(id)))
        field->setText(QString::fromStdString(text));
    else if (auto* label = qobject_cast<QLabel*>(control(id)))
        label->setText(QString::fromStdString(text));
}

bool MainWindow::isEnabled(form::ControlId id) const {
    return control(id)->isEnabled();
}

void MainWindow::setEnabled(form::ControlId id, bool enabled) {
    control(id)->setEnabled(enabled);
}

void MainWindow::setVisible(form::ControlId id, bool visible) {
    control(id)->setVisible(visible);
}

void MainWindow::setFocus(form::ControlId id) {
    control(id)->setFocus();
}

void MainWindow::plainBox(const std::string& text) {
    app::Boxes::plain(this, QString::fromStdString(text));
}

form::Answer MainWindow::questionBox(const std::string& caption, const std::string& text) {
    return app::Boxes::question(this, QString::fromStdString(caption),
                                QString::fromStdString(text));
}

void MainWindow::errorBox(const std::string& text) {
    app::Boxes::error(this, QString::fromStdString(text));
}

form::Answer MainWindow::retryBox(const std::string& text) {
    return app::Boxes::retry(this, QString::fromStdString(text));
}

void MainWindow::beep() {
    QApplication::beep();
}

bool MainWindow::openDialog(form::OpenDialogState& dialog) {
    return app::OpenDialog::execute(this, dialog);
}

void MainWindow::keepPainted() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool MainWindow::surveyProgress(std::size_t entriesSoFar) {
    if (!progress_) {
        progress_ = new QProgressDialog(this);
        progress_->setObjectName(QStringLiteral("SurveyProgress"));
        progress_->setWindowTitle(QString::fromUtf8(prepare::text::ApplicationTitle));
        progress_->setCancelButtonText(QString::fromUtf8(prepare::text::SurveyCancel));
        progress_->setRange(0, 0);
        progress_->setMinimumDuration(0);
        progress_->setWindowModality(Qt::WindowModal);
        progress_->show();
    }
    progress_->setLabelText(shown(prepare::text::surveyProgress(entriesSoFar)));
    // The progress window is modal: the user can only cancel.
    QCoreApplication::processEvents();
    return !progress_->wasCanceled();
}

void MainWindow::endSurveyProgress() {
    delete progress_;
    progress_ = nullptr;
}

void MainWindow::closeWindow() {
    close();
}

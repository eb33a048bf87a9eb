#include "app/Unit1.h"

#include "platform/Cp932.h"
#include "platform/PathRules.h"
#include "prepare/InstallRequest.h"
#include "prepare/Restore.h"
#include "prepare/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFont>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPalette>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSessionManager>
#include <QShowEvent>
#include <QToolTip>
#include <QWindow>

#include <string>

static void initResources() {
    // The resources live in a static library; make sure they are linked in.
    Q_INIT_RESOURCE(resources);
}

namespace {

// The window's typeface. Where it is missing (off Windows) IPA P Gothic, a
// proportional Japanese gothic of nearly the same widths, takes its place.
const QString FormFontFamily = QStringLiteral("ＭＳ Ｐゴシック");

void installFontSubstitutes() {
    static const bool done = [] {
        QFont::insertSubstitution(FormFontFamily, QStringLiteral("IPAPGothic"));
        return true;
    }();
    (void)done;
}

QFont formFont(int pixelSize, bool bold) {
    QFont font(FormFontFamily);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

const QColor Red(255, 0, 0);
const QColor Navy(0, 0, 128);
const QColor Green(0, 128, 0);

// Hints use "\r" for a line break; the tool-tip window breaks lines at "\n".
QString hintText(const char* text) {
    QString hint = QString::fromUtf8(text);
    hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return hint;
}

const char* const ProgramFileHint =
    "「参照」ボタンを押して、インストールする\rプログラムファイル(*.exe)を指定してください。";
const char* const ApplicationHint = "ソフトの名前を入力します。（例\u3000クワリノ）";
const char* const StartMenuNameHint =
    "プログラムファイル以外でスタートメニューに追加したい\rショートカットがあればその名前を入力"
    "します。（例\u3000初めにお読みください）\r空欄の場合はファイル名を名前とします。";
const char* const StartMenuFileHint = "「参照」ボタンを押して、プログラムファイル以外で\rスタートメ"
                                      "ニューに追加したいファイルを指定してください。";

const char* const ProgramFileFilter = "プログラムファイル(*.exe)|*.exe";
const char* const ProgramFileTitle = "プログラムファイルの指定";
const char* const AnyFileFilter = "すべてのファイル(*.*)|*.*";
const char* const AnyFileTitle = "ファイルの指定";
const char* const UnusableNameMessage =
    "指定されたファイルの名前には使用できない文字が含まれています。"
    "\r別のファイルを指定してください。";

} // namespace

void SetApplicationTitle() {
    // Only the name: a display name would be appended to every window title
    // on X11 ("確認 — クワリノ").
    QApplication::setApplicationName(QStringLiteral("クワリノ"));
}

TForm1::TForm1(platform::System& system, QWidget* parent) : QMainWindow(parent), system_(system) {
    initResources();
    installFontSubstitutes();
    CreateControls();
    FormCreate();
    // The desktop session ending, or the application quitting without the
    // window closing, restores the folder too.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &TForm1::SessionEnding,
                Qt::DirectConnection);
        connect(app, &QCoreApplication::aboutToQuit, this, [this] {
            bool canClose = true;
            FormCloseQuery(this, canClose);
        });
    }
}

TForm1::~TForm1() = default;

void TForm1::CreateControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("クワリノ"));
    setWindowIcon(QIcon(QStringLiteral(":/kwarino.png")));
    // Fixed single border: system menu and minimise, no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    // Background in the button-face colour.
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFont(formFont(13, false));
    client->setFixedSize(385, 323);
    setCentralWidget(client);

    auto label = [client](QLabel*& member, const char* name, QRect geometry, const char* text,
                          int pixelSize, const QColor& colour) {
        member = new QLabel(QString::fromUtf8(text), client);
        member->setObjectName(QString::fromLatin1(name));
        member->setGeometry(geometry);
        member->setFont(formFont(pixelSize, true));
        member->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette pal = member->palette();
        pal.setColor(QPalette::WindowText, colour);
        member->setPalette(pal);
    };
    auto button = [client](QPushButton*& member, const char* name, QRect geometry,
                           const char* text) {
        member = new QPushButton(QString::fromUtf8(text), client);
        member->setObjectName(QString::fromLatin1(name));
        member->setGeometry(geometry);
        member->setAutoDefault(false);
    };
    auto field = [client](QLineEdit*& member, const char* name, QRect geometry) {
        member = new QLineEdit(client);
        member->setObjectName(QString::fromLatin1(name));
        member->setGeometry(geometry);
        member->setFont(formFont(14, false));
    };

    label(Label1, "Label1", QRect(9, 9, 194, 17), "プログラムファイルの名前", 17, Red);
    label(Label2, "Label2", QRect(9, 69, 96, 17), "ソフトの名前", 17, Red);
    label(Label3, "Label3", QRect(9, 130, 313, 36),
          "スタートメニューに追加するショートカット（プログラムファイル以外）", 17, Red);
    Label3->setWordWrap(true);
    label(Label4, "Label4", QRect(52, 173, 30, 14), "名前", 14, Navy);
    label(Label5, "Label5", QRect(208, 173, 67, 14), "ファイル名", 14, Navy);
    label(Label6, "Label6", QRect(9, 293, 195, 17), "インストールの準備中・・・", 17, Red);
    Label6->hide();

    button(BtnSansho, "BtnSansho", QRect(329, 35, 45, 27), "参照");
    field(EditProgramFile, "EditProgramFile", QRect(17, 35, 296, 22));
    field(EditApplication, "EditApplication", QRect(17, 95, 296, 22));

    button(BitBtnInstall, "BitBtnInstall", QRect(259, 278, 105, 36), "インストール");
    BitBtnInstall->setFont(formFont(17, true));
    {
        // Green while it can be pressed; the style's grey when disabled.
        QPalette pal = BitBtnInstall->palette();
        pal.setColor(QPalette::Active, QPalette::ButtonText, Green);
        pal.setColor(QPalette::Inactive, QPalette::ButtonText, Green);
        BitBtnInstall->setPalette(pal);
    }
    BitBtnInstall->setEnabled(false);

    field(EditStartMenu1, "EditStartMenu1", QRect(9, 191, 131, 22));
    field(EditStartMenu2, "EditStartMenu2", QRect(9, 217, 131, 22));
    field(EditStartMenu3, "EditStartMenu3", QRect(9, 243, 131, 22));
    field(EditStartMenuFile1, "EditStartMenuFile1", QRect(147, 191, 175, 22));
    field(EditStartMenuFile2, "EditStartMenuFile2", QRect(147, 217, 175, 22));
    field(EditStartMenuFile3, "EditStartMenuFile3", QRect(147, 243, 175, 22));
    button(BtnStartMenuSansho1, "BtnStartMenuSansho1", QRect(329, 191, 45, 21), "参照");
    button(BtnStartMenuSansho2, "BtnStartMenuSansho2", QRect(329, 217, 45, 21), "参照");
    button(BtnStartMenuSansho3, "BtnStartMenuSansho3", QRect(329, 243, 45, 21), "参照");
    for (QWidget* w :
         {static_cast<QWidget*>(EditStartMenu1), static_cast<QWidget*>(EditStartMenu2),
          static_cast<QWidget*>(EditStartMenu3), static_cast<QWidget*>(EditStartMenuFile1),
          static_cast<QWidget*>(EditStartMenuFile2), static_cast<QWidget*>(EditStartMenuFile3),
          static_cast<QWidget*>(BtnStartMenuSansho1), static_cast<QWidget*>(BtnStartMenuSansho2),
          static_cast<QWidget*>(BtnStartMenuSansho3)})
        w->setEnabled(false);

    OpenDialog1.setTitle(QString::fromUtf8(ProgramFileTitle));
    OpenDialog1.setFilter(QString::fromUtf8(ProgramFileFilter));

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Help1 = MainMenu1->addAction(QStringLiteral("ヘルプ(&H)"));
    Help1->setObjectName(QStringLiteral("Help1"));

    // Tab order.
    const std::array<QWidget*, 13> tabOrder = {
        BtnSansho,          EditProgramFile,    EditApplication,     BitBtnInstall,
        EditStartMenu1,     EditStartMenu2,     EditStartMenu3,      EditStartMenuFile1,
        EditStartMenuFile2, EditStartMenuFile3, BtnStartMenuSansho1, BtnStartMenuSansho2,
        BtnStartMenuSansho3};
    for (std::size_t i = 0; i + 1 < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    BtnSansho->setFocus();

    // Events. The three start-menu browse buttons are bound in FormCreate.
    connect(BtnSansho, &QPushButton::clicked, this, &TForm1::BtnSanshoClick);
    connect(EditProgramFile, &QLineEdit::textChanged, this, &TForm1::EditProgramFileChange);
    connect(EditApplication, &QLineEdit::textChanged, this, &TForm1::EditApplicationChange);
    connect(BitBtnInstall, &QPushButton::clicked, this, &TForm1::BitBtnInstallClick);
    connect(Help1, &QAction::triggered, this, &TForm1::Help1Click);

    // The client area is fixed; the menu bar lies outside it.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    CentreOnScreen();
}

void TForm1::CentreOnScreen() {
    const QScreen* desktop = screen();
    if (!desktop)
        return;
    // The border counts once it is known (after the first show).
    const QMargins border = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize outer = size().grownBy(border);
    const QPoint centre = desktop->geometry().center();
    move(centre.x() - (outer.width() - 1) / 2, centre.y() - (outer.height() - 1) / 2);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        CentreOnScreen();
    }
}

void TForm1::FormCreate() {
    // 1. The tool's own folder, ending with a backslash.
    state.ToolFolder =
        pathrules::withTrailingBackslash(pathrules::folderPart(system_.ownExecutablePath()));

    // 2. Hints stay up for two minutes: eventFilter shows them.
    // 3. The hints of the program-file and software-name fields.
    EditProgramFile->setToolTip(hintText(ProgramFileHint));
    EditApplication->setToolTip(hintText(ApplicationHint));
    EditProgramFile->installEventFilter(this);
    EditApplication->installEventFilter(this);

    // 4. The start-menu block in its fixed order.
    StartMenuRows = {EditStartMenu1,      EditStartMenu2,      EditStartMenu3,
                     EditStartMenuFile1,  EditStartMenuFile2,  EditStartMenuFile3,
                     BtnStartMenuSansho1, BtnStartMenuSansho2, BtnStartMenuSansho3};

    // 5. Row tags, the browse buttons' handler, the rows' hints.
    for (int i = 1; i <= 3; ++i) {
        QWidget* nameField = StartMenuRows[static_cast<std::size_t>(i - 1)];
        QWidget* fileField = StartMenuRows[static_cast<std::size_t>(i + 2)];
        auto* browse = static_cast<QPushButton*>(StartMenuRows[static_cast<std::size_t>(i + 5)]);
        browse->setProperty("tag", i);
        connect(browse, &QPushButton::clicked, this,
                [this, browse] { BtnStartMenuSanshoClick(browse); });
        nameField->setToolTip(hintText(StartMenuNameHint));
        fileField->setToolTip(hintText(StartMenuFileHint));
        nameField->installEventFilter(this);
        fileField->installEventFilter(this);
    }

    // 6. No control file written yet.
    state.CreatedIniFiles.clear();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (!widget->toolTip().isEmpty()) {
            const auto* help = static_cast<QHelpEvent*>(event);
            // Hidden when the pointer leaves the field, else after two minutes.
            QToolTip::showText(help->globalPos(), widget->toolTip(), widget, widget->rect(),
                               HintHidePause);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QLineEdit* TForm1::StartMenuFileField(int row) const {
    switch (row) {
    case 1:
        return EditStartMenuFile1;
    case 2:
        return EditStartMenuFile2;
    case 3:
        return EditStartMenuFile3;
    default:
        return nullptr;
    }
}

void TForm1::BtnSanshoClick() {
    OpenDialog1.setFilter(QString::fromUtf8(ProgramFileFilter));
    OpenDialog1.setTitle(QString::fromUtf8(ProgramFileTitle));
    if (!OpenDialog1.execute(this))
        return;

    // The field shows the path as the user chose it; the logic works on its
    // code page 932 form, which not every name has.
    const QString chosen = OpenDialog1.fileName();
    const std::optional<std::string> programFile = system_.fromNativePath(chosen.toStdString());
    if (!programFile) {
        platform::MessageBox::plain(this, QString::fromUtf8(UnusableNameMessage));
        return;
    }
    prepare::setProgramFile(state, *programFile);
    EditProgramFile->setText(chosen); // runs EditProgramFileChange when the text differs

    // The start-menu rows, row by row; they stay enabled from now on.
    for (std::size_t row = 0; row < 3; ++row) {
        StartMenuRows[row]->setEnabled(true);
        StartMenuRows[row + 3]->setEnabled(true);
        StartMenuRows[row + 6]->setEnabled(true);
    }
}

void TForm1::BtnStartMenuSanshoClick(QObject* Sender) {
    if (!Sender)
        return;
    QLineEdit* fileField = StartMenuFileField(Sender->property("tag").toInt());
    if (!fileField)
        return;
    OpenDialog1.setFilter(QString::fromUtf8(AnyFileFilter));
    OpenDialog1.setTitle(QString::fromUtf8(AnyFileTitle));
    if (!OpenDialog1.execute(this))
        return;
    fileField->setText(OpenDialog1.fileName());
}

namespace {

int ProgressDelay = 500;

QString fromLogic(const std::string& cp932) {
    return QString::fromStdString(platform::utf8FromCp932ForDisplay(cp932));
}

} // namespace

void TForm1::setProgressDelay(int milliseconds) {
    ProgressDelay = milliseconds;
}

// What a request asks of the window while it runs: the progress text, the
// progress window of a long survey, and the question.
class WindowRequestUi : public prepare::RequestUi {
public:
    explicit WindowRequestUi(TForm1& form) : form_(form) { clock_.start(); }
    ~WindowRequestUi() override { delete progress_; }

    void showProgress(bool visible) override {
        form_.Label6->setVisible(visible);
        // Drawn now: the survey that follows does not return to the event loop.
        if (visible)
            form_.Label6->repaint();
    }

    bool surveyProgress(std::size_t met) override {
        if (form_.closePending_)
            return false;
        if (!progress_ && clock_.elapsed() >= ProgressDelay) {
            progress_ = new QProgressDialog(&form_);
            progress_->setWindowTitle(QApplication::applicationName());
            progress_->setCancelButtonText(QString::fromUtf8("キャンセル"));
            progress_->setRange(0, 0);
            progress_->setMinimumDuration(0);
            progress_->setWindowModality(Qt::WindowModal);
            progress_->setObjectName(QStringLiteral("SurveyProgress"));
            progress_->show();
        }
        if (progress_) {
            progress_->setLabelText(
                QString::fromUtf8("フォルダのファイルを調べています…\n%1 個").arg(met));
            // The progress window is modal: the user can only cancel.
            QCoreApplication::processEvents();
            return !progress_->wasCanceled() && !form_.closePending_;
        }
        // Keep the window painted, without taking input.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return !form_.closePending_;
    }

    bool confirmInstallInPlace() override {
        delete progress_;
        progress_ = nullptr;
        const auto answer =
            platform::MessageBox::question(&form_, fromLogic(prepare::text::confirmCaption()),
                                           fromLogic(prepare::text::confirmRelocationRefused()));
        return answer != platform::MessageBox::Button::No;
    }

private:
    TForm1& form_;
    QElapsedTimer clock_;
    QProgressDialog* progress_ = nullptr;
};

prepare::RequestTexts TForm1::GatherRequest() const {
    // Each text in code page 932; nullopt where it cannot be written so.
    auto plain = [](const QLineEdit* field) -> std::optional<std::string> {
        return platform::cp932FromUtf8(field->text().toStdString());
    };
    auto path = [this](const QLineEdit* field) -> std::optional<std::string> {
        const QString text = field->text();
        if (text.isEmpty())
            return std::string();
        return system_.fromNativePath(text.toStdString());
    };
    prepare::RequestTexts texts;
    texts.programFile = path(EditProgramFile);
    texts.application = plain(EditApplication);
    const QLineEdit* names[] = {EditStartMenu1, EditStartMenu2, EditStartMenu3};
    const QLineEdit* files[] = {EditStartMenuFile1, EditStartMenuFile2, EditStartMenuFile3};
    for (int row = 0; row < 3; ++row) {
        texts.startMenuNames[row] = plain(names[row]);
        texts.startMenuFiles[row] = path(files[row]);
    }
    return texts;
}

QWidget* TForm1::FieldWidget(prepare::Field field) const {
    using prepare::Field;
    switch (field) {
    case Field::ProgramFile:
        return EditProgramFile;
    case Field::Application:
        return EditApplication;
    case Field::StartMenuName1:
        return EditStartMenu1;
    case Field::StartMenuName2:
        return EditStartMenu2;
    case Field::StartMenuName3:
        return EditStartMenu3;
    case Field::StartMenuFile1:
        return EditStartMenuFile1;
    case Field::StartMenuFile2:
        return EditStartMenuFile2;
    case Field::StartMenuFile3:
        return EditStartMenuFile3;
    case Field::None:
        break;
    }
    return nullptr;
}

void TForm1::BitBtnInstallClick() {
    if (requestRunning_)
        return;
    BitBtnInstall->setEnabled(false);
    requestRunning_ = true;
    prepare::RequestOutcome outcome;
    {
        WindowRequestUi ui(*this);
        outcome = prepare::runInstallRequest(system_, state, GatherRequest(), ui);
    }
    requestRunning_ = false;

    using Kind = prepare::RequestOutcome::Kind;
    switch (outcome.kind) {
    case Kind::Rejected:
        platform::MessageBox::plain(this, fromLogic(outcome.message));
        if (QWidget* field = FieldWidget(outcome.focus))
            field->setFocus();
        BitBtnInstall->setEnabled(true);
        break;
    case Kind::Declined:
        close();
        return;
    case Kind::Cancelled:
        BitBtnInstall->setEnabled(true);
        break;
    case Kind::WriteFailed:
        // Nothing was moved: the control file is written before any move.
        BitBtnInstall->setEnabled(true);
        platform::MessageBox::error(this, fromLogic(outcome.message));
        break;
    case Kind::Started:
        break;
    }
    if (closePending_)
        close();
}

void TForm1::FormCloseQuery(QObject* /*Sender*/, bool& CanClose) {
    CanClose = true;
    if (restored_)
        return;
    restored_ = true;
    prepare::restoreOnClose(system_, state.CreatedIniFiles);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (requestRunning_) {
        // A request is moving files: it stops at its next step, then the
        // window closes.
        closePending_ = true;
        event->ignore();
        return;
    }
    bool canClose = true;
    FormCloseQuery(this, canClose);
    event->accept();
}

void TForm1::SessionEnding(QSessionManager& /*manager*/) {
    bool canClose = true;
    FormCloseQuery(this, canClose);
}

void TForm1::EditProgramFileChange() {
    if (!EditApplication->text().isEmpty())
        BitBtnInstall->setEnabled(true);
    if (EditProgramFile->text().isEmpty())
        BitBtnInstall->setEnabled(false);
}

void TForm1::EditApplicationChange() {
    if (!EditProgramFile->text().isEmpty())
        BitBtnInstall->setEnabled(true);
    if (EditApplication->text().isEmpty())
        BitBtnInstall->setEnabled(false);
}

void TForm1::Help1Click() {
    system_.shellOpen(state.ToolFolder + "ReadMe.txt");
}

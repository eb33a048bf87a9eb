// The main window of クワリノ: its controls, the hints it gives its fields, and
// the handlers through which the user fills it.
#pragma once

#include "platform/Dialogs.h"
#include "platform/System.h"
#include "prepare/RunState.h"
#include "prepare/Validation.h"

#include <QMainWindow>

#include <array>

class QAction;
class QCloseEvent;
class QProgressDialog;
class QSessionManager;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;

// Sets the application title "クワリノ" (task-bar caption, caption of the
// plain and error boxes). Call once after the QApplication is made.
void SetApplicationTitle();

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // How long a hint stays up unless the pointer leaves its field.
    static constexpr int HintHidePause = 120000;

    // Creating the window runs FormCreate. `system` is the platform layer the
    // handlers use (tests pass one that records instead of acting).
    explicit TForm1(platform::System& system = platform::realSystem(), QWidget* parent = nullptr);
    ~TForm1() override;

    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    const prepare::RunState& runState() const { return state; }

    // Controls, in creation order. Each has its member name as objectName.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* BtnSansho = nullptr;
    QLineEdit* EditProgramFile = nullptr;
    QLineEdit* EditApplication = nullptr;
    QPushButton* BitBtnInstall = nullptr;
    QLineEdit* EditStartMenu1 = nullptr;
    QLineEdit* EditStartMenu2 = nullptr;
    QLineEdit* EditStartMenu3 = nullptr;
    QLineEdit* EditStartMenuFile1 = nullptr;
    QLineEdit* EditStartMenuFile2 = nullptr;
    QLineEdit* EditStartMenuFile3 = nullptr;
    QPushButton* BtnStartMenuSansho1 = nullptr;
    QPushButton* BtnStartMenuSansho2 = nullptr;
    QPushButton* BtnStartMenuSansho3 = nullptr;
    platform::OpenDialog OpenDialog1;
    QMenuBar* MainMenu1 = nullptr;
    QAction* Help1 = nullptr;

    // The start-menu block: name fields 1-3, file fields 1-3, browse buttons
    // 1-3. Row i is entries i-1, i+2 and i+5.
    std::array<QWidget*, 9> StartMenuRows{};

public slots:
    void BtnSanshoClick();
    // Sender: one of the three start-menu browse buttons; its "tag" property
    // (1 to 3) names the row.
    void BtnStartMenuSanshoClick(QObject* Sender);
    void BitBtnInstallClick();
    void EditProgramFileChange();
    void EditApplicationChange();
    void Help1Click();
    // Before the window closes, however it closes (and when the desktop
    // session ends): the relocated files go back, the control files written
    // in this run are deleted. Runs once; never refuses.
    void FormCloseQuery(QObject* Sender, bool& CanClose);

public:
    // A survey that runs longer than this shows a progress window with a
    // cancel button (milliseconds; tests shorten it).
    static void setProgressDelay(int milliseconds);

protected:
    // Keeps the hints of the fields up for HintHidePause.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Centres the window on the screen the first time it is shown.
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    friend class WindowRequestUi;
    prepare::RequestTexts GatherRequest() const;
    QWidget* FieldWidget(prepare::Field field) const;
    void SessionEnding(QSessionManager& manager);
    bool requestRunning_ = false; // BitBtnInstallClick is under way
    bool closePending_ = false;   // a close came while it was
    bool restored_ = false;       // FormCloseQuery has run
    void CreateControls();
    void FormCreate();
    void CentreOnScreen();
    QLineEdit* StartMenuFileField(int row) const;

    platform::System& system_;
    prepare::RunState state;
    bool centred_ = false;
};

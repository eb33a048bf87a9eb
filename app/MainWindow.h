// The Qt window of クワリノ: a view over the window's logic (form::TForm1). It
// creates the controls of the layout table, forwards their events to the
// handlers and does what the handlers ask; it decides nothing.
#pragma once

#include "form/Unit1.h"
#include "form/View.h"
#include "platform/System.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

class QAction;
class QMenuBar;
class QProgressDialog;
class QTimer;

// Sets the application title "クワリノ" (task-bar caption, caption of the
// plain and error boxes). Call once after the QApplication is made.
void SetApplicationTitle();

class MainWindow : public QMainWindow, public form::View {
    Q_OBJECT

public:
    // `system` is the platform layer the handlers use (tests pass one that
    // records instead of acting).
    explicit MainWindow(platform::System& system = platform::realSystem());
    ~MainWindow() override;

    const form::TForm1& logic() const { return *form_; }
    // The arguments after the program's name, as a file manager passes them.
    void takeCommandLine(const QStringList& arguments);
    // The control of a layout row; each has its member name as objectName.
    QWidget* control(form::ControlId id) const { return controls_.at(id); }
    QMenuBar* MainMenu1 = nullptr;
    QAction* Help1 = nullptr;

    std::string text(form::ControlId control) const override;
    void setText(form::ControlId control, const std::string& text) override;
    bool isEnabled(form::ControlId control) const override;
    void setEnabled(form::ControlId control, bool enabled) override;
    void setVisible(form::ControlId control, bool visible) override;
    void setFocus(form::ControlId control) override;
    void plainBox(const std::string& text) override;
    form::Answer questionBox(const std::string& caption, const std::string& text) override;
    void errorBox(const std::string& text) override;
    form::Answer retryBox(const std::string& text) override;
    void beep() override;
    bool openDialog(form::OpenDialogState& dialog) override;
    void keepPainted() override;
    bool surveyProgress(std::size_t entriesSoFar) override;
    void endSurveyProgress() override;
    void closeWindow() override;

protected:
    // Keeps the hints of the fields up for form::HintHidePause.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Centres the window on the screen the first time it is shown.
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // A colour scheme switched while the window is open recolours it.
    bool event(QEvent* event) override;
    // Files dropped from the file manager go to the handlers.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createWindow();
    void createControls();
    // The background in the button-face colour of the application's palette,
    // the coloured captions in shades readable on it.
    void applyColours();
    void connectEvents();
    void centreOnScreen();
    // The look runs while the logic follows a start or a close waits.
    void followLook();

    std::vector<QWidget*> controls_; // by form::ControlId
    std::unique_ptr<form::TForm1> form_;
    QProgressDialog* progress_ = nullptr;
    // A look once a second: the desktop's opener gives the tool no process
    // of the installer to wait on.
    QTimer* installerLook_ = nullptr;
    bool centred_ = false;
};

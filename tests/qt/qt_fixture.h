#pragma once
// Shared pieces of the Qt front-end tests: one QApplication for the process
// (offscreen), a dialog that records what reaches it, and a way to act on a
// window once it is shown inside a nested event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_folder.h"
#include "toolkit/dialog.h"
#include "toolkit/qt/desktop_settings.h"
#include "toolkit/qt/qt_ui.h"

namespace kvtest {

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_qt";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // Settings the front end keeps for itself go to a test folder, not the
        // user's, and one of this process's own: ctest runs tests side by side,
        // and a width one of them keeps must not reach another.
        QStandardPaths::setTestModeEnabled(true);
        const QString own = QString::fromStdString(TestFolder("qt_settings"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, own);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, own);
        return new QApplication(argc, argv);
    }();
    return *app;
}

class QtTest : public ::testing::Test {
protected:
    // Every test starts with no window width kept from an earlier one.
    QtTest() : ui_(((void)TestApp(), argc_), argv_) { tk::DesktopSettings().remove(QStringLiteral("Window")); }
    ~QtTest() override { QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    int argc_ = 0;
    char** argv_ = nullptr;
    tk::QtUi ui_;
};

// Calls `act` with the active popup or modal window once it is a W; gives up
// after a few seconds (closing whatever is modal, so that the test ends).
template <class W>
void WhenActive(std::function<void(W*)> act) {
    auto* timer = new QTimer;
    const auto start = std::chrono::steady_clock::now();
    QObject::connect(timer, &QTimer::timeout, [timer, act, start] {
        QWidget* top = QApplication::activePopupWidget();
        if (!top) top = QApplication::activeModalWidget();
        if (auto* w = qobject_cast<W*>(top)) {
            timer->stop();
            timer->deleteLater();
            act(w);
            return;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected window was not shown";
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(0);
        }
    });
    timer->start(5);
}

// A dialog that records the commands, edits and system commands it gets.
class RecordingDialog : public tk::Dialog {
public:
    RecordingDialog(tk::Ui& ui, const tk::DialogTemplate& tpl) : Dialog(ui, tpl) {}

    std::vector<int> commands;
    std::vector<std::pair<int, std::string>> edits;
    std::vector<int> sysCommands;
    bool refuseCancel = false;
    bool refuseOk = false;
    std::function<void(int)> onCommand;  // runs before the default handling
    std::function<void()> onInit;
    std::function<void()> onTimer;

protected:
    void OnTimer() override {
        if (onTimer) onTimer();
    }
    bool OnInitDialog() override {
        if (onInit) onInit();
        return Dialog::OnInitDialog();
    }
    void OnCommand(int id) override {
        commands.push_back(id);
        if (onCommand) onCommand(id);
        if ((id == tk::IDCANCEL && refuseCancel) || (id == tk::IDOK && refuseOk)) return;
        Dialog::OnCommand(id);
    }
    void OnEditChange(int id) override { edits.emplace_back(id, GetItemText(id)); }
    void OnSysCommand(int id) override { sysCommands.push_back(id); }
};

}  // namespace kvtest

#include "toolkit/qt/qt_ui.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "platform/stop_signals.h"
#include "toolkit/dialog.h"
#include "toolkit/qt/dialog_view.h"
#include "toolkit/qt/file_filter.h"
#include "toolkit/qt/qt_text.h"

// The application icon is compiled in from res/kelvane.qrc; a static library
// must name its resources once so that the linker keeps them.
static void InitIconResource() { Q_INIT_RESOURCE(kelvane); }

namespace tk {

QtUi::QtUi(int& argc, char** argv) {
    if (!QApplication::instance()) app_ = std::make_unique<QApplication>(argc, argv);
    // Windows come and go between the dialogs of a run; Qt must not quit
    // its event loops when none is left for a moment.
    QApplication::setQuitOnLastWindowClosed(false);
    InitIconResource();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/kelvane/kelvane.png")));
    // A stop signal wakes whatever event loop runs; the pipe stays readable,
    // so the notifier goes quiet after the first time.
    if (plat::StopWakeFd() >= 0) {
        stopNotifier_ = std::make_unique<QSocketNotifier>(plat::StopWakeFd(), QSocketNotifier::Read);
        QObject::connect(stopNotifier_.get(), &QSocketNotifier::activated, [this] {
            stopNotifier_->setEnabled(false);
            NoticeStop();
        });
    }
}

QtUi::~QtUi() {
    // Only modeless windows can still be open here (modal ones live in
    // RunModal); their dialogs outlive this front end or are gone already.
    for (DialogView* v : views_) {
        if (Dialog* d = v->Model()) d->Attach(nullptr);
        v->Detach();
        delete v;
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* QtUi::Owner() const {
    for (auto it = plain_.rbegin(); it != plain_.rend(); ++it)
        if (*it) return *it;
    return views_.empty() ? nullptr : views_.back();
}

void QtUi::ShowAbove(QWidget& window) {
    QWidget* owner = Owner();
    if (!owner || &window == owner) return;
    window.winId();  // makes the native window that the owner is named to
    if (window.windowHandle() && owner->windowHandle())
        window.windowHandle()->setTransientParent(owner->windowHandle());
    if (owner->isVisible()) {
        window.adjustSize();
        window.move(owner->frameGeometry().center() - window.rect().center());
    }
}

int QtUi::RunPlain(QDialog& box) {
    ShowAbove(box);
    plain_.emplace_back(&box);
    const int r = box.exec();
    plain_.erase(std::remove(plain_.begin(), plain_.end(), QPointer<QDialog>(&box)), plain_.end());
    return r;
}

int QtUi::RunModal(Dialog& dlg) {
    if (QuitRequested()) return IDCANCEL;
    ModalScope scope(*this, dlg);
    DialogView view(dlg, false);
    ShowAbove(view);
    views_.push_back(&view);
    dlg.Attach(&view);
    dlg.Initialize();
    if (!dlg.Ended() && !QuitRequested()) {
        view.SyncAll();
        view.exec();
    }
    dlg.Attach(nullptr);
    view.Detach();
    views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
    return dlg.Ended() ? dlg.Result() : IDCANCEL;
}

int QtUi::MessageBox(const std::string& text, const std::string& caption, Icon icon, Buttons buttons) {
    if (QuitRequested()) return IDCANCEL;
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::Stop: qicon = QMessageBox::Critical; break;
    case Icon::Exclamation: qicon = QMessageBox::Warning; break;
    case Icon::Information: qicon = QMessageBox::Information; break;
    case Icon::None: break;
    }
    const auto qbuttons = buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                       : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(qicon, ToQ(caption), ToQ(LinesOf(text)), qbuttons);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    const int r = RunPlain(box);
    if (QuitRequested()) return IDCANCEL;
    return r == QMessageBox::Ok ? IDOK : IDCANCEL;
}

std::optional<std::string> QtUi::OpenFile(const std::string& filter) {
    if (QuitRequested()) return std::nullopt;
    QFileDialog fd(nullptr, QStringLiteral("Open"), QString(), ToQ(QtFileFilter(filter)));
    fd.setAcceptMode(QFileDialog::AcceptOpen);
    fd.setFileMode(QFileDialog::ExistingFile);
    if (RunPlain(fd) != QDialog::Accepted || QuitRequested()) return std::nullopt;
    const QStringList files = fd.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return QFile::encodeName(files.front()).toStdString();
}

void QtUi::ShowModeless(Dialog& dlg) {
    auto* view = new DialogView(dlg, true);
    ShowAbove(*view);
    views_.push_back(view);
    AddModeless(dlg);
    dlg.Attach(view);
    view->SyncAll();
    view->show();
}

void QtUi::DestroyModeless(Dialog& dlg) {
    RemoveModeless(dlg);
    auto it = std::find_if(views_.begin(), views_.end(), [&](DialogView* v) { return v->Model() == &dlg; });
    if (it == views_.end()) return;
    DialogView* view = *it;
    views_.erase(it);
    dlg.Attach(nullptr);
    view->Detach();
    view->hide();
    view->deleteLater();  // its own button handler may be what destroys it
}

bool QtUi::PumpPending() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    NoticeStop();
    return !QuitRequested();
}

void QtUi::Quit(int exitCode) {
    UiBase::Quit(exitCode);  // ends every open modal dialog
    const auto open = plain_;
    for (const auto& box : open)
        if (box) box->done(QDialog::Rejected);
}

void QtUi::Trace(const std::string& text) { std::cout << text << std::flush; }

QDialog* QtUi::WindowOf(const Dialog& dlg) const {
    for (DialogView* v : views_)
        if (v->Model() == &dlg) return v;
    return nullptr;
}

void QtUi::WaitCursorShown() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtUi::WaitCursorHidden() { QApplication::restoreOverrideCursor(); }

namespace {

bool SocketExists(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec);
}

bool DisplayUsable() {
    const auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    const std::string qpa = env("QT_QPA_PLATFORM");
    if (qpa.rfind("offscreen", 0) == 0 || qpa.rfind("minimal", 0) == 0) return true;

    if (const std::string wl = env("WAYLAND_DISPLAY"); !wl.empty()) {
        const std::filesystem::path sock = wl.front() == '/' ? wl : env("XDG_RUNTIME_DIR") + "/" + wl;
        if (SocketExists(sock)) return true;
    }
    const std::string x = env("DISPLAY");
    if (x.empty()) return false;
    // ":0", ":0.0" and "unix:0" are local sockets; other hosts are trusted.
    const auto colon = x.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = x.substr(0, colon);
    if (!host.empty() && host != "unix") return true;
    const std::string number = x.substr(colon + 1, x.find('.', colon) - colon - 1);
    return !number.empty() && SocketExists("/tmp/.X11-unix/X" + number);
}

}  // namespace

std::unique_ptr<QtUi> MakeQtUiIfDisplay(int& argc, char** argv) {
    if (!QApplication::instance() && !DisplayUsable()) return nullptr;
    return std::make_unique<QtUi>(argc, argv);
}

}  // namespace tk

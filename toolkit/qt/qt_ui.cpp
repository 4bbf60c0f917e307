#include "toolkit/qt/qt_ui.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QSocketNotifier>
#include <QThread>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string_view>

#include "platform/stop_signals.h"
#include "toolkit/dialog.h"
#include "toolkit/qt/desktop_settings.h"
#include "toolkit/qt/dialog_view.h"
#include "toolkit/qt/file_filter.h"
#include "toolkit/qt/qt_text.h"
#include "toolkit/qt/window_width.h"

// The application icon is compiled in from res/kelvane.qrc; a static library
// must name its resources once so that the linker keeps them.
static void InitIconResource() { Q_INIT_RESOURCE(kelvane); }

namespace tk {

namespace {

using namespace std::chrono_literals;

// How often a wait repaints, and how long it runs before the cursor says so.
constexpr auto kPaintInterval = 30ms;
constexpr auto kWaitCursorAfter = 300ms;

const QString kLastFolderKey = QStringLiteral("FileDialog/LastFolder");
QSettings FileDialogSettings() { return DesktopSettings(); }

// The application's event filter, handing every event to the front end.
class InputGate : public QObject {
public:
    explicit InputGate(std::function<bool(QObject*, QEvent*)> filter) : filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override { return filter_(receiver, e); }

private:
    std::function<bool(QObject*, QEvent*)> filter_;
};

bool IsKey(const QEvent* e) {
    return e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease || e->type() == QEvent::ShortcutOverride;
}

// What a user does to a window; hovering is left out, it changes nothing.
bool IsUserInput(const QEvent* e) {
    switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Shortcut: return true;
        default: return IsKey(e);
    }
}

}  // namespace

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

    hookContext_ = std::make_unique<QObject>();
    if (auto* dispatcher = QAbstractEventDispatcher::instance(QApplication::instance()->thread()))
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, hookContext_.get(),
                         [this] { WaitingEnded(); });
    inputGate_ = std::make_unique<InputGate>([this](QObject* r, QEvent* e) { return FilterInput(r, e); });
    QApplication::instance()->installEventFilter(inputGate_.get());
    plat::SetWaitHook(this);
}

QtUi::~QtUi() {
    if (plat::WaitHook() == this) plat::SetWaitHook(nullptr);
    if (QApplication::instance()) QApplication::instance()->removeEventFilter(inputGate_.get());
    WaitingEnded();
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
    // QMessageBox sizes itself to its text and ignores a minimum width; a
    // spacer across its grid is what it cannot shrink below.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(MessageBoxMinimumWidth(box.windowTitle()), 0), grid->rowCount(), 0, 1,
                      grid->columnCount());
    const int r = RunPlain(box);
    if (QuitRequested()) return IDCANCEL;
    return r == QMessageBox::Ok ? IDOK : IDCANCEL;
}

namespace {

// Qt's own file dialog opens so narrow that its columns cut names, types
// and dates: give each column room for its usual text, and the dialog room
// for the columns. (A desktop's native dialog sizes itself.)
void FitFileDialog(QFileDialog& fd) {
    auto* details = fd.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!details) return;
    const QFontMetrics fm(details->font());
    const int ch = fm.averageCharWidth();
    const QString date = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    const int widths[] = {48 * ch, 10 * ch, 22 * ch, fm.horizontalAdvance(date) + 4 * ch};
    int total = 0;
    for (int i = 0; i < 4 && i < details->header()->count(); ++i) {
        details->header()->resizeSection(i, widths[i]);
        total += widths[i];
    }
    // The places on the left, the frames and a scroll bar.
    fd.resize(std::max(fd.sizeHint().width(), total + 30 * ch), std::max(fd.sizeHint().height(), 26 * fm.height()));
}

}  // namespace

std::optional<std::string> QtUi::OpenFile(const std::string& filter) {
    if (QuitRequested()) return std::nullopt;
    QFileDialog fd(nullptr, QStringLiteral("Open"), QString(), ToQ(QtFileFilter(filter)));
    fd.setAcceptMode(QFileDialog::AcceptOpen);
    fd.setFileMode(QFileDialog::ExistingFile);
    const QFileInfo start = StartOfFileDialog();
    if (start.isFile())
        fd.selectFile(start.absoluteFilePath());
    else if (start.isDir())
        fd.setDirectory(start.absoluteFilePath());
    FitFileDialog(fd);
    if (RunPlain(fd) != QDialog::Accepted || QuitRequested()) return std::nullopt;
    const QStringList files = fd.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    FileDialogSettings().setValue(kLastFolderKey, QFileInfo(files.front()).absolutePath());
    return QFile::encodeName(files.front()).toStdString();
}

QFileInfo QtUi::StartOfFileDialog() const {
    // The file the asking dialog names already, or its folder.
    if (const Dialog* dlg = ActiveWindow()) {
        for (const auto& c : dlg->Template().controls) {
            if ((c.kind != Kind::Edit && c.kind != Kind::ComboBox) || c.label != "FilePath") continue;
            const std::string text = dlg->GetItemText(c.id);
            if (text.empty()) break;
            const QFileInfo named(QFile::decodeName(QByteArray::fromStdString(text)));
            if (named.isFile()) return named;
            if (QFileInfo(named.absolutePath()).isDir()) return QFileInfo(named.absolutePath());
            break;
        }
    }
    const QFileInfo last(FileDialogSettings().value(kLastFolderKey).toString());
    return last.isDir() ? last : QFileInfo();
}

void QtUi::ShowModeless(Dialog& dlg) {
    auto* view = new DialogView(dlg, true);
    ShowAbove(*view);
    views_.push_back(view);
    AddModeless(dlg);
    dlg.Attach(view);
    view->SyncAll();
    view->show();
    // Its Cancel, Escape and Space are what the user may do now.
    view->activateWindow();
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
    WaitingEnded();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    NoticeStop();
    return !QuitRequested();
}

void QtUi::Waiting() {
    // Only the thread of the windows may paint them (the channel's watcher
    // thread waits too), and painting must not start a paint of its own.
    if (inWaiting_ || QThread::currentThread() != QApplication::instance()->thread()) return;
    const auto now = std::chrono::steady_clock::now();
    if (!waitingSince_) waitingSince_ = now;
    if (now - lastPainted_ < kPaintInterval) return;
    lastPainted_ = now;
    if (!waitCursorForWaiting_ && now - *waitingSince_ >= kWaitCursorAfter) {
        waitCursorForWaiting_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    // All events, user input included: input that the window system was
    // made to hold back would come out only with the next event it reads,
    // long after the wait, and then at the place of that next click.
    // FilterInput keeps the input for other windows out while we wait.
    inWaiting_ = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    inWaiting_ = false;
}

DialogView* QtUi::ModelessViewOf(const QWidget* w) const {
    const QWidget* top = w ? w->window() : nullptr;
    for (DialogView* v : views_)
        if (v == top && v->IsModeless()) return v;
    return nullptr;
}

DialogView* QtUi::TopModelessView() const {
    for (auto it = views_.rbegin(); it != views_.rend(); ++it)
        if ((*it)->IsModeless() && (*it)->isVisible()) return *it;
    return nullptr;
}

bool QtUi::FilterInput(QObject* receiver, QEvent* e) {
    if (!receiver->isWidgetType() || !IsUserInput(e)) return false;
    auto* target = static_cast<QWidget*>(receiver);
    if (ModelessViewOf(target)) return false;
    // A key on a window that a modeless window has disabled (the window
    // manager may have given the focus back to it) is meant for the modeless one.
    if (IsKey(e) && !target->window()->isEnabled()) {
        if (DialogView* modeless = TopModelessView()) {
            QWidget* to = modeless->focusWidget() ? modeless->focusWidget() : modeless;
            QApplication::sendEvent(to, e);
            return true;
        }
    }
    return inWaiting_;
}

void QtUi::WaitingEnded() {
    waitingSince_.reset();
    if (!waitCursorForWaiting_) return;
    waitCursorForWaiting_ = false;
    QApplication::restoreOverrideCursor();
}

void QtUi::Quit(int exitCode) {
    UiBase::Quit(exitCode);  // ends every open modal dialog
    const auto open = plain_;
    for (const auto& box : open)
        if (box) box->done(QDialog::Rejected);
}

void QtUi::Trace(const std::string& text) {
    if (TracesShown()) std::cout << StampedTrace(text) << std::flush;
}

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

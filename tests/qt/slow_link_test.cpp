// kelvane on the desktop over a channel whose waits take real time, as at
// 9600 bps: what the user does while the program waits on the chip. A click
// or key aimed at the panel during a wait does nothing; Cancel, Escape and
// Space in the progress window stop the pages at once; the start-up shows
// its window while the link comes up, and its Cancel ends the run.
// The program's headers come before Qt's: Qt defines "slots" as a keyword.
#include "tests/iddlg/id_rig.h"
#include "tests/support/stub_link.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>

#include "app/dialogs/progress_dlg.h"
#include "app/kelvix_dlg.h"
#include "platform/clock.h"
#include "qt_fixture.h"
#include "toolkit/qt/dialog_view.h"

namespace kvtest {
namespace {

// Every wait for a reply to begin also takes real time, with the wait hook
// called as a port's wait calls it. `duringNextWait` runs at the start of
// the next such wait: what it posts arrives while the program waits.
class SlowDevice : public FakeSerialDevice {
public:
    explicit SlowDevice(VirtualClock& clock) : FakeSerialDevice(clock) {}

    std::function<void()> duringNextWait;
    int waits = 0;
    bool waiting = false;

    void WaitForInput(uint32_t queued, uint32_t maxMs) override {
        FakeSerialDevice::WaitForInput(queued, maxMs);
        if (queued > 0 || maxMs == 0) return;
        ++waits;
        waiting = true;
        if (auto act = std::move(duringNextWait)) {
            duringNextWait = nullptr;
            act();
        }
        realClock_->SleepMs(120);
        waiting = false;
    }

private:
    std::unique_ptr<plat::IClock> realClock_ = plat::MakeSystemClock();
};

// Input as the window system hands it over: queued, not delivered at once.
void PostClick(QWidget* w) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    const QPointF global = w->mapToGlobal(at);
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(
        w, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

void PostKey(QWidget* w, int key, const QString& text = {}) {
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(w, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

void Type(QWidget* w, const std::string& text) {
    for (char ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(QChar(ch)));
        QApplication::sendEvent(w, &press);
    }
}

QWidget* Shown(int templateId) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QString::number(templateId)) return w;
    return nullptr;
}

QString MessageOf(QWidget* progress) {
    auto* label = progress ? progress->findChild<QLabel*>(QString::number(kv::CProgressDlg::IDC_MESSAGE)) : nullptr;
    return label ? label->text() : QString();
}

class SlowLink : public QtTest {
protected:
    SlowLink() {
        auto device = std::make_unique<SlowDevice>(clock_);
        dev_ = device.get();
        app_ = std::make_unique<kv::CKelvixApp>(
            kv::Edition::Kelvane, kv::AppServices{clock_, profile_, lock_, process_, ui_}, std::move(device));
        peer_ = std::make_unique<SimPeer>(*dev_, chip_);
        dev_->SetWriteWaitsForWire(true);
        app_->rememberedEnd = "0C3FFF";  // 64 pages: a Cancel that is not taken shows, and ends
    }

    // Runs kelvane from its start dialog; `act` is called on each pass of the
    // event loops with the active modal window, which is none during the
    // program's waits: a real program does nothing of its own then.
    int Run(const std::function<void(QWidget*)>& act) {
        QTimer driver;
        driver.setInterval(0);
        const auto start = std::chrono::steady_clock::now();
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(40)) {
                ADD_FAILURE() << "the run got stuck";
                ui_.Quit(1);
                return;
            }
            act(dev_->waiting ? nullptr : QApplication::activeModalWidget());
        });
        driver.start();
        return app_->Run({"kelvane", "--port", "COM1"});
    }

    // Presses a button from an event loop of its own turn, as a user would.
    static void Press(QWidget* window, int id) {
        QTimer::singleShot(0, window, [window, id] {
            if (auto* b = window->findChild<QPushButton*>(QString::number(id))) b->click();
        });
    }

    void FillIdCheck(QWidget* w) const {
        auto* view = static_cast<tk::DialogView*>(w);
        Type(view->Widget(kv::CIDCheckDlg::IDC_FILE_PATH), programFile_);
        for (int i = 0; i < 7; ++i) Type(view->Widget(kv::CIDCheckDlg::IDC_ID1 + i), std::to_string(11 * (i + 1)));
    }

    VirtualClock clock_;
    MemoryProfile profile_;
    FakeLock lock_;
    NullProcess process_;
    sim::Chip chip_{ChipOptions(kv::Edition::Kelvane)};
    std::unique_ptr<SimPeer> peer_;
    SlowDevice* dev_ = nullptr;
    std::unique_ptr<kv::CKelvixApp> app_;
    ScratchDir dir_;
    const std::string programFile_ =
        dir_.Write("demo.mot", "S00600004844521B\n" + Record(2, 0x0C0000, {0x4B, 0x76}) + "\nS804000000FB\n");
};

// The start-up shows "Connecting to COM1..." while the link comes up; on
// the panel, a click on Version... and an Escape made while Status... waits
// on the chip do nothing; a blank check stops within a page of a Cancel
// clicked, of an Escape (even one that lands on the panel the progress
// window disabled) and of a Space on its Cancel, each made during a wait.
TEST_F(SlowLink, InputDuringAWaitGoesOnlyWhereItWasAimed) {
    using Panel = kv::CKelvixDlg;
    bool connectingShown = false;
    int versionShown = 0;
    int statusShown = 0;
    std::vector<int> pagesAfterCancel;

    // How each blank check is cancelled, in turn; the last entry exits.
    const std::vector<std::function<void(QWidget * progress)>> cancels = {
        [](QWidget* progress) { PostClick(progress->findChild<QPushButton*>(QString::number(tk::IDCANCEL))); },
        [](QWidget*) { PostKey(Shown(kv::IDD_KELVIX_DIALOG), Qt::Key_Escape); },
        [](QWidget* progress) {
            PostKey(progress->findChild<QPushButton*>(QString::number(tk::IDCANCEL)), Qt::Key_Space, " ");
        },
    };
    size_t blankRuns = 0;
    bool statusDone = false;
    QWidget* armedFor = nullptr;  // the progress window a cancel is armed for
    int waitsAtCancel = 0;

    const int code = Run([&](QWidget* modal) {
        if (QWidget* progress = Shown(kv::IDD_PROGRESS)) {
            if (MessageOf(progress).startsWith("Connecting to COM1...")) connectingShown = true;
            if (MessageOf(progress) == "Blank check." && armedFor != progress && blankRuns > 0) {
                armedFor = progress;
                dev_->duringNextWait = [&, progress, how = cancels[blankRuns - 1]] {
                    waitsAtCancel = dev_->waits;
                    how(progress);
                };
            }
        }
        if (armedFor && !Shown(kv::IDD_PROGRESS) && waitsAtCancel > 0) {
            pagesAfterCancel.push_back(dev_->waits - waitsAtCancel);
            armedFor = nullptr;
            waitsAtCancel = 0;
        }
        if (Shown(kv::IDD_VERSION)) ++versionShown;
        if (!modal || !modal->isVisible()) return;
        const QString caption = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            ADD_FAILURE() << "unexpected message: " << box->text().toStdString();
            box->done(QMessageBox::Ok);
        } else if (caption == "Select Program" || caption == "Input Address") {
            Press(modal, tk::IDOK);
        } else if (caption == "ID Check") {
            FillIdCheck(modal);
            Press(modal, tk::IDOK);
        } else if (caption == "Status") {
            ++statusShown;
            Press(modal, tk::IDOK);
        } else if (caption == "Kelvane" && modal->isEnabled() && !armedFor) {
            if (!statusDone) {
                statusDone = true;
                dev_->duringNextWait = [modal] {
                    PostClick(modal->findChild<QPushButton*>(QString::number(Panel::IDC_VERSION)));
                    PostKey(modal, Qt::Key_Escape);
                };
                Press(modal, Panel::IDC_STATUS);
            } else if (blankRuns < cancels.size() && pagesAfterCancel.size() == blankRuns) {
                ++blankRuns;
                Press(modal, Panel::IDC_BLANK);
            } else if (pagesAfterCancel.size() == cancels.size()) {
                Press(modal, Panel::IDC_EXIT);
            }
        }
    });

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(connectingShown);
    EXPECT_EQ(statusShown, 1);
    EXPECT_EQ(versionShown, 0);
    ASSERT_EQ(pagesAfterCancel.size(), cancels.size());
    for (size_t i = 0; i < cancels.size(); ++i) EXPECT_LE(pagesAfterCancel[i], 1) << "cancel " << i;
}

// Cancel in the start-up's window ends the run before any other window.
TEST_F(SlowLink, CancelWhileConnectingEndsTheRun) {
    bool cancelled = false;
    bool otherShown = false;
    const int code = Run([&](QWidget* modal) {
        if (QWidget* progress = Shown(kv::IDD_PROGRESS); progress && !cancelled) {
            cancelled = true;
            EXPECT_EQ(progress->windowTitle(), "Kelvane");
            auto click = [progress] { PostClick(progress->findChild<QPushButton*>(QString::number(tk::IDCANCEL))); };
            if (dev_->waiting)
                click();  // taken in this wait still
            else
                dev_->duringNextWait = click;
        }
        if (!modal || !modal->isVisible()) return;
        if (modal->windowTitle() == "Select Program") {
            Press(modal, tk::IDOK);
        } else {
            otherShown = true;
            if (auto* box = qobject_cast<QMessageBox*>(modal)) box->done(QMessageBox::Ok);
        }
    });
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(otherShown);
    EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace kvtest

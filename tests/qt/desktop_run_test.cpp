// kelvane on the desktop against the simulated chip, on virtual time: the
// keyboard in the ID check, and a whole run from the start dialog to Exit,
// which also makes the README's screenshots when KELVANE_SCREENSHOT_DIR
// names a folder (scripts/make-screenshots).
// The program's headers come before Qt's: Qt defines "slots" as a keyword.
#include "app/dialogs/id_check_dlg.h"
#include "tests/iddlg/id_rig.h"
#include "tests/support/stub_link.h"

#include <filesystem>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include "qt_fixture.h"
#include "toolkit/qt/dialog_view.h"

namespace kvtest {
namespace {

void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

void Type(QWidget* w, const std::string& text) {
    for (char ch : text) Key(w, Qt::Key_A, QString(QChar(ch)));
}

// kelvane with the desktop front end, a simulated chip on a fake serial
// device and virtual time.
class DesktopRun : public QtTest {
protected:
    DesktopRun() {
        auto device = std::make_unique<FakeSerialDevice>(clock_);
        dev_ = device.get();
        app_ = std::make_unique<kv::CKelvixApp>(
            kv::Edition::Kelvane, kv::AppServices{clock_, profile_, lock_, process_, ui_}, std::move(device));
        peer_ = std::make_unique<SimPeer>(*dev_, chip_);
        dev_->SetWriteWaitsForWire(true);  // frames take their time on the line, as on a port
    }

    // Types a program file and the simulated chip's ID into the ID check.
    void FillIdCheck(tk::DialogView& view, const std::string& file) {
        Type(view.Widget(kv::CIDCheckDlg::IDC_FILE_PATH), file);
        for (int i = 0; i < 7; ++i) Type(view.Widget(kv::CIDCheckDlg::IDC_ID1 + i), std::to_string(11 * (i + 1)));
    }

    VirtualClock clock_;
    MemoryProfile profile_;
    FakeLock lock_;
    NullProcess process_;
    sim::Chip chip_{ChipOptions(kv::Edition::Kelvane)};
    std::unique_ptr<SimPeer> peer_;
    FakeSerialDevice* dev_ = nullptr;
    std::unique_ptr<kv::CKelvixApp> app_;  // ends before the chip and peer, with the device it owns
    ScratchDir dir_;
    // Forty pages of data, so that a program operation shows its progress for a while.
    const std::string programFile_ = dir_.Write("demo.mot", [] {
        std::string text = "S00600004844521B\n";
        for (uint32_t a = 0x0C0000; a < 0x0C0000 + 40 * 256; a += 256) text += Record(2, a, {0x4B, 0x76}) + "\n";
        return text + "S804000000FB\n";
    }());
};

// Tab from the last ID field goes on to OK (not Cancel, which would send the
// all-zero ID), and Enter there checks the typed ID.
TEST_F(DesktopRun, EnterInTheLastIdFieldChecksTheTypedId) {
    OpenStubLink(*app_);
    ASSERT_EQ(app_->Synchronise(), 1);
    app_->firstRun = 1;

    // The name, not the widget: the dialog's widgets are gone once it has ended.
    QString afterLastId;
    WhenActive<tk::DialogView>([&](tk::DialogView* view) {
        FillIdCheck(*view, programFile_);
        QWidget* last = view->Widget(kv::CIDCheckDlg::IDC_ID1 + 6);
        last->setFocus();
        Key(last, Qt::Key_Tab);
        if (QWidget* focused = view->focusWidget()) afterLastId = focused->objectName();
        last->setFocus();
        Key(last, Qt::Key_Return);
    });
    kv::CIDCheckDlg dlg(*app_);
    EXPECT_EQ(dlg.DoModal(), tk::IDOK);
    EXPECT_EQ(afterLastId, QString::number(tk::IDOK));
    EXPECT_TRUE(chip_.IdVerified());
    EXPECT_EQ(app_->idVerified, 1);
}

// The ID fields as typed at the keyboard: two hex digits each, a Tab by
// habit after kelvlite's advance stays in the field it moved to, and typing
// into the field the advance moved to replaces what it held.
TEST_F(QtTest, IdFieldsTakeTwoHexDigitsAndTheAdvanceEatsOneTab) {
    struct Row {
        const char* name;
        kv::Edition edition;
        const char* before;  // each ID field's text first
        const char* typed;   // into ID1 and on where the focus goes; '\t' is Tab
        std::vector<std::string> ids;
    };
    const Row rows[] = {
        {"Tab after each advance",
         kv::Edition::Kelvlite,
         "",
         "11\t22\t33\t44\t55\t66\t77",
         {"11", "22", "33", "44", "55", "66", "77"}},
        {"filled fields are replaced",
         kv::Edition::Kelvlite,
         "99",
         "11223344556677",
         {"11", "22", "33", "44", "55", "66", "77"}},
        {"no other letters, no third digit", kv::Edition::Kelvane, "", "1G3z", {"13", "", "", "", "", "", ""}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualClock clock;
        MemoryProfile profile;
        FakeLock lock;
        NullProcess process;
        kv::CKelvixApp app(row.edition, kv::AppServices{clock, profile, lock, process, ui_},
                           std::make_unique<FakeSerialDevice>(clock));
        std::vector<std::string> ids;
        std::string path;
        WhenActive<tk::DialogView>([&](tk::DialogView* view) {
            for (int i = 0; i < 7; ++i) {
                auto* field = static_cast<QLineEdit*>(view->Widget(kv::CIDCheckDlg::IDC_ID1 + i));
                field->setText(row.before);
            }
            // Into ID1 as Tab goes there: its text selected.
            view->Widget(kv::CIDCheckDlg::IDC_ID1)->setFocus(Qt::TabFocusReason);
            static_cast<QLineEdit*>(view->Widget(kv::CIDCheckDlg::IDC_ID1))->selectAll();
            for (const char* c = row.typed; *c; ++c) {
                if (*c == '\t')
                    Key(view->focusWidget(), Qt::Key_Tab);
                else
                    Key(view->focusWidget(), Qt::Key_A, QString(QChar(*c)));
            }
            for (int i = 0; i < 7; ++i)
                ids.push_back(
                    static_cast<QLineEdit*>(view->Widget(kv::CIDCheckDlg::IDC_ID1 + i))->text().toStdString());
            path = static_cast<QComboBox*>(view->Widget(kv::CIDCheckDlg::IDC_FILE_PATH))->currentText().toStdString();
            view->reject();
        });
        kv::CIDCheckDlg dlg(app);
        dlg.DoModal();
        EXPECT_EQ(ids, row.ids);
        EXPECT_EQ(path, "");
    }
}

// What a desktop shows of windows: each in a plain frame with its caption,
// at its place, over a neutral background.
QImage Desktop(const std::vector<QWidget*>& windows) {
    constexpr int kTitle = 24, kBorder = 1;
    QRect all;
    for (QWidget* w : windows) all |= w->geometry().adjusted(-kBorder, -kTitle, kBorder, kBorder);
    all.adjust(-12, -12, 12, 12);
    QImage image(all.size(), QImage::Format_RGB32);
    image.fill(QColor(0x5a, 0x6e, 0x7f));
    QPainter p(&image);
    for (QWidget* w : windows) {
        const QRect at = w->geometry().translated(-all.topLeft());
        const QRect frame = at.adjusted(-kBorder, -kTitle, kBorder, kBorder);
        p.fillRect(frame, QColor(0x2e, 0x34, 0x40));
        QFont bold = p.font();
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(Qt::white);
        p.drawText(QRect(frame.left() + 8, frame.top(), frame.width() - 16, kTitle), Qt::AlignVCenter | Qt::AlignLeft,
                   w->windowTitle());
        p.drawPixmap(at.topLeft(), w->grab());
    }
    return image;
}

// The whole run as a user makes it: start dialog, ID check, panel, Program...
// with its address and confirmation, the progress window, the result, Exit.
TEST_F(DesktopRun, AProgramRunFromStartToExit) {
    const QString shots = qEnvironmentVariable("KELVANE_SCREENSHOT_DIR");
    auto save = [&shots](const QImage& image, const char* name) {
        if (!shots.isEmpty()) {
            EXPECT_TRUE(image.save(shots + "/" + name)) << name;
        }
    };
    auto window = [](int templateId) -> QWidget* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == QString::number(templateId)) return w;
        return nullptr;
    };

    // What the user meets, in order (a dialog by caption, a message box by
    // its text), and what they do there: the button they press.
    struct Step {
        std::string seen;
        std::function<int(QWidget*)> act;
    };
    auto ok = [](QWidget*) { return tk::IDOK; };
    const std::vector<Step> steps = {
        {"Select Program", ok},
        {"ID Check",
         [&](QWidget* w) {
             FillIdCheck(*static_cast<tk::DialogView*>(w), "demo.mot");
             save(Desktop({w}), "id-check.png");
             return tk::IDOK;
         }},
        {"Kelvane",
         [&](QWidget* w) {
             save(Desktop({w}), "panel.png");
             return 1009;  // Program...
         }},
        {"Input Address", ok},
        {"Program", ok},
        {"Program OK.", ok},
        {"Kelvane", [](QWidget*) { return tk::IDCANCEL; }},  // Exit
    };
    size_t next = 0;
    bool progressShown = false;
    const auto start = std::chrono::steady_clock::now();

    // A zero timer looks at every pass of the event loops. A press runs the
    // next part of the program, nested windows and all, so it runs from a
    // timer of its own: Qt does not call the looking timer again until it returns.
    QTimer driver;
    driver.setInterval(0);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
            ADD_FAILURE() << "stuck before step " << next;
            ui_.Quit(1);
            return;
        }
        if (QWidget* progress = window(kv::IDD_PROGRESS); progress && !progressShown) {
            // The program runs on virtual time, faster than any timer: the
            // picture is taken when a third of the pages are done.
            progressShown = true;
            auto* bar = progress->findChild<QProgressBar*>();
            QObject::connect(bar, &QProgressBar::valueChanged, progress, [&, bar, progress](int value) {
                if (value != bar->maximum() / 3) return;
                save(Desktop({window(kv::IDD_KELVIX_DIALOG), progress}), "program-running.png");
            });
        }
        QWidget* top = QApplication::activeModalWidget();
        if (next >= steps.size() || !top || !top->isVisible()) return;
        auto* box = qobject_cast<QMessageBox*>(top);
        const QString seen = box ? box->text() : top->windowTitle();
        if (seen.toStdString() != steps[next].seen) return;
        const int button = steps[next++].act(top);
        QTimer::singleShot(0, top, [top, box, button] {
            if (box)
                box->done(button == tk::IDOK ? QMessageBox::Ok : QMessageBox::Cancel);
            else if (auto* b = top->findChild<QPushButton*>(QString::number(button)))
                b->click();
        });
    });
    // From the program file's folder, so that the pictures show its plain name.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(programFile_).parent_path());
    driver.start();
    EXPECT_EQ(app_->Run({"kelvane", "--port", "COM1"}), 0);
    driver.stop();
    std::filesystem::current_path(cwd);

    EXPECT_EQ(next, steps.size());
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(chip_.IdVerified());
}

}  // namespace
}  // namespace kvtest

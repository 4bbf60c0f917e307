// The Qt front end at work: user actions, modal runs, message boxes, the
// file dialog, modeless windows over a disabled owner, the quit request.
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/clock.h"
#include "qt_fixture.h"
#include "res/templates.h"
#include "tests/support/test_folder.h"
#include "toolkit/qt/desktop_settings.h"
#include "toolkit/qt/dialog_view.h"
#include "toolkit/qt/file_filter.h"

namespace kvtest {
namespace {

using tk::Kind;

enum : int { kUpper = 1002, kDigits = 1003, kPort = 1060, kGroup = 1050, kA = 1058, kB = 1056, kC = 1057, kRun = 1070 };

tk::DialogTemplate Form() {
    tk::DialogTemplate t;
    t.id = 500;
    t.caption = "Form";
    auto add = [&t](int id, Kind kind, std::string label, unsigned style, int row, int col, int container = 0) {
        tk::Control c;
        c.id = id;
        c.kind = kind;
        c.label = std::move(label);
        c.style = style;
        c.row = row;
        c.col = col;
        c.container = container;
        t.controls.push_back(c);
        return &t.controls.back();
    };
    add(kUpper, Kind::Edit, "Name", tk::kUpperCase, 0, 0);
    add(kDigits, Kind::Edit, "Count", tk::kNumber, 0, 1);
    add(kPort, Kind::ComboBox, "Port", 0, 1, 0)->items = {"COM1", "COM2", "COM3"};
    add(kGroup, Kind::GroupBox, "Mode", 0, 2, 0);
    add(kA, Kind::RadioButton, "A", 0, 0, 0, kGroup);
    add(kB, Kind::RadioButton, "B", 0, 1, 0, kGroup);
    add(kC, Kind::RadioButton, "C", 0, 2, 0, kGroup);
    add(kRun, Kind::PushButton, "Run", 0, 3, 0);
    add(tk::IDOK, Kind::PushButton, "OK", tk::kDefault, 4, 0);
    add(tk::IDCANCEL, Kind::PushButton, "Cancel", 0, 4, 1);
    return t;
}

void Key(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

template <class W>
W* Get(const tk::DialogView& v, int id) {
    auto* w = qobject_cast<W*>(v.Widget(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}

// Remembers which windows were told that a modal window blocks them.
class BlockWatch : public QObject {
public:
    BlockWatch() { qApp->installEventFilter(this); }
    ~BlockWatch() override { qApp->removeEventFilter(this); }
    QSet<QObject*> blocked;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::WindowBlocked) blocked.insert(o);
        if (e->type() == QEvent::WindowUnblocked) blocked.remove(o);
        return false;
    }
};

using QtUiTest = QtTest;

TEST_F(QtUiTest, UserActionsReachTheDialogAndModelChangesDoNotEcho) {
    RecordingDialog dlg(ui_, Form());
    dlg.refuseCancel = true;
    dlg.refuseOk = true;
    tk::DialogView view(dlg, false);
    dlg.Attach(&view);
    dlg.Initialize();
    view.show();

    Get<QPushButton>(view, kRun)->click();
    EXPECT_EQ(dlg.commands, std::vector<int>{kRun});

    // Typed letters turn upper-case; digits-only fields refuse letters.
    auto* upper = Get<QLineEdit>(view, kUpper);
    Key(upper, Qt::Key_A, "a");
    EXPECT_EQ(upper->text(), "A");
    EXPECT_EQ(dlg.GetItemText(kUpper), "A");
    auto* digits = Get<QLineEdit>(view, kDigits);
    Key(digits, Qt::Key_X, "x");
    Key(digits, Qt::Key_5, "5");
    EXPECT_EQ(digits->text(), "5");
    EXPECT_EQ(dlg.edits, (std::vector<std::pair<int, std::string>>{{kUpper, "A"}, {kDigits, "5"}}));

    // Choosing from the list is a user edit; the model setting the text is not.
    auto* port = Get<QComboBox>(view, kPort);
    port->setCurrentIndex(2);
    EXPECT_EQ(dlg.GetItemText(kPort), "COM3");
    dlg.edits.clear();
    dlg.SetItemText(kPort, "COM7");
    dlg.SetItemText(kUpper, "zz");
    EXPECT_EQ(port->currentText(), "COM7");
    EXPECT_EQ(port->count(), 3);
    EXPECT_EQ(upper->text(), "ZZ");
    EXPECT_TRUE(dlg.edits.empty());

    // Radios: a click is a command; the dialog's group logic decides.
    Get<QRadioButton>(view, kB)->click();
    Get<QRadioButton>(view, kC)->click();
    EXPECT_TRUE(dlg.IsChecked(kC));
    EXPECT_FALSE(dlg.IsChecked(kB));
    EXPECT_FALSE(Get<QRadioButton>(view, kB)->isChecked());
    EXPECT_TRUE(Get<QRadioButton>(view, kC)->isChecked());
    dlg.SetChecked(kC, false);  // the model may clear the whole group
    EXPECT_FALSE(Get<QRadioButton>(view, kC)->isChecked());

    // Enter presses the focused button, else the default one; Escape and the
    // close box ask the dialog to cancel, which this one refuses.
    dlg.commands.clear();
    Key(upper, Qt::Key_Return);
    Get<QPushButton>(view, kRun)->setFocus();
    Key(Get<QPushButton>(view, kRun), Qt::Key_Return);
    Key(port, Qt::Key_Escape);
    view.close();
    EXPECT_EQ(dlg.commands, (std::vector<int>{tk::IDOK, kRun, tk::IDCANCEL, tk::IDCANCEL}));
    EXPECT_TRUE(view.isVisible());

    // With Cancel disabled, Escape does nothing.
    dlg.commands.clear();
    dlg.EnableItem(tk::IDCANCEL, false);
    Key(&view, Qt::Key_Escape);
    EXPECT_TRUE(dlg.commands.empty());
    dlg.Attach(nullptr);
}

// One local file dropped anywhere on a window with a file field fills that
// field as if typed, even when dropped on another field; text, several files
// or a window without such a field take nothing.
TEST_F(QtUiTest, ADroppedFileFillsTheFileField) {
    constexpr int kPath = 1011;
    tk::DialogTemplate withPath = Form();
    tk::Control path;
    path.id = kPath;
    path.kind = Kind::ComboBox;
    path.label = "FilePath";
    path.style = tk::kFileDrop;
    path.row = 5;
    withPath.controls.push_back(path);

    auto mime = [](const QList<QUrl>& urls, const QString& text = {}) {
        auto* m = new QMimeData;
        if (!urls.isEmpty()) m->setUrls(urls);
        if (!text.isEmpty()) m->setText(text);
        return m;
    };
    auto drop = [](QWidget* on, QMimeData* data) {
        const QPointF at(on->width() / 2.0, on->height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &enter);
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(on, &dropped);
        const bool accepted = enter.isAccepted() && dropped.isAccepted();
        delete data;
        return accepted;
    };
    const QUrl file = QUrl::fromLocalFile("/tmp/work/fw image.hex");
    struct Case {
        const char* name;
        bool withField;
        int onId;  // 0: the window itself
        QList<QUrl> urls;
        QString text;
        std::string expected;  // in the file field (or, without it, in kUpper)
    };
    const Case cases[] = {
        {"on the window", true, 0, {file}, {}, "/tmp/work/fw image.hex"},
        {"on the file field", true, kPath, {file}, {}, "/tmp/work/fw image.hex"},
        {"on another field", true, kUpper, {file}, {}, "/tmp/work/fw image.hex"},
        {"two files", true, 0, {file, QUrl::fromLocalFile("/tmp/b.mot")}, {}, ""},
        {"a web address", true, 0, {QUrl("https://example.org/fw.hex")}, {}, ""},
        {"a window without a file field", false, kUpper, {file}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDialog dlg(ui_, c.withField ? withPath : Form());
        tk::DialogView view(dlg, false);
        dlg.Attach(&view);
        dlg.Initialize();
        view.show();
        QWidget* on = c.onId ? view.Widget(c.onId) : &view;
        if (auto* combo = qobject_cast<QComboBox*>(on)) on = combo->lineEdit();
        const bool taken = drop(on, mime(c.urls, c.text));
        EXPECT_EQ(taken, !c.expected.empty());
        EXPECT_EQ(dlg.GetItemText(c.withField ? kPath : kUpper), c.expected);
        if (c.withField) {
            EXPECT_EQ(Get<QComboBox>(view, kPath)->currentText().toStdString(), c.expected);
            EXPECT_EQ(dlg.GetItemText(kUpper), "");  // the field it landed on keeps its text
        }
        if (!c.expected.empty()) {
            ASSERT_FALSE(dlg.edits.empty());
            EXPECT_EQ(dlg.edits.back(), (std::pair<int, std::string>{kPath, c.expected}));
        }
        dlg.Attach(nullptr);
    }
}

// The dialog's timer runs while its window is shown, and a list it changes
// reaches the combo box with the typed text kept.
TEST_F(QtUiTest, TimerRunsAndChangedListsReachTheComboBox) {
    RecordingDialog dlg(ui_, Form());
    int ticks = 0;
    tk::DialogView view(dlg, false);
    dlg.Attach(&view);
    dlg.onInit = [&] { dlg.SetTimer(20); };
    dlg.onTimer = [&] {
        if (++ticks == 2) dlg.SetItems(kPort, {"COM1", "/dev/ttyUSB0 (usb-FTDI)"});
    };
    dlg.Initialize();
    view.show();
    auto* port = Get<QComboBox>(view, kPort);
    port->setEditText("/dev/pts/3");
    QElapsedTimer waited;
    waited.start();
    while (ticks < 3 && waited.elapsed() < 5000) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 3);
    ASSERT_EQ(port->count(), 2);
    EXPECT_EQ(port->itemText(1), "/dev/ttyUSB0 (usb-FTDI)");
    EXPECT_EQ(port->currentText(), "/dev/pts/3");
    EXPECT_EQ(dlg.GetItemText(kPort), "/dev/pts/3");
    dlg.SetTimer(0);
    const int stopped = ticks;
    waited.restart();
    while (waited.elapsed() < 80) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(ticks, stopped);
    dlg.Attach(nullptr);
}

// A window that widens comes back at the width the user gave it, per
// template; one of fixed size stays as it is.
TEST_F(QtUiTest, AWidenedWindowComesBackAtItsWidth) {
    tk::DialogTemplate wide = Form();
    wide.id = 501;  // a template of this test's own
    tk::DialogTemplate fixed;
    fixed.id = 502;
    fixed.caption = "Fixed";
    tk::Control ok;
    ok.id = tk::IDOK;
    ok.kind = Kind::PushButton;
    ok.label = "OK";
    fixed.controls.push_back(ok);
    tk::SaveWindowWidth(501, 0);
    tk::SaveWindowWidth(502, 0);

    auto shownWidth = [&](const tk::DialogTemplate& tpl, int widenBy) {
        RecordingDialog dlg(ui_, tpl);
        tk::DialogView view(dlg, false);
        dlg.Attach(&view);
        dlg.Initialize();
        view.show();
        QApplication::processEvents();
        const int width = view.width();
        if (widenBy) view.resize(width + widenBy, view.height());
        view.hide();
        dlg.Attach(nullptr);
        return width;
    };
    const int first = shownWidth(wide, 150);
    EXPECT_EQ(shownWidth(wide, 0), first + 150);
    EXPECT_EQ(tk::SavedWindowWidth(501), first + 150);
    const int fixedWidth = shownWidth(fixed, 150);
    EXPECT_EQ(shownWidth(fixed, 0), fixedWidth);
    EXPECT_EQ(tk::SavedWindowWidth(502), 0);
    tk::SaveWindowWidth(501, 0);
}

TEST_F(QtUiTest, RadiosInAnotherContainerFormAnotherGroup) {
    tk::DialogTemplate t;
    t.id = 501;
    for (int id : {1, 2}) {
        tk::Control box;
        box.id = 900 + id;
        box.kind = Kind::GroupBox;
        box.col = id;
        t.controls.push_back(box);
    }
    for (int id : {11, 12, 21, 22}) {  // one unbroken run over two frames
        tk::Control r;
        r.id = id;
        r.kind = Kind::RadioButton;
        r.container = 900 + id / 10;
        r.row = id % 10;
        t.controls.push_back(r);
    }
    RecordingDialog dlg(ui_, t);
    tk::DialogView view(dlg, false);
    dlg.Attach(&view);
    Get<QRadioButton>(view, 12)->click();
    Get<QRadioButton>(view, 21)->click();
    for (int id : {12, 21}) {
        EXPECT_TRUE(dlg.IsChecked(id));
        EXPECT_TRUE(Get<QRadioButton>(view, id)->isChecked());
    }
    Get<QRadioButton>(view, 11)->click();
    EXPECT_FALSE(Get<QRadioButton>(view, 12)->isChecked());
    EXPECT_TRUE(Get<QRadioButton>(view, 21)->isChecked());
    dlg.Attach(nullptr);
}

TEST_F(QtUiTest, RunModalAnswersHowTheDialogEnded) {
    RecordingDialog dlg(ui_, kv::SetCommTemplate(kv::Edition::Kelvane));
    dlg.onInit = [&] { dlg.SetItemText(1020, "38400"); };
    QString shown;
    WhenActive<tk::DialogView>([&](tk::DialogView* v) {
        shown = Get<QComboBox>(*v, 1020)->currentText();
        Get<QPushButton>(*v, tk::IDOK)->click();
    });
    EXPECT_EQ(ui_.RunModal(dlg), tk::IDOK);
    EXPECT_EQ(shown, "38400");
    EXPECT_EQ(ui_.WindowOf(dlg), nullptr);

    // A dialog that ends while it initialises is never shown.
    RecordingDialog early(ui_, kv::PreEraseTemplate(kv::Edition::Kelvane));
    early.onInit = [&] { early.EndDialog(7); };
    EXPECT_EQ(ui_.RunModal(early), 7);
}

TEST_F(QtUiTest, MessageBoxesCarryCaptionIconAndLineBreaks) {
    struct Case {
        tk::Icon icon;
        QMessageBox::Icon expected;
        tk::Buttons buttons;
        QMessageBox::StandardButton press;
        int answer;
    } cases[] = {
        {tk::Icon::Stop, QMessageBox::Critical, tk::Buttons::Ok, QMessageBox::Ok, tk::IDOK},
        {tk::Icon::Exclamation, QMessageBox::Warning, tk::Buttons::OkCancel, QMessageBox::Cancel, tk::IDCANCEL},
        {tk::Icon::Information, QMessageBox::Information, tk::Buttons::OkCancel, QMessageBox::Ok, tk::IDOK},
        {tk::Icon::None, QMessageBox::NoIcon, tk::Buttons::Ok, QMessageBox::Ok, tk::IDOK},
    };
    for (const auto& c : cases) {
        QString caption, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool hasCancel = false;
        WhenActive<QMessageBox>([&](QMessageBox* box) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            hasCancel = box->button(QMessageBox::Cancel) != nullptr;
            box->button(c.press)->click();
        });
        EXPECT_EQ(ui_.MessageBox("Timeout.\nPush RESET.\r\nthird\rfourth <b>x</b>", "Kelvane", c.icon, c.buttons),
                  c.answer);
        EXPECT_EQ(caption, "Kelvane");
        EXPECT_EQ(text, "Timeout.\nPush RESET.\nthird\nfourth <b>x</b>");
        EXPECT_EQ(icon, c.expected);
        EXPECT_EQ(hasCancel, c.buttons == tk::Buttons::OkCancel);
    }
}

TEST_F(QtUiTest, ModelessWindowDisablesItsOwnerAndStaysUsable) {
    RecordingDialog panel(ui_, kv::PanelTemplate(kv::Edition::Kelvane));
    BlockWatch watch;
    struct Progress : RecordingDialog {
        using RecordingDialog::RecordingDialog;
        tk::Dialog* owner = nullptr;
        bool cancelled = false;
        void OnCancel() override {
            cancelled = true;
            owner->EnableWindow(true);
            DestroyWindow();
        }
    };
    bool ownerDisabled = false, progressUsable = false, noCloseBox = false, blocked = true;
    bool gone = false;
    panel.onCommand = [&](int id) {
        if (id != 1009) return;
        // What an operation does: disable the panel, open the progress
        // window, pump until the user cancels.
        Progress progress(ui_, kv::ProgressTemplate(kv::Edition::Kelvane));
        progress.owner = &panel;
        panel.EnableWindow(false);
        ASSERT_TRUE(progress.Create());
        progress.SetCaption("Program");
        QDialog* window = ui_.WindowOf(progress);
        ASSERT_NE(window, nullptr);
        QTimer::singleShot(20, [&] {
            ownerDisabled = !ui_.WindowOf(panel)->isEnabled();
            progressUsable =
                window->isVisible() && window->isEnabled() && window->findChild<QPushButton*>("2")->isEnabled();
            noCloseBox = !(window->windowFlags() & Qt::WindowCloseButtonHint);
            blocked =
                watch.blocked.contains(window) || watch.blocked.contains(static_cast<QObject*>(window->windowHandle()));
            Key(window, Qt::Key_Escape);  // the same as its Cancel button
        });
        while (!progress.cancelled && ui_.PumpPending()) QThread::msleep(1);
        gone = ui_.WindowOf(progress) == nullptr && !progress.IsWindow();
        panel.EndDialog(tk::IDOK);
    };
    WhenActive<tk::DialogView>([&](tk::DialogView* v) { Get<QPushButton>(*v, 1009)->click(); });
    EXPECT_EQ(ui_.RunModal(panel), tk::IDOK);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(progressUsable);
    EXPECT_TRUE(noCloseBox);
    EXPECT_FALSE(blocked);
    EXPECT_TRUE(gone);
    EXPECT_TRUE(panel.IsWindowEnabled());
}

TEST_F(QtUiTest, QuitEndsOpenDialogsAndLaterOnesReturnAtOnce) {
    RecordingDialog outer(ui_, kv::PanelTemplate(kv::Edition::Kelvane));
    outer.refuseCancel = true;
    int boxAnswer = 0;
    outer.onCommand = [&](int id) {
        if (id != 1034) return;
        // A message box is open inside the panel when the quit comes.
        WhenActive<QMessageBox>([&](QMessageBox*) { ui_.Quit(3); });
        boxAnswer = ui_.MessageBox("Reset the board.", "Kelvane", tk::Icon::Exclamation, tk::Buttons::OkCancel);
    };
    WhenActive<tk::DialogView>([&](tk::DialogView* v) { Get<QPushButton>(*v, 1034)->click(); });
    EXPECT_EQ(ui_.RunModal(outer), tk::IDCANCEL);
    EXPECT_EQ(boxAnswer, tk::IDCANCEL);
    EXPECT_TRUE(ui_.QuitRequested());
    EXPECT_EQ(ui_.ExitCode(), 3);

    RecordingDialog later(ui_, kv::AboutTemplate(kv::Edition::Kelvane));
    EXPECT_EQ(later.DoModal(), tk::IDCANCEL);
    EXPECT_EQ(ui_.MessageBox("x", "Kelvane", tk::Icon::None, tk::Buttons::Ok), tk::IDCANCEL);
    EXPECT_EQ(ui_.OpenFile("All Files (*.*)|*.*|"), std::nullopt);
    EXPECT_FALSE(ui_.PumpPending());
}

TEST_F(QtUiTest, SystemMenuEntriesInContextMenuAndOnF1) {
    RecordingDialog dlg(ui_, kv::PanelTemplate(kv::Edition::Kelvane));
    dlg.onInit = [&] { dlg.AddSystemMenuItem(0x10, "&About Kelvix..."); };
    tk::DialogView view(dlg, false);
    dlg.Attach(&view);
    dlg.Initialize();
    dlg.Initialize();  // a second run does not list the entry twice
    ASSERT_EQ(dlg.SystemMenu().size(), 1u);
    view.show();

    Key(Get<QPushButton>(view, 1005), Qt::Key_F1);
    EXPECT_EQ(dlg.sysCommands, std::vector<int>{0x10});

    QStringList entries;
    WhenActive<QMenu>([&](QMenu* menu) {
        for (QAction* a : menu->actions()) entries << a->text();
        menu->actions().front()->trigger();
        menu->close();
    });
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&view, &e);
    EXPECT_EQ(entries, QStringList{"&About Kelvix..."});
    EXPECT_EQ(dlg.sysCommands, (std::vector<int>{0x10, 0x10}));
    dlg.Attach(nullptr);
}

TEST_F(QtUiTest, OpenFileOffersConvertedFilterAndAnswersThePath) {
    const auto path = std::filesystem::path(kvtest::TestFolder("qt")) / "kelvane_qt_open.mot";
    std::ofstream(path) << "S9030000FC\n";
    QStringList filters;
    WhenActive<QFileDialog>([&](QFileDialog* fd) {
        filters = fd->nameFilters();
        fd->selectFile(QString::fromStdString(path.string()));
        static_cast<QDialog*>(fd)->accept();
    });
    const auto chosen = ui_.OpenFile(
        "Motlora Hex File (*.s;*.mot;*.s2)|*.s;*.mot;*.s2|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|");
    EXPECT_EQ(filters, (QStringList{"Motlora Hex File (*.s *.mot *.s2)", "Boot Program (*.btp)", "All Files (*)"}));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(std::filesystem::path(*chosen), path);

    WhenActive<QFileDialog>([&](QFileDialog* fd) { fd->reject(); });
    EXPECT_EQ(ui_.OpenFile("All Files (*.*)|*.*|"), std::nullopt);
    std::filesystem::remove(path);
}

// The file dialog opens where the user is working: at the file the asking
// dialog's FilePath names, else in its folder, else in the folder chosen last
// time (also in a later run); and wide enough to read the names.
TEST_F(QtUiTest, OpenFileStartsAtTheNamedFileOrTheLastFolder) {
    const std::filesystem::path last =
        std::filesystem::temp_directory_path() / ("kelvane_qt_last_" + std::to_string(getpid()));
    const std::filesystem::path work = last / "work";
    std::filesystem::create_directories(work);
    const auto lastFile = last / "old.mot";
    const auto named = work / "program_with_a_long_name_v2.mot";
    std::ofstream(lastFile) << "S9030000FC\n";
    std::ofstream(named) << "S9030000FC\n";
    auto pick = [this](const std::filesystem::path& file) {
        WhenActive<QFileDialog>([file](QFileDialog* fd) {
            fd->selectFile(QString::fromStdString(file.string()));
            static_cast<QDialog*>(fd)->accept();
        });
        ASSERT_TRUE(ui_.OpenFile("All Files (*.*)|*.*|").has_value());
    };
    pick(lastFile);

    tk::DialogTemplate t;
    t.id = 502;
    t.caption = "Files";
    tk::Control path;
    path.id = 1011;
    path.kind = Kind::Edit;
    path.label = "FilePath";
    t.controls.push_back(path);
    struct Case {
        std::string text;  // in FilePath
        std::filesystem::path folder;
        QString selected;  // file name selected
    } cases[] = {
        {named.string(), work, QString::fromStdString(named.filename().string())},
        {(work / "gone.mot").string(), work, ""},
        {"", last, ""},
        {"/no/such/folder/x.mot", last, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingDialog dlg(ui_, t);
        dlg.onInit = [&] {
            dlg.SetItemText(1011, c.text);
            WhenActive<QFileDialog>([&](QFileDialog* fd) {
                EXPECT_EQ(std::filesystem::path(fd->directory().absolutePath().toStdString()), c.folder);
                const QString lineText = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                EXPECT_EQ(lineText, c.selected);
                auto* details = fd->findChild<QTreeView*>(QStringLiteral("treeView"));
                const QFontMetrics fm = details->fontMetrics();
                EXPECT_GE(details->header()->sectionSize(0),
                          fm.horizontalAdvance(QString::fromStdString(named.filename().string())) + 24);
                EXPECT_GE(details->header()->sectionSize(3),
                          fm.horizontalAdvance(QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat)));
                fd->reject();
            });
            ui_.OpenFile("All Files (*.*)|*.*|");
            dlg.EndDialog(tk::IDOK);
        };
        ui_.RunModal(dlg);
    }
    std::filesystem::remove_all(last);
}

TEST(QtFileFilter, ConvertsPairsToQtFilters) {
    const std::pair<const char*, const char*> cases[] = {
        {"Motlora Hex File (*.s;*.mot;*.s2)|*.s;*.mot;*.s2|Boot Program (*.btp)|*.btp|All Files (*.*)|*.*|",
         "Motlora Hex File (*.s *.mot *.s2);;Boot Program (*.btp);;All Files (*)"},
        {"Text|*.txt", "Text (*.txt)"},             // no closing bar, no pattern list in the name
        {"Odd (*.a)|*.b; *.c |", "Odd (*.b *.c)"},  // the patterns of the pair win
        {"Empty||All (*.*)|*.*|", "All (*)"},       // a pair without patterns is dropped
        {"", ""},
    };
    for (auto [in, out] : cases) EXPECT_EQ(tk::QtFileFilter(in), out) << in;
}

TEST_F(QtUiTest, WaitCursorShowsForTheOutermostPair) {
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
        tk::WaitCursor outer(ui_);
        tk::WaitCursor inner(ui_);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The protocol's waits block the one thread: meanwhile the windows are still
// painted, and a wait longer than a moment shows the wait cursor until the
// program takes user input again (a pump, or an event loop that waits).
TEST_F(QtUiTest, LongWaitsKeepWindowsPaintedAndShowTheWaitCursor) {
    class PaintCount : public QWidget {
    public:
        int paints = 0;

    protected:
        void paintEvent(QPaintEvent*) override { ++paints; }
    };
    auto clock = plat::MakeSystemClock();
    PaintCount w;
    w.resize(80, 80);
    w.show();
    QApplication::processEvents();

    const std::function<void()> takeInput[] = {
        [this] { ui_.PumpPending(); },
        [] {
            QEventLoop loop;
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            loop.exec();
        },
    };
    for (const auto& take : takeInput) {
        const int before = w.paints;
        w.update();
        clock->SleepMs(100);
        EXPECT_GT(w.paints, before);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        clock->SleepMs(400);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        take();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    // Another thread's waits leave the windows alone.
    w.update();
    const int before = w.paints;
    std::thread([&clock] { clock->SleepMs(100); }).join();
    EXPECT_EQ(w.paints, before);
    QApplication::processEvents();
}

TEST_F(QtUiTest, DisplayCheckAcceptsARunningApplication) {
    int argc = 0;
    EXPECT_NE(tk::MakeQtUiIfDisplay(argc, nullptr), nullptr);
}

}  // namespace
}  // namespace kvtest

// Keyboard use of kelvane's ID check on the desktop, against the simulated chip.
// The program's headers come before Qt's: Qt defines "slots" as a keyword.
#include "image/id_check_dlg.h"
#include "tests/iddlg/id_rig.h"
#include "tests/support/stub_link.h"

#include <QKeyEvent>
#include <QLineEdit>

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

// kelvane's ID check on the desktop, against the simulated chip: Tab from
// the last ID field goes on to OK (not Cancel, which would send the all-zero
// ID), and Enter there checks the typed ID.
TEST_F(QtTest, EnterInTheLastIdFieldChecksTheTypedId) {
    VirtualClock clock;
    MemoryProfile profile;
    FakeLock lock;
    NullProcess process;
    auto device = std::make_unique<FakeSerialDevice>(clock);
    FakeSerialDevice& dev = *device;
    kv::CKelvixApp app(kv::Edition::Kelvane, kv::AppServices{clock, profile, lock, process, ui_}, std::move(device));
    sim::Chip chip(ChipOptions(kv::Edition::Kelvane));
    SimPeer peer(dev, chip);
    OpenStubLink(app);
    ASSERT_EQ(app.Synchronise(), 1);
    app.firstRun = 1;
    ScratchDir dir;
    const std::string path = dir.Write("app.mot", ProgramText({0x0C0000}));

    QWidget* afterLastId = nullptr;
    WhenActive<tk::DialogView>([&](tk::DialogView* view) {
        Type(view->Widget(kv::CIDCheckDlg::IDC_FILE_PATH), path);
        for (int i = 0; i < 7; ++i)
            Type(view->Widget(kv::CIDCheckDlg::IDC_ID1 + i), std::to_string(11 * (i + 1)));
        QWidget* last = view->Widget(kv::CIDCheckDlg::IDC_ID1 + 6);
        last->setFocus();
        Key(last, Qt::Key_Tab);
        afterLastId = view->focusWidget();
        last->setFocus();
        Key(last, Qt::Key_Return);
    });
    kv::CIDCheckDlg dlg(app);
    EXPECT_EQ(dlg.DoModal(), tk::IDOK);
    ASSERT_NE(afterLastId, nullptr);
    EXPECT_EQ(afterLastId->objectName(), QString::number(tk::IDOK));
    EXPECT_TRUE(chip.IdVerified());
    EXPECT_EQ(app.idVerified, 1);
}

}  // namespace
}  // namespace kvtest

// Every template of both programs rendered by the Qt front end.
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <cstdlib>

#include "qt_fixture.h"
#include "res/templates.h"
#include "toolkit/qt/dialog_view.h"

namespace kvtest {
namespace {

using tk::Kind;

class RenderTest : public QtTest {};

QStringList LabelTexts(const QWidget& w) {
    QStringList out;
    for (auto* l : w.findChildren<QLabel*>()) out << l->text();
    return out;
}

TEST_F(RenderTest, EveryTemplateShowsCaptionControlsAndStyles) {
    for (kv::Edition e : {kv::Edition::Kelvane, kv::Edition::Kelvlite}) {
        for (const tk::DialogTemplate* t : kv::AllTemplates(e)) {
            SCOPED_TRACE(t->caption + (e == kv::Edition::Kelvlite ? " (kelvlite)" : ""));
            tk::Dialog dlg(ui_, *t);
            tk::DialogView view(dlg, false);
            QSet<QKeySequence> mnemonicKeys;
            EXPECT_EQ(view.windowTitle().toStdString(), t->caption);
            for (const auto& c : t->controls) {
                if (c.id == tk::IDC_STATIC) {
                    if (c.kind == Kind::Static) {
                        EXPECT_TRUE(LabelTexts(view).contains(QString::fromStdString(c.label))) << c.label;
                    }
                    continue;
                }
                QWidget* w = view.findChild<QWidget*>(QString::number(c.id));
                ASSERT_NE(w, nullptr) << c.id;
                EXPECT_EQ(w, view.Widget(c.id));
                EXPECT_EQ(w->isHidden(), bool(c.style & tk::kHidden)) << c.id;
                EXPECT_EQ(w->isEnabled(), !(c.style & tk::kDisabled)) << c.id;
                const QString label = QString::fromStdString(c.label);
                switch (c.kind) {
                    case Kind::PushButton: {
                        auto* b = qobject_cast<QPushButton*>(w);
                        ASSERT_NE(b, nullptr);
                        // The panel's buttons carry Alt-key mnemonics, each its own.
                        EXPECT_EQ(QString(b->text()).remove(QLatin1Char('&')), label);
                        if (t->mnemonics) {
                            EXPECT_EQ(b->text().count(QLatin1Char('&')), 1) << c.label;
                            const QKeySequence key = QKeySequence::mnemonic(b->text());
                            EXPECT_FALSE(mnemonicKeys.contains(key)) << c.label;
                            mnemonicKeys.insert(key);
                        }
                        EXPECT_EQ(b->isDefault(), bool(c.style & tk::kDefault));
                        break;
                    }
                    case Kind::RadioButton:
                        ASSERT_NE(qobject_cast<QRadioButton*>(w), nullptr);
                        EXPECT_EQ(qobject_cast<QRadioButton*>(w)->text(), label);
                        break;
                    case Kind::Edit: {
                        auto* le = qobject_cast<QLineEdit*>(w);
                        ASSERT_NE(le, nullptr);
                        EXPECT_EQ(le->isReadOnly(), bool(c.style & tk::kReadOnly));
                        EXPECT_EQ(bool(le->alignment() & Qt::AlignHCenter), bool(c.style & tk::kCentered));
                        EXPECT_EQ(le->accessibleName(), label);
                        break;
                    }
                    case Kind::ComboBox: {
                        auto* cb = qobject_cast<QComboBox*>(w);
                        ASSERT_NE(cb, nullptr);
                        EXPECT_TRUE(cb->isEditable());
                        ASSERT_EQ(cb->count(), int(c.items.size()));
                        for (int i = 0; i < cb->count(); ++i) {
                            EXPECT_EQ(cb->itemText(i).toStdString(), c.items[size_t(i)]);
                        }
                        break;
                    }
                    case Kind::GroupBox:
                        ASSERT_NE(qobject_cast<QGroupBox*>(w), nullptr);
                        EXPECT_EQ(qobject_cast<QGroupBox*>(w)->title(), label);
                        break;
                    case Kind::Static:
                        ASSERT_NE(qobject_cast<QLabel*>(w), nullptr);
                        EXPECT_EQ(qobject_cast<QLabel*>(w)->text(), label);
                        break;
                    case Kind::ProgressBar: EXPECT_NE(qobject_cast<QProgressBar*>(w), nullptr); break;
                    case Kind::Separator:
                    case Kind::Icon: break;
                }
            }
            EXPECT_EQ(bool(view.windowFlags() & Qt::WindowMinimizeButtonHint), t->minimizeBox);
        }
    }
}

TEST_F(RenderTest, HiddenLabelsAndTwoLineLabelsOfTheStatusWindow) {
    tk::Dialog dlg(ui_, kv::StatesTemplate(kv::Edition::Kelvlite));
    tk::DialogView view(dlg, false);
    bool sawTimeout = false;
    for (auto* l : view.findChildren<QLabel*>()) {
        if (l->text() == "Over number of data") {
            EXPECT_TRUE(l->isHidden());
        }
        if (l->text() == "Data receive\ntimeout") sawTimeout = true;
    }
    EXPECT_TRUE(sawTimeout);
}

TEST_F(RenderTest, ModelChangesReachTheWidgets) {
    RecordingDialog dlg(ui_, kv::ProgressTemplate(kv::Edition::Kelvane));
    tk::DialogView view(dlg, true);
    dlg.Attach(&view);
    dlg.SetCaption("Program");
    dlg.SetItemText(1021, "Program.\r\nsecond line");
    dlg.SetRange(1020, 0, 40);
    dlg.SetPos(1020, 12);
    dlg.EnableItem(2, false);
    EXPECT_EQ(view.windowTitle(), "Program");
    EXPECT_EQ(qobject_cast<QLabel*>(view.Widget(1021))->text(), "Program.\nsecond line");
    auto* bar = qobject_cast<QProgressBar*>(view.Widget(1020));
    EXPECT_EQ(bar->maximum(), 40);
    EXPECT_EQ(bar->value(), 12);
    // The figure: percent done, time so far and left; none on a bar without a range.
    EXPECT_TRUE(bar->isTextVisible());
    EXPECT_EQ(bar->text(), "30%   0:00 so far, 0:00 left");
    // With the address in hand from the dialog, between percent and times.
    dlg.SetItemText(1020, "0C2300");
    EXPECT_EQ(bar->text(), "30%   0C2300   0:00 so far, 0:00 left");
    dlg.SetRange(1020, 0, 0);
    EXPECT_FALSE(bar->isTextVisible());
    EXPECT_FALSE(view.Widget(2)->isEnabled());
    dlg.ShowItem(2, false);
    EXPECT_TRUE(view.Widget(2)->isHidden());
    dlg.EnableWindow(false);
    EXPECT_FALSE(view.isEnabled());
    dlg.EnableWindow(true);
    EXPECT_TRUE(view.isEnabled());
    EXPECT_TRUE(dlg.edits.empty());  // programmatic changes are no user edits
    dlg.Attach(nullptr);
}

// A window manager cuts a caption wider than the window ("Kel...ne"), and a
// control squeezed below its text cuts that text. At the usual font size and
// at one and a half times it (144 DPI).
TEST_F(RenderTest, NoWindowCutsItsCaptionOrAControlText) {
    const QFont normal = QApplication::font();
    for (double scale : {1.0, 1.5}) {
        QFont font = normal;
        font.setPointSizeF(normal.pointSizeF() * scale);
        QApplication::setFont(font);
        QFont bold = font;
        bold.setBold(true);
        const QFontMetrics title(bold);
        auto check = [&title](QWidget& window) {
            // The caption in bold, and at least an icon, a close box and one more button.
            EXPECT_GE(window.width(), title.horizontalAdvance(window.windowTitle()) + 3 * title.height())
                << window.windowTitle().toStdString();
            for (auto* w : window.findChildren<QWidget*>()) {
                if (!w->isVisibleTo(&window)) continue;
                if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) {
                    EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
                } else if (qobject_cast<QGroupBox*>(w)) {
                    EXPECT_GE(w->width(), w->minimumSizeHint().width())
                        << qobject_cast<QGroupBox*>(w)->title().toStdString();
                }
            }
        };
        for (kv::Edition e : {kv::Edition::Kelvane, kv::Edition::Kelvlite}) {
            for (const tk::DialogTemplate* t : kv::AllTemplates(e)) {
                SCOPED_TRACE(t->caption + " at " + std::to_string(scale));
                tk::Dialog dlg(ui_, *t);
                tk::DialogView view(dlg, t->id == kv::ProgressTemplate(e).id);
                view.show();
                QApplication::processEvents();
                check(view);
                view.hide();
            }
        }
        bool shown = false;
        WhenActive<QMessageBox>([&](QMessageBox* box) {
            QApplication::processEvents();
            check(*box);
            shown = true;
            box->accept();
        });
        ui_.MessageBox("OK.", "Kelvane", tk::Icon::Information, tk::Buttons::Ok);
        EXPECT_TRUE(shown);
    }
    QApplication::setFont(normal);
}

// Paths and port names may be long: their fields take the width the user
// gives the window, the other fields keep theirs, and the port list shows
// its longest entry whole.
TEST_F(RenderTest, PathAndPortFieldsGrowWithTheWindow) {
    tk::Dialog dlg(ui_, kv::IdCheckTemplate(kv::Edition::Kelvane));
    tk::DialogView view(dlg, false);
    view.show();
    QApplication::processEvents();
    const QSize start = view.size();
    QWidget* path = view.Widget(1011);
    QWidget* id7 = view.Widget(1008);
    const int pathWidth = path->width(), idWidth = id7->width();
    view.resize(start.width() + 300, start.height() + 100);
    QApplication::processEvents();
    EXPECT_EQ(view.height(), start.height());
    EXPECT_EQ(path->width(), pathWidth + 300);
    EXPECT_EQ(id7->width(), idWidth);
    view.resize(start.width() - 100, start.height());
    QApplication::processEvents();
    EXPECT_EQ(view.width(), start.width());  // never below what the controls need

    tk::DialogTemplate startTpl = kv::StartTemplate(kv::Edition::Kelvane);
    const std::string longPort = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    for (auto& c : startTpl.controls)
        if (c.id == 1060) c.items.push_back(longPort);
    tk::Dialog startDlg(ui_, startTpl);
    tk::DialogView startView(startDlg, false);
    startView.show();
    QApplication::processEvents();
    auto* port = qobject_cast<QComboBox*>(startView.Widget(1060));
    const int portWidth = port->width();
    startView.resize(startView.width() + 200, startView.height());
    QApplication::processEvents();
    EXPECT_EQ(port->width(), portWidth + 200);
    port->showPopup();
    QApplication::processEvents();
    EXPECT_GE(port->view()->width(), port->view()->fontMetrics().horizontalAdvance(QString::fromStdString(longPort)));
    port->hidePopup();
}

// Renders the panel and the ID check dialog to PNG files when
// KELVANE_SCREENSHOT_DIR names a folder, to look at the layout.
TEST_F(RenderTest, PanelAndIdCheckRenderAtSensibleSizes) {
    const char* dir = std::getenv("KELVANE_SCREENSHOT_DIR");
    struct Shot {
        const tk::DialogTemplate& tpl;
        const char* file;
    } shots[] = {{kv::PanelTemplate(kv::Edition::Kelvane), "panel.png"},
                 {kv::PanelTemplate(kv::Edition::Kelvlite), "panel_lite.png"},
                 {kv::IdCheckTemplate(kv::Edition::Kelvane), "id_check.png"},
                 {kv::IdCheckTemplate(kv::Edition::Kelvlite), "id_check_lite.png"},
                 {kv::StatesTemplate(kv::Edition::Kelvane), "status.png"},
                 {kv::StartTemplate(kv::Edition::Kelvane), "start.png"},
                 {kv::ProgressTemplate(kv::Edition::Kelvane), "progress.png"},
                 {kv::AboutTemplate(kv::Edition::Kelvane), "about.png"},
                 {kv::SelectTemplate(kv::Edition::Kelvane), "select.png"},
                 {kv::SetCommTemplate(kv::Edition::Kelvane), "set_comm.png"}};
    for (const auto& s : shots) {
        tk::Dialog dlg(ui_, s.tpl);
        tk::DialogView view(dlg, false);
        view.show();
        QApplication::processEvents();
        const QPixmap shot = view.grab();
        EXPECT_GT(shot.width(), 100) << s.file;
        EXPECT_LT(shot.width(), 1000) << s.file;
        EXPECT_LT(shot.height(), 700) << s.file;
        if (dir) shot.save(QString::fromUtf8(dir) + "/" + s.file);
        view.hide();
    }
}

}  // namespace
}  // namespace kvtest

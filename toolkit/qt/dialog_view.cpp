#include "toolkit/qt/dialog_view.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <chrono>

#include "toolkit/qt/desktop_settings.h"
#include "toolkit/qt/field_validator.h"
#include "toolkit/qt/qt_text.h"
#include "toolkit/qt/window_width.h"

namespace tk {

namespace {

// A line edit whose preferred width follows the template's width hint.
class FieldEdit : public QLineEdit {
public:
    FieldEdit(int chars, QWidget* parent) : QLineEdit(parent), chars_(chars > 0 ? chars : 10) {}
    QSize sizeHint() const override {
        QSize s = QLineEdit::sizeHint();
        const int w = fontMetrics().horizontalAdvance(QLatin1Char('M')) * chars_ + 12;
        s.setWidth(w);
        return s;
    }
    QSize minimumSizeHint() const override {
        QSize s = QLineEdit::minimumSizeHint();
        s.setWidth(std::min(s.width(), sizeHint().width()));
        return s;
    }

private:
    int chars_;
};

// An editable combo box whose drop-down list is as wide as its longest
// entry, however narrow the box itself.
class FieldCombo : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        int widest = 0;
        for (int i = 0; i < count(); ++i)
            widest = std::max(widest, view()->fontMetrics().horizontalAdvance(itemText(i)));
        // Room for the item's margins and a scroll bar.
        view()->setMinimumWidth(widest + 4 * view()->fontMetrics().averageCharWidth() + 20);
        QComboBox::showPopup();
    }
};

// Paths and port names can be much longer than any field's usual width:
// their fields grow with the window.
bool HoldsLongText(const tk::Control& c) {
    return ((c.kind == Kind::Edit || c.kind == Kind::ComboBox) && c.label == "FilePath") ||
           (c.kind == Kind::ComboBox && c.label == "Port");
}

// The one local file a drag carries, or empty (several files, or none).
QString DroppedFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls()) return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    return urls.front().toLocalFile();
}

bool TakesDrops(const DialogTemplate& tpl) {
    for (const auto& c : tpl.controls)
        if (c.style & kFileDrop) return true;
    return false;
}

Qt::WindowFlags FlagsFor(const DialogTemplate& tpl, bool modeless) {
    Qt::WindowFlags f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (!modeless) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tpl.minimizeBox) f |= Qt::WindowMinimizeButtonHint;
    return f;
}

}  // namespace

DialogView::DialogView(Dialog& dlg, bool modeless)
    : QDialog(nullptr, FlagsFor(dlg.Template(), modeless)), dlg_(&dlg), tpl_(dlg.Template()), modeless_(modeless) {
    setObjectName(QString::number(tpl_.id));
    setAcceptDrops(TakesDrops(tpl_));
    Build();
    TimerChanged();
}

DialogView::~DialogView() {
    if (dlg_) dlg_->Attach(nullptr);
}

void DialogView::Detach() { dlg_ = nullptr; }

QWidget* DialogView::Widget(int id) const {
    auto it = widgets_.find(id);
    return it == widgets_.end() ? nullptr : it->second;
}

void DialogView::Build() {
    auto* top = new QGridLayout(this);
    top->setSizeConstraint(QLayout::SetNoConstraint);  // Fit() sizes the window
    std::map<int, QGridLayout*> grids = {{0, top}};
    std::map<int, QWidget*> parents = {{0, this}};

    // Group boxes first, so that their controls find their grid whatever the order.
    const auto& cs = tpl_.controls;
    std::vector<QWidget*> boxes(cs.size(), nullptr);
    for (size_t i = 0; i < cs.size(); ++i) {
        if (cs[i].kind != Kind::GroupBox) continue;
        auto* box = new QGroupBox(ToQ(cs[i].label), this);
        boxes[i] = box;
        if (cs[i].id == IDC_STATIC) continue;
        box->setObjectName(QString::number(cs[i].id));
        grids[cs[i].id] = new QGridLayout(box);
        parents[cs[i].id] = box;
    }
    for (size_t i = 0; i < cs.size(); ++i) {
        const auto& c = cs[i];
        const int container = grids.count(c.container) ? c.container : 0;
        QWidget* w = boxes[i] ? boxes[i] : MakeWidget(c, parents[container]);
        if (!w) continue;
        Qt::Alignment align;
        if (c.kind == Kind::PushButton && (c.style & kCentered)) align = Qt::AlignHCenter;
        grids[container]->addWidget(w, c.row, c.col, 1, c.colSpan, align);
        if (HoldsLongText(c)) Stretch(c, grids);
        if (c.id == IDC_STATIC) {
            w->setHidden(c.style & kHidden);
            w->setEnabled(!(c.style & kDisabled));
        } else {
            widgets_[c.id] = w;
        }
    }

    // Radio groups, as the dialog sees them: each run of consecutive radios
    // in one container is exclusive on its own.
    QButtonGroup* run = nullptr;
    int runContainer = 0;
    for (const auto& c : tpl_.controls) {
        if (c.kind != Kind::RadioButton) {
            run = nullptr;
            continue;
        }
        if (!run || c.container != runContainer) run = new QButtonGroup(this);
        runContainer = c.container;
        if (auto* rb = qobject_cast<QRadioButton*>(Widget(c.id))) {
            run->addButton(rb);
            radioGroups_[c.id] = run;
        }
    }
    if (resizable_) {
        for (const auto& c : tpl_.controls) {
            QWidget* w = Widget(c.id);
            // Aligned in its cell, a field keeps its own width as the column grows.
            if (w && (c.kind == Kind::Edit || c.kind == Kind::ComboBox) && !HoldsLongText(c))
                w->parentWidget()->layout()->setAlignment(w, Qt::AlignLeft | Qt::AlignVCenter);
        }
    }
    OrderTabs();
    if (tpl_.mnemonics) ChooseMnemonics();
    SyncAll();
    Fit();
}

void DialogView::ChooseMnemonics() {
    // In template order, each button takes the first letter of its label
    // that no button before it took; a label with a mnemonic of its own keeps it.
    QString taken;
    for (const auto& c : tpl_.controls) {
        if (c.kind != Kind::PushButton || c.id == IDC_STATIC || c.label.find('&') != std::string::npos) continue;
        for (QChar ch : ToQ(c.label)) {
            if (!ch.isLetter() || taken.contains(ch.toLower())) continue;
            taken += ch.toLower();
            mnemonics_[c.id] = ch.toLower();
            break;
        }
    }
}

QString DialogView::WithMnemonic(int id, const QString& text) const {
    auto it = mnemonics_.find(id);
    if (it == mnemonics_.end() || text.contains(QLatin1Char('&'))) return text;
    const int at = text.indexOf(it->second, 0, Qt::CaseInsensitive);
    if (at < 0) return text;
    QString marked = text;
    marked.insert(at, QLatin1Char('&'));
    return marked;
}

void DialogView::Stretch(const tk::Control& c, const std::map<int, QGridLayout*>& grids) {
    resizable_ = true;
    // The control's last column takes the extra width, in its own container
    // and in every group box around it; fields beside it keep their size.
    for (const tk::Control* at = &c; at;) {
        const int container = grids.count(at->container) ? at->container : 0;
        grids.at(container)->setColumnStretch(at->col + at->colSpan - 1, 1);
        at = container == 0 ? nullptr : tpl_.Find(container);
    }
}

void DialogView::OrderTabs() {
    // Tab from the last field goes on to the default button, never past it to
    // Cancel, wherever the template puts the button.
    QWidget* lastField = nullptr;
    size_t lastFieldAt = 0, defaultAt = 0;
    QWidget* defaultButton = nullptr;
    for (size_t i = 0; i < tpl_.controls.size(); ++i) {
        const auto& c = tpl_.controls[i];
        QWidget* w = Widget(c.id);
        if (!w) continue;
        if ((c.kind == Kind::Edit || c.kind == Kind::ComboBox) && !(c.style & kHidden)) {
            lastField = w;
            lastFieldAt = i;
        }
        if (c.kind == Kind::PushButton && (c.style & kDefault) && !defaultButton) {
            defaultButton = w;
            defaultAt = i;
        }
    }
    if (lastField && defaultButton && defaultAt < lastFieldAt) QWidget::setTabOrder(lastField, defaultButton);
}

void DialogView::Fit() {
    // Never narrower than the caption needs; only windows with a path or
    // port field grow, and only in width.
    const QSize hint = sizeHint();
    const int width = std::max(hint.width(), TitleBarWidth(windowTitle()));
    if (resizable_) {
        setMinimumSize(width, hint.height());
        setMaximumSize(QWIDGETSIZE_MAX, hint.height());
    } else {
        setFixedSize(width, hint.height());
    }
}

void DialogView::showEvent(QShowEvent* e) {
    // A window the user widened comes back at that width (within the screen).
    if (resizable_ && !restored_) {
        restored_ = true;
        int width = SavedWindowWidth(tpl_.id);
        if (const QScreen* screen = this->screen()) width = std::min(width, screen->availableGeometry().width());
        if (width > minimumWidth()) resize(width, height());
    }
    QDialog::showEvent(e);
}

void DialogView::hideEvent(QHideEvent* e) {
    if (resizable_ && restored_) SaveWindowWidth(tpl_.id, width());
    QDialog::hideEvent(e);
}

void DialogView::TimerChanged() {
    const int ms = dlg_ ? dlg_->TimerMs() : 0;
    if (ms == 0) {
        if (timer_) timer_->stop();
        return;
    }
    if (!timer_) {
        timer_ = new QTimer(this);
        connect(timer_, &QTimer::timeout, this, [this] {
            if (dlg_ && isVisible()) dlg_->Timer();
        });
    }
    timer_->start(ms);
}

bool DialogView::HandleFileDrop(QEvent* e) {
    const auto type = e->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* drop = static_cast<QDropEvent*>(e);  // the drag events derive from it
    const QString file = DroppedFile(drop->mimeData());
    if (file.isEmpty()) return false;  // text dragged into a field stays the field's business
    const bool takes = dlg_ && isEnabled() && dlg_->TakesDroppedFiles();
    if (type == QEvent::Drop && takes) {
        if (dlg_->DropFile(QFile::encodeName(file).toStdString())) {
            drop->acceptProposedAction();
            return true;
        }
    } else if (takes) {
        drop->acceptProposedAction();
        return true;
    }
    drop->ignore();
    return true;
}

bool DialogView::event(QEvent* e) {
    if (HandleFileDrop(e)) return true;
    const bool handled = QDialog::event(e);
    // The layout has just taken in shown, hidden or changed controls.
    if (e->type() == QEvent::LayoutRequest) Fit();
    return handled;
}

QWidget* DialogView::MakeWidget(const tk::Control& c, QWidget* parent) {
    const int id = c.id;
    const bool centred = (c.style & kCentered) || tpl_.centered;
    QWidget* w = nullptr;
    switch (c.kind) {
        case Kind::PushButton: {
            auto* b = new QPushButton(ToQ(c.label), parent);
            b->setDefault(c.style & kDefault);
            connect(b, &QPushButton::clicked, this, [this, id] { Send(id); });
            w = b;
            break;
        }
        case Kind::RadioButton: {
            auto* b = new QRadioButton(ToQ(c.label), parent);
            b->setAutoExclusive(false);  // the button group of its run decides
            connect(b, &QRadioButton::clicked, this, [this, id] { Send(id); });
            w = b;
            break;
        }
        case Kind::Edit: {
            auto* e = new FieldEdit(c.width, parent);
            e->setReadOnly(c.style & kReadOnly);
            if (centred) e->setAlignment(Qt::AlignCenter);
            if (c.style & (kNumber | kUpperCase | kHexByte))
                e->setValidator(new FieldValidator(c.style & kNumber, c.style & kUpperCase, e, c.style & kHexByte));
            if (c.style & kHexByte) e->setMaxLength(2);
            connect(e, &QLineEdit::textEdited, this, [this, id](const QString& t) { Edited(id, t); });
            e->installEventFilter(this);
            w = e;
            break;
        }
        case Kind::ComboBox: {
            auto* cb = new FieldCombo(parent);
            cb->setEditable(true);
            cb->setInsertPolicy(QComboBox::NoInsert);  // typed text never joins the list
            for (const auto& item : c.items) cb->addItem(ToQ(item));
            cb->setCurrentIndex(-1);
            cb->setEditText(QString());
            cb->setMinimumContentsLength(c.width > 0 ? c.width : 8);
            // The box keeps its size however long an entry; its list shows them whole.
            cb->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            connect(cb, &QComboBox::editTextChanged, this, [this, id](const QString& t) {
                if (!syncing_) Edited(id, t);
            });
            cb->installEventFilter(this);
            if (cb->lineEdit()) cb->lineEdit()->installEventFilter(this);
            w = cb;
            break;
        }
        case Kind::Static: {
            auto* l = new QLabel(ToQ(LinesOf(c.label)), parent);
            l->setTextFormat(Qt::PlainText);
            if (centred) l->setAlignment(Qt::AlignCenter);
            w = l;
            break;
        }
        case Kind::ProgressBar: {
            auto* p = new QProgressBar(parent);
            p->setTextVisible(false);
            // Room for the whole figure of a long run.
            const int figure =
                p->fontMetrics().horizontalAdvance(QStringLiteral("100%   FFFFFF   10:00 so far, 10:00 left"));
            p->setMinimumWidth(std::max(240, figure + 4 * p->fontMetrics().averageCharWidth()));
            w = p;
            break;
        }
        case Kind::Separator: {
            auto* f = new QFrame(parent);
            f->setFrameShape(QFrame::HLine);
            f->setFrameShadow(QFrame::Sunken);
            w = f;
            break;
        }
        case Kind::Icon: {
            auto* l = new QLabel(parent);
            l->setPixmap(QApplication::windowIcon().pixmap(32, 32));
            l->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
            w = l;
            break;
        }
        case Kind::GroupBox: break;
    }
    if (w) {
        if (id != IDC_STATIC) w->setObjectName(QString::number(id));
        if (c.kind == Kind::PushButton || c.kind == Kind::RadioButton) w->installEventFilter(this);
        if (!c.label.empty() && (c.kind == Kind::Edit || c.kind == Kind::ComboBox)) w->setAccessibleName(ToQ(c.label));
    }
    return w;
}

void DialogView::SyncAll() {
    if (!dlg_) return;
    CaptionChanged();
    for (const auto& [id, w] : widgets_) Sync(id);
    WindowEnabledChanged();
    if (dlg_->Focus() != 0) FocusChanged(dlg_->Focus());
}

void DialogView::Sync(int id) {
    QWidget* w = Widget(id);
    const tk::Control* c = tpl_.Find(id);
    if (!w || !c || !dlg_) return;
    const ControlState& s = dlg_->State(id);
    const QString text = ToQ(c->kind == Kind::Static ? LinesOf(s.text) : s.text);
    syncing_ = true;
    switch (c->kind) {
        case Kind::Edit: {
            auto* e = static_cast<QLineEdit*>(w);
            const QString shown = (c->style & kUpperCase) ? text.toUpper() : text;
            if (e->text() != shown) e->setText(shown);
            break;
        }
        case Kind::ComboBox: {
            auto* cb = static_cast<QComboBox*>(w);
            // A list the dialog changed (ports that came or went): the text stays.
            if (const tk::Control* now = dlg_->Template().Find(id)) {
                QStringList items;
                for (const auto& item : now->items) items << ToQ(item);
                QStringList shown;
                for (int i = 0; i < cb->count(); ++i) shown << cb->itemText(i);
                if (items != shown) {
                    const QString typed = cb->currentText();
                    cb->clear();
                    cb->addItems(items);
                    cb->setCurrentIndex(-1);
                    cb->setEditText(typed);
                }
            }
            if (cb->currentText() != text) {
                const int at = cb->findText(text);
                if (at >= 0)
                    cb->setCurrentIndex(at);
                else
                    cb->setEditText(text);
            }
            break;
        }
        case Kind::PushButton: static_cast<QAbstractButton*>(w)->setText(WithMnemonic(id, text)); break;
        case Kind::RadioButton:
            static_cast<QAbstractButton*>(w)->setText(text);
            SyncRadio(id, s.checked);
            break;
        case Kind::GroupBox: static_cast<QGroupBox*>(w)->setTitle(text); break;
        case Kind::Static: static_cast<QLabel*>(w)->setText(text); break;
        case Kind::ProgressBar: {
            auto* p = static_cast<QProgressBar*>(w);
            const bool restarted =
                p->minimum() != s.rangeLow || p->maximum() != std::max(s.rangeLow, s.rangeHigh) || s.pos <= s.rangeLow;
            p->setRange(s.rangeLow, std::max(s.rangeLow, s.rangeHigh));
            p->setValue(std::clamp(s.pos, p->minimum(), p->maximum()));
            if (restarted) barStarted_[id] = std::chrono::steady_clock::now();
            ShowFigure(*p, barStarted_[id], text);
            break;
        }
        case Kind::Separator:
        case Kind::Icon: break;
    }
    w->setEnabled(s.enabled);
    w->setHidden(!s.visible);
    syncing_ = false;
}

namespace {

QString Clock(std::chrono::seconds s) {
    const auto n = s.count();
    return n >= 3600 ? QString::asprintf("%lld:%02lld:%02lld", static_cast<long long>(n / 3600),
                                         static_cast<long long>(n / 60 % 60), static_cast<long long>(n % 60))
                     : QString::asprintf("%lld:%02lld", static_cast<long long>(n / 60), static_cast<long long>(n % 60));
}

}  // namespace

void DialogView::ShowFigure(QProgressBar& bar, std::chrono::steady_clock::time_point started, const QString& address) {
    // A bar without a range only says that something goes on.
    const int span = bar.maximum() - bar.minimum();
    if (span <= 0) {
        bar.setTextVisible(false);
        return;
    }
    // The percentage, the time so far, and what is left at the pace so far.
    const int done = bar.value() - bar.minimum();
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    QString text = QStringLiteral("%p%   ");
    if (!address.isEmpty()) text += address + QStringLiteral("   ");
    text += Clock(elapsed) + QStringLiteral(" so far");
    if (done > 0 && done < span) {
        const auto left = elapsed * (span - done) / done;
        text += QStringLiteral(", ") + Clock(left) + QStringLiteral(" left");
    }
    bar.setFormat(text);
    bar.setTextVisible(true);
}

void DialogView::SyncRadio(int id, bool checked) {
    auto* b = static_cast<QAbstractButton*>(Widget(id));
    if (b->isChecked() == checked) return;
    // An exclusive group refuses to clear its checked button; the model may.
    QButtonGroup* g = radioGroups_.count(id) ? radioGroups_[id] : nullptr;
    if (g && !checked) g->setExclusive(false);
    b->setChecked(checked);
    if (g && !checked) g->setExclusive(true);
}

void DialogView::ControlChanged(int id) { Sync(id); }

void DialogView::CaptionChanged() {
    if (!dlg_ || windowTitle() == ToQ(dlg_->Caption())) return;
    setWindowTitle(ToQ(dlg_->Caption()));
    Fit();
}

void DialogView::FocusChanged(int id) {
    QWidget* w = Widget(id);
    if (!w) return;
    w->setFocus(Qt::OtherFocusReason);
    // What the user types next replaces the text, as after Tab.
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    // The dialog moved on by itself while the user typed (the ID fields
    // that advance after two digits): a Tab pressed by habit right after
    // must not move on once more.
    advancedTo_ = editing_ ? w : nullptr;
}

void DialogView::WindowEnabledChanged() {
    if (dlg_) setEnabled(dlg_->IsWindowEnabled());
}

void DialogView::Ended() {
    if (modeless_) return;  // stays until its owner destroys it
    QDialog::done(dlg_ ? dlg_->Result() : IDCANCEL);
}

void DialogView::reject() {
    // A disabled Cancel button means the dialog cannot be cancelled now.
    if (QWidget* cancel = Widget(IDCANCEL); cancel && !cancel->isEnabled()) return;
    Send(IDCANCEL);
}

void DialogView::Send(int id) {
    Dialog* dlg = dlg_;
    if (!dlg || !isEnabled()) return;
    dlg->Command(id);
    // The command may have destroyed the dialog (a modeless window's Cancel);
    // Detach cleared dlg_ then. A radio the dialog did not check unchecks again.
    if (dlg_ && radioGroups_.count(id)) Sync(id);
}

void DialogView::Edited(int id, const QString& text) {
    if (syncing_ || !dlg_) return;
    editing_ = true;
    dlg_->UserEdit(id, text.toStdString());
    editing_ = false;
}

void DialogView::PressEnter() {
    // Like a dialog box: a focused push button, else the default button, else IDOK.
    if (auto* b = qobject_cast<QPushButton*>(focusWidget())) {
        for (const auto& [id, w] : widgets_)
            if (w == b) {
                if (b->isEnabled() && b->isVisible()) Send(id);
                return;
            }
    }
    for (const auto& c : tpl_.controls) {
        if (c.kind != Kind::PushButton || !(c.style & kDefault)) continue;
        QWidget* w = Widget(c.id);
        if (w && w->isEnabled() && !w->isHidden()) {
            Send(c.id);
            return;
        }
    }
    Send(IDOK);
}

bool DialogView::HandleKey(int key, Qt::KeyboardModifiers mods) {
    if (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter: PressEnter(); return true;
        case Qt::Key_Escape: reject(); return true;
        case Qt::Key_F1:
            if (dlg_ && !dlg_->SystemMenu().empty()) {
                RunSystemEntry(dlg_->SystemMenu().front().id);
                return true;
            }
            return false;
        default: return false;
    }
}

void DialogView::keyPressEvent(QKeyEvent* e) {
    if (HandleKey(e->key(), e->modifiers()))
        e->accept();
    else
        QDialog::keyPressEvent(e);
}

bool DialogView::eventFilter(QObject* watched, QEvent* e) {
    // A field would take a dropped file's URL as text.
    if (HandleFileDrop(e)) return true;
    // Fields and combo boxes would keep Enter and Escape for themselves.
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        const bool advanced = advancedTo_ && watched == advancedTo_;
        advancedTo_ = nullptr;
        if (advanced && k->key() == Qt::Key_Tab && k->modifiers() == Qt::NoModifier) return true;
        if (HandleKey(k->key(), k->modifiers())) return true;
    }
    return QDialog::eventFilter(watched, e);
}

void DialogView::contextMenuEvent(QContextMenuEvent* e) {
    if (!dlg_ || dlg_->SystemMenu().empty()) {
        QDialog::contextMenuEvent(e);
        return;
    }
    QMenu menu(this);
    for (const auto& entry : dlg_->SystemMenu()) {
        const int id = entry.id;
        connect(menu.addAction(ToQ(entry.text)), &QAction::triggered, this, [this, id] { RunSystemEntry(id); });
    }
    menu.exec(e->globalPos());
    e->accept();
}

void DialogView::RunSystemEntry(int id) {
    if (dlg_ && isEnabled()) dlg_->SysCommand(id);
}

}  // namespace tk

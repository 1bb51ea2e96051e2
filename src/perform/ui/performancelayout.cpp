// The performance controls at their places: the keyboard frame, the style buttons on the
// "PlayBack" page and the four frames of the "Settings" page. Places are in pixels inside their
// frames; the frames themselves at their rectangles in twips.

#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "perform/ui/performancepanel.h"
#include "util/twips.h"
#include "util/ui/textfocus.h"

namespace velorixa::perform {

namespace {

// The letters of a PC keyboard's three letter rows.
constexpr const char* kRows[3] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};

template <class W>
W* place(W* w, const QString& name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

QFont smallFont(bool bold = false) {
    QFont f(QStringLiteral("Sans Serif"), 7);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, int x, int y,
                    int width, int height, bool option = false) {
    auto* b = place(new QPushButton(text, parent), name, x, y, width, height);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCheckable(option);
    b->setFont(smallFont());
    return b;
}

QFrame* frame(QWidget* parent, const char* name, int left, int top, int width, int height,
              const QString& caption = {}) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(px(left), px(top), px(width), px(height));
    f->setFrameShape(QFrame::StyledPanel);
    if (!caption.isEmpty()) {
        auto* l = place(new QLabel(caption, f), QString::fromLatin1(name) + "Caption", 6, 3,
                        f->width() - 12, 14);
        l->setFont(smallFont(true));
    }
    return f;
}

QLabel* label(QWidget* parent, const QString& text, int x, int y, int width) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 14);
    l->setFont(smallFont());
    return l;
}

QLineEdit* field(QWidget* parent, const QString& name, int x, int y, int width,
                 bool readOnly = false) {
    auto* e = place(new QLineEdit(parent), name, x, y, width, 18);
    e->setFont(smallFont());
    e->setReadOnly(readOnly);
    if (readOnly) e->setFocusPolicy(Qt::NoFocus);
    return e;
}

// The letter keys in keyboard rows: key k of the alphabet goes to out[k].
template <class Make>
void letterRows(int x0, int y0, int w, int h, int indent, Make make) {
    for (int row = 0; row < 3; ++row) {
        const char* letters = kRows[row];
        for (int i = 0; letters[i]; ++i)
            make(letters[i] - 'A' + 1, x0 + row * indent + i * w, y0 + row * h);
    }
}

}  // namespace

void PerformancePanel::buildKeyboard(QWidget* host) {
    // 161 x 73 pixels: three letter rows, "<" and ">" beside the last one, "Initial Sound" as
    // the space bar.
    letterRows(5, 3, 15, 16, 5, [&](int k, int x, int y) {
        butKbd_[k] = button(host, QStringLiteral("ButKbd_%1").arg(k), QString(QChar('A' + k - 1)),
                            x, y, 15, 16, true);
        butKbd_[k]->setEnabled(false);
    });
    auto* less = button(host, "ButKbdMin", "<", 122, 35, 17, 16);
    auto* more = button(host, "ButKbdMax", ">", 139, 35, 17, 16);
    (void)less;
    (void)more;
    butKbd_[0] = button(host, "ButKbd_0", "Initial Sound", 20, 53, 121, 16, true);
    for (int k = 0; k <= kKeyCount; ++k) {
        connect(butKbd_[k], &QPushButton::clicked, this, [this, k] {
            selectOption(butKbd_.data(), 0, kKeyCount, k);
            ButKbd_Click(k);
        });
    }
}

void PerformancePanel::buildPreSet(QWidget* page) {
    QFrame* pre = frame(page, "FrmPreSet", 240, 5040, 3855, 1095);
    for (int i = 1; i <= kStyleCount; ++i) {
        const int col = (i - 1) % 6, row = (i - 1) / 6;
        butTyp_[i] = button(pre, QStringLiteral("ButTyp_%1").arg(i), {}, 4 + 41 * col, 3 + 19 * row,
                            41, 19, true);
        connect(butTyp_[i], &QPushButton::clicked, this, [this, i] {
            selectOption(butTyp_.data(), 1, kStyleCount, i);
            ButTyp_Click(i);
        });
    }
    txtPerfor2_ = field(pre, "TxtPerfor2", 4, 42, pre->width() - 8, true);
    txtPerfor2_->setFixedHeight(14);
    txtKbdFil2_ = field(pre, "TxtKbdFil2", 4, 56, pre->width() - 8, true);
    txtKbdFil2_->setFixedHeight(14);
}

void PerformancePanel::buildSettings(QWidget* page) {
    auto* textFocus = new TextFocusFilter(state_, this);
    frame(page, "Frame5", 240, 360, 3015, 5775);
    frame(page, "Frame3", 3480, 360, 3135, 5775);

    // Left: the set files and "Save Set as ...".
    QFrame* store = frame(page, "FrmStore", 360, 480, 2775, 4335);
    label(store, QStringLiteral("Current Set File :"), 6, 4, 170);
    txtKbdFil4_ = field(store, "TxtKbdFil4", 6, 19, store->width() - 12, true);
    fileBoxSet_ = place(new QListWidget(store), "FileBoxSet", 6, 42, store->width() - 12, 150);
    fileBoxSet_->setFont(smallFont());
    fileBoxSet_->setFocusPolicy(Qt::NoFocus);
    fileBoxSet_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(fileBoxSet_, &QListWidget::itemDoubleClicked, this, [this] { FileBoxSet_DblClick(); });
    label(store, QStringLiteral("Assign Selected File to Key :"), 6, 198, 170);
    for (int i = 1; i <= 8; ++i) {
        const int col = (i - 1) % 4, row = (i - 1) / 4;
        cmdFunKey_[i] = button(store, QStringLiteral("CmdFunKey_%1").arg(i),
                               QStringLiteral("F%1").arg(i), 6 + 43 * col, 216 + 26 * row, 41, 22);
        connect(cmdFunKey_[i], &QPushButton::clicked, this, [this, i] { CmdFunKey_Click(i); });
    }
    QFrame* save = frame(page, "Frame4", 360, 4800, 2775, 1215);
    txtSaveFile_ = field(save, "TxtSaveFile", 6, 8, save->width() - 12);
    txtSaveFile_->installEventFilter(textFocus);
    cmdSaveFile_ = button(save, "CmdSaveFile", QStringLiteral("Save Set as ..."), 6, 34,
                          save->width() - 12, 24);
    connect(cmdSaveFile_, &QPushButton::clicked, this, [this] { CmdSaveFile_Click(); });

    // Right: the style editor, "Assign" and "Clear".
    QFrame* style =
        frame(page, "FrmStyle", 3600, 480, 2895, 2175, QStringLiteral("Edit Performance Style :"));
    label(style, QStringLiteral("Style :"), 6, 26, 50);
    comboStyle_ = place(new QComboBox(style), "ComboStyle", 60, 22, 120, 20);
    comboStyle_->setFont(smallFont());
    for (int i = 0; i < kStyleCount; ++i)
        comboStyle_->addItem(QString());
    comboStyle_->installEventFilter(textFocus);
    connect(comboStyle_, &QComboBox::activated, this, [this] { ComboStyle_Click(); });
    txtTitle_ = field(style, "TxtTitle", 60, 48, 58);
    label(style, QStringLiteral("7  Letters Limit"), 122, 50, 70);
    label(style, QStringLiteral("Content :"), 6, 84, 54);
    txtContent_ = field(style, "TxtContent", 60, 82, 58);
    label(style, QStringLiteral("7  Letters Limit"), 122, 84, 70);
    for (QLineEdit* e : {txtTitle_, txtContent_}) {
        e->setMaxLength(kStyleTextMax);
        e->installEventFilter(textFocus);
        // Leaving the field stores the style in its normal form (after FlagText is cleared).
        e->installEventFilter(this);
    }
    connect(txtTitle_, &QLineEdit::textChanged, this, [this] { TxtTitle_Change(); });
    connect(txtContent_, &QLineEdit::textChanged, this, [this] { TxtContent_Change(); });

    QFrame* apply = frame(page, "FrmApply", 3600, 2640, 2895, 2175,
                          QStringLiteral("Assign Current Setting to Key :"));
    letterRows(8, 24, 17, 22, 6, [&](int k, int x, int y) {
        butKbdSet_[k] = button(apply, QStringLiteral("ButKbdSet_%1").arg(k),
                               QString(QChar('A' + k - 1)), x, y, 17, 20, true);
        connect(butKbdSet_[k], &QPushButton::clicked, this, [this, k] {
            selectOption(butKbdSet_.data(), 1, kKeyCount, k);
            ButKbdSet_Click(k);
        });
    });
    cmdAppSet_ = button(apply, "CmdAppSet", QStringLiteral("Assign"), 8, 100, 80, 24);
    cmdAppSet_->setEnabled(false);
    connect(cmdAppSet_, &QPushButton::clicked, this, [this] { CmdAppSet_Click(); });

    QFrame* clear = frame(page, "FrmClear", 3600, 4800, 2895, 1215,
                          QStringLiteral("Clear All Styles and  Settings :"));
    cmdAppClr_ = button(clear, "CmdAppClr", QStringLiteral("Clear"), 8, 30, 80, 24);
    connect(cmdAppClr_, &QPushButton::clicked, this, [this] { CmdAppClr_Click(); });

    // Marks the program's own presses; never shown.
    cmdFON_ = button(page, "CmdFON", QStringLiteral("Fon"), 0, 0, 1, 1);
    cmdFON_->hide();
}

}  // namespace velorixa::perform

#include "controls/ui/effectspage.h"

#include <QCheckBox>
#include <QEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <vector>

#include "controls/soundcontrol.h"
#include "controls/valuetext.h"
#include "util/twips.h"

namespace velorixa::controls {

// Repaints the knobs' bars together, at most once per display frame. The bars' values and
// change events stay immediate; only their pictures wait. At the fastest rotation the wave
// moves every knob every 2 ms: painting nine bars (and flushing the window) at that rate took a
// quarter of the window thread for pictures no screen shows.
class FramePainter : public QObject {
  public:
    explicit FramePainter(QObject* parent) : QObject(parent) {
        timer_.setSingleShot(true);
        timer_.setInterval(16);
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* w : dirty_)
                w->update();
            dirty_.clear();
        });
    }
    void request(QWidget* w) {
        if (std::find(dirty_.begin(), dirty_.end(), w) == dirty_.end()) dirty_.push_back(w);
        if (!timer_.isActive()) timer_.start();
    }
    void forget(QWidget* w) {
        dirty_.erase(std::remove(dirty_.begin(), dirty_.end(), w), dirty_.end());
    }

  private:
    QTimer timer_;
    std::vector<QWidget*> dirty_;
};

// A knob's scroll bar whose moves are painted by the page's FramePainter.
class KnobBar : public QScrollBar {
  public:
    KnobBar(Qt::Orientation o, QWidget* parent, FramePainter* painter)
        : QScrollBar(o, parent), painter_(painter) {
        // The style paints every pixel of a scroll bar: nothing under it needs painting again.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    ~KnobBar() override {
        if (painter_) painter_->forget(this);
    }

  protected:
    void sliderChange(SliderChange change) override {
        if (change == SliderValueChange && painter_)
            painter_->request(this);
        else
            QScrollBar::sliderChange(change);
    }

  private:
    QPointer<FramePainter> painter_;
};

namespace {

// A group at its place inside its parent, in twips.
QFrame* makeGroup(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(px(left), px(top), px(width), px(height));
    f->setFrameShape(QFrame::StyledPanel);
    return f;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect pixels) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(pixels);
    return l;
}

QScrollBar* makeBar(QWidget* parent, const QString& name, Qt::Orientation o, int min, int max,
                    int smallStep, int largeStep, int value, FramePainter* painter = nullptr) {
    QScrollBar* b = painter ? new KnobBar(o, parent, painter) : new QScrollBar(o, parent);
    b->setObjectName(name);
    b->setRange(min, max);
    b->setSingleStep(smallStep);
    b->setPageStep(largeStep);
    b->setValue(value);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The rotate button's picture, 15 x 17 pixels: a circling arrow.
QPixmap rotatePicture() {
    QPixmap pm(15, 17);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 40, 110), 1.6));
    p.drawArc(QRectF(2.5, 3.5, 10, 10), 100 * 16, 290 * 16);
    QPainterPath head;
    head.moveTo(6.0, 0.8);
    head.lineTo(10.2, 3.6);
    head.lineTo(6.0, 6.4);
    head.closeSubpath();
    p.fillPath(head, QColor(20, 40, 110));
    return pm;
}

}  // namespace

KnobGroup::KnobGroup(int index, Qt::Orientation orientation, QWidget* parent, FramePainter* painter)
    : QFrame(parent) {
    const QString n = QString::number(index);
    setObjectName("FrmSld_" + n);
    const KnobRange r = KnobRangeOf(index);
    const bool pitch = index == kKnobPitch;
    fonPic_ = new QFrame(this);
    fonPic_->setObjectName("FonPic_" + n);
    fonPic_->setFrameShape(QFrame::Panel);
    fonPic_->setFrameShadow(QFrame::Sunken);
    rotBut_ = new QPushButton(this);
    rotBut_->setObjectName("RotBut_" + n);
    rotBut_->setCheckable(true);
    rotBut_->setIcon(QIcon(rotatePicture()));
    rotBut_->setIconSize(QSize(15, 17));
    rotBut_->setToolTip(QStringLiteral("Rotate"));
    zerBut_ = new QPushButton(QStringLiteral("0"), this);
    zerBut_->setObjectName("ZerBut_" + n);
    // A reset button, not a read-out of zero: its tool tip says what it returns the knob to.
    zerBut_->setToolTip(ValueText::ZeroButton(index));
    zerBut_->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : {static_cast<QWidget*>(rotBut_), static_cast<QWidget*>(zerBut_)})
        w->setFocusPolicy(Qt::NoFocus);
    // The bar sits one pixel inside its border, which is one pixel longer across the bar.
    if (orientation == Qt::Horizontal) {
        setGeometry(0, 0, 147, 39);
        fonPic_->setGeometry(0, 0, 147, 18 + 1);
        bar_ = makeBar(this, "ScrBarH_" + n, orientation, r.min, r.max, pitch ? 5 : 10,
                       pitch ? 17 : 34, r.rest, painter);
        rotBut_->setGeometry(0, 20, 21, 18);
        zerBut_->setGeometry(24, 20, 21, 18);
    } else {
        setGeometry(0, 0, px(375), px(2175));
        fonPic_->setGeometry(3, 0, 18 + 1, 99);
        bar_ = makeBar(this, "ScrBarV_" + n, orientation, r.min, r.max, 10, 34, r.rest, painter);
        rotBut_->setGeometry(2, 102, 21, 20);
        zerBut_->setGeometry(2, 124, 21, 20);
    }
    const QRect f = fonPic_->geometry();
    bar_->setGeometry(f.x() + 1, f.y() + 1, f.width() - 2, f.height() - 2);
}

EffectsPage::EffectsPage(QWidget* canvas, EffectControls& logic, QObject* parent)
    : QObject(parent), logic_(logic) {
    painter_ = new FramePainter(this);
    frmEffect_ = new QFrame(canvas);
    frmEffect_->setObjectName("FrmEffect");
    frmEffect_->setGeometry(px(240), px(2040), px(6375), px(4095));
    // The page's captions in the window's small control font, so "Jump" and "Beat" fit their
    // places.
    QFont small = frmEffect_->font();
    small.setPointSize(8);
    frmEffect_->setFont(small);
    buildEql();
    buildPan();
    buildRotVol();
    buildPitch();
    buildReadout();
    for (int i = 1; i <= kKnobCount; ++i)
        connectKnob(i);
    showSetting(logic_.setting());
    follow(logic_.sound());
}

EffectsPage::~EffectsPage() = default;

void EffectsPage::buildEql() {
    QFrame* pic = makeGroup(frmEffect_, "PicEql", 0, 120, 3735, 2655);
    static const int lefts[] = {120, 480, 840, 1440, 2040, 2640, 3240};
    for (int i = 3; i <= kKnobCount; ++i) {
        knobs_[i] = new KnobGroup(i, Qt::Vertical, pic, painter_);
        knobs_[i]->move(px(lefts[i - 3]), px(360));
    }
    makeLabel(pic, "LblEQL0", QStringLiteral("Equalizer"), QRect(px(120), 4, 70, 16));
    static const char* const names[] = {"LblEQL1", "LblEQL2", "LblEQL3", "LblEQL4"};
    static const char* const captions[] = {"Rvrb", "Echo", "Keen", "Jingl"};
    for (int e = 0; e < 4; ++e)
        makeLabel(pic, names[e], QString::fromLatin1(captions[e]),
                  QRect(px(lefts[3 + e]) - 4, 4, 34, 16));
}

void EffectsPage::buildPan() {
    QFrame* pic = makeGroup(frmEffect_, "PicPan", 3960, 120, 2415, 1215);
    knobs_[kKnobBalance] = new KnobGroup(kKnobBalance, Qt::Horizontal, pic, painter_);
    knobs_[kKnobBalance]->move(px(120), px(120));
    makeLabel(pic, "Label14", QStringLiteral("Balance"), QRect(px(120) + 50, px(120) + 21, 60, 16));
    makeLabel(pic, "LblBAL", QString(), QRect(px(120) + 110, px(120) + 21, 30, 16));
    chkRot1_ = new QCheckBox(QStringLiteral("Jump"), pic);
    chkRot1_->setObjectName("ChkRot1");
    // Four pixels left of its place: this platform's font is wider than the one the place was drawn
    // for.
    chkRot1_->setGeometry(px(1080) - 4, px(840), 44, 18);
    chkRot2_ = new QCheckBox(QStringLiteral("Beat"), pic);
    chkRot2_->setObjectName("ChkRot2");
    chkRot2_->setGeometry(px(1680), px(840), 46, 18);
    for (QCheckBox* c : {chkRot1_, chkRot2_}) {
        c->setFocusPolicy(Qt::NoFocus);
        // Two pixels between box and caption, so "Jump" fits its place. A property the window's
        // style reads, not a style sheet: a style sheet would cut the box off the window's
        // palette and give it the desktop's colours.
        c->setProperty("labelSpacing", 2);
    }
    connect(chkRot1_, &QCheckBox::clicked, this,
            [this](bool ticked) { logic_.ChkRot1_Click(ticked, Origin::Operator); });
    connect(chkRot2_, &QCheckBox::clicked, this,
            [this](bool ticked) { logic_.ChkRot2_Click(ticked, Origin::Operator); });
}

void EffectsPage::buildRotVol() {
    struct Spec {
        const char *pic, *fon, *bar, *caption, *captionName, *lbl;
        int top;
        QScrollBar** out;
    } specs[] = {
        {"PicRot", "FonROT", "ScrROT", "Rotate", "LabelRot", "LblROT", 1560, &scrROT_},
        {"PicVOL", "FonVOL", "ScrVOL", "Volume", "LabelVol", "LblVOL", 2160, &scrVOL_},
    };
    for (const Spec& s : specs) {
        QFrame* pic = makeGroup(frmEffect_, s.pic, 3960, s.top, 2415, 615);
        makeLabel(pic, s.captionName, QString::fromLatin1(s.caption), QRect(8, 1, 60, 16));
        makeLabel(pic, s.lbl, QString(), QRect(70, 1, 40, 16));
        auto* fon = new QFrame(pic);
        fon->setObjectName(s.fon);
        fon->setFrameShape(QFrame::Panel);
        fon->setFrameShadow(QFrame::Sunken);
        fon->setGeometry(7, 18, 147 + 1, 18 + 1);
        *s.out = makeBar(pic, s.bar, Qt::Horizontal, 0, 100, 5, 17, 50);
        (*s.out)->setGeometry(fon->x() + 1, fon->y() + 1, fon->width() - 2, fon->height() - 2);
    }
    // The speed changes when the thumb is let go, not while it is dragged.
    scrROT_->setTracking(false);
    connect(scrVOL_, &QScrollBar::valueChanged, this,
            [this](int v) { logic_.ScrVOL_Change(v, Origin::Operator); });
    connect(scrROT_, &QScrollBar::valueChanged, this,
            [this](int v) { logic_.ScrROT_Change(v, Origin::Operator); });
}

void EffectsPage::buildPitch() {
    QFrame* pic = makeGroup(frmEffect_, "Picture1", 0, 3000, 2415, 1095);
    knobs_[kKnobPitch] = new KnobGroup(kKnobPitch, Qt::Horizontal, pic, painter_);
    knobs_[kKnobPitch]->move(px(120), px(120));
    makeLabel(pic, "LblFRQ0", QStringLiteral("Pitch"), QRect(px(120) + 50, px(120) + 21, 60, 16));
    makeLabel(pic, "LblFRQ", QString(), QRect(px(120) + 110, px(120) + 21, 30, 16));
    // The two range bars, one under the other, one pixel inside their common border.
    auto* fon = new QFrame(pic);
    fon->setObjectName("FonFRQ");
    fon->setFrameShape(QFrame::Panel);
    fon->setFrameShadow(QFrame::Sunken);
    fon->setGeometry(px(120) - 1, px(720) - 1, px(2175) + 2, 2 * px(135) + 2);
    const KnobRange r = KnobRangeOf(kKnobPitch);
    scrFRQ1_ = makeBar(pic, "ScrFRQ1", Qt::Horizontal, r.min, r.max, 2, 17, r.min);
    scrFRQ2_ = makeBar(pic, "ScrFRQ2", Qt::Horizontal, r.min, r.max, 2, 17, r.max);
    scrFRQ1_->setGeometry(px(120), px(720), px(2175), px(135));
    scrFRQ2_->setGeometry(px(120), px(720) + px(135), px(2175), px(135));
    for (auto [bar, name] : {std::pair{scrFRQ1_, "FrmFrq1"}, std::pair{scrFRQ2_, "FrmFrq2"}}) {
        auto* frame = new QFrame(pic);
        frame->setObjectName(name);
        frame->setGeometry(bar->geometry());
        frame->lower();
    }
    for (QScrollBar* b : {scrFRQ1_, scrFRQ2_}) {
        connect(b, &QScrollBar::valueChanged, this, [this] {
            logic_.ScrFRQ_Change(scrFRQ1_->value(), scrFRQ2_->value(), Origin::Operator);
        });
    }
}

void EffectsPage::connectKnob(int Index) {
    KnobGroup* k = knobs_[Index];
    connect(k->bar(), &QScrollBar::valueChanged, this,
            [this, Index](int v) { logic_.ScrBar_Change(Index, v, Origin::Operator); });
    // An option button: a click presses it; only the zero button lets it go.
    connect(k->rotBut(), &QPushButton::clicked, this, [this, k, Index](bool checked) {
        if (!checked) {
            const QSignalBlocker quiet(k->rotBut());
            k->rotBut()->setChecked(true);
            return;
        }
        logic_.RotBut_Click(Index, Origin::Operator);
    });
    connect(k->zerBut(), &QPushButton::clicked, this,
            [this, Index] { logic_.ZerBut_Click(Index, Origin::Operator); });
}

namespace {
// A value the program set: shown without raising the widget's own signals.
void show(QAbstractSlider* bar, int v) {
    const QSignalBlocker quiet(bar);
    bar->setValue(v);
}
void show(QAbstractButton* button, bool on) {
    const QSignalBlocker quiet(button);
    button->setChecked(on);
}
}  // namespace

void EffectsPage::showSetting(const SoundSetting& s) {
    show(scrVOL_, s.volumePct);
    show(scrROT_, s.rotationSpeed);
    for (int i = 1; i <= kKnobCount; ++i) {
        show(knobs_[i]->bar(), s.knobs[i].value);
        show(knobs_[i]->rotBut(), s.knobs[i].rotating);
    }
    show(chkRot1_, s.jump);
    show(chkRot2_, s.beat);
    show(scrFRQ1_, s.pitchRangeLowPct);
    show(scrFRQ2_, s.pitchRangeHighPct);
}

void EffectsPage::follow(SoundControl& sound) {
    connect(&sound, &SoundControl::volumeChanged, this, [this](int v, Origin origin) {
        show(scrVOL_, v);
        changed(kVolume, origin);
    });
    connect(&sound, &SoundControl::rotationSpeedChanged, this,
            [this](int speed, int, Origin origin) {
                show(scrROT_, speed);
                changed(kRotation, origin);
            });
    connect(&sound, &SoundControl::knobChanged, this, [this](int knob, int v, Origin origin) {
        show(knobs_[knob]->bar(), v);
        changed(knob, origin);
    });
    connect(&sound, &SoundControl::knobRotationChanged, this,
            [this](int knob, bool rotating) { show(knobs_[knob]->rotBut(), rotating); });
    connect(&sound, &SoundControl::waveShapeChanged, this, [this](bool jump, bool beat) {
        show(chkRot1_, jump);
        show(chkRot2_, beat);
    });
    connect(&sound, &SoundControl::pitchRangeChanged, this,
            [this](int low, int high, Origin origin) {
                show(scrFRQ1_, low);
                show(scrFRQ2_, high);
                changed(kRange, origin);
            });
}

void EffectsPage::buildReadout() {
    // The free band across the page between the upper groups (down to 2775 twips) and the
    // pitch group (from 3000): the line takes no room from any control.
    lblValue_ = new QLabel(frmEffect_);
    lblValue_->setObjectName("LblValue");
    lblValue_->setGeometry(4, px(2775) + 1, frmEffect_->width() - 8, px(3000) - px(2775) - 1);
    QFont f = lblValue_->font();
    f.setPixelSize(11);
    f.setBold(true);
    lblValue_->setFont(f);
    lblValue_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblValue_->setText(QStringLiteral("Point at a control to read its value"));
    lblValue_->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (int i = 1; i <= kKnobCount; ++i) {
        watch(knobs_[i]->bar());
        watch(knobs_[i]->rotBut());
        watch(knobs_[i]->zerBut());
    }
    for (QWidget* w : {static_cast<QWidget*>(scrVOL_), static_cast<QWidget*>(scrROT_),
                       static_cast<QWidget*>(scrFRQ1_), static_cast<QWidget*>(scrFRQ2_)})
        watch(w);
    // The rotation speed changes when its thumb is let go; while it is dragged the line shows
    // the period the thumb's place will give.
    connect(scrROT_, &QScrollBar::sliderMoved, this, [this](int v) {
        rotationDrag_ = v;
        showReadout(kRotation);
    });
    connect(scrROT_, &QScrollBar::sliderReleased, this, [this] { rotationDrag_ = -1; });
    // Moves of the wave reach the line at most once per display frame (at the fastest rotation
    // the wave moves a knob every 2 ms).
    waveFrame_.setSingleShot(true);
    waveFrame_.setInterval(16);
    connect(&waveFrame_, &QTimer::timeout, this, [this] { showReadout(shown_); });
}

void EffectsPage::watch(QWidget* control) {
    control->installEventFilter(this);
}

int EffectsPage::readoutIdOf(const QWidget* control) const {
    if (!control) return kNone;
    if (control == scrVOL_) return kVolume;
    if (control == scrROT_) return kRotation;
    if (control == scrFRQ1_ || control == scrFRQ2_) return kRange;
    for (int i = 1; i <= kKnobCount; ++i) {
        const KnobGroup* k = knobs_[i];
        if (control == k->bar() || control == k->rotBut()) return i;
        if (control == k->zerBut()) return kZeroFirst + i;
    }
    return kNone;
}

QString EffectsPage::readoutOf(const QWidget* control) const {
    return readout(readoutIdOf(control));
}

QString EffectsPage::readout(int id) const {
    const SoundSetting& s = logic_.setting();
    if (id >= 1 && id <= kKnobCount) return ValueText::Knob(id, s.knobs[id].value).text;
    if (id > kZeroFirst && id <= kZeroFirst + kKnobCount)
        return ValueText::ZeroButton(id - kZeroFirst);
    switch (id) {
        case kVolume:
            return ValueText::Volume(s.volumePct).text;
        case kRotation: {
            const int speed = rotationDrag_ >= 0 ? rotationDrag_ : s.rotationSpeed;
            return ValueText::Rotation(speed).text +
                   QStringLiteral(", Balance %1 s")
                       .arg(QString::number(ValueText::BalancePeriodSec(speed), 'g', 2));
        }
        case kRange:
            return ValueText::PitchRange(s.pitchRangeLowPct, s.pitchRangeHighPct).text;
        default:
            return {};
    }
}

bool EffectsPage::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Enter && type != QEvent::Leave && type != QEvent::ToolTip)
        return QObject::eventFilter(watched, event);
    auto* w = qobject_cast<QWidget*>(watched);
    const int id = readoutIdOf(w);
    if (id == kNone) return QObject::eventFilter(watched, event);
    switch (type) {
        case QEvent::Enter:
            hovered_ = id;
            showReadout(id);
            break;
        case QEvent::Leave:
            if (hovered_ == id) hovered_ = kNone;
            break;
        case QEvent::ToolTip: {
            auto* help = static_cast<QHelpEvent*>(event);
            tipWidget_ = w;
            tipId_ = id;
            tipPos_ = help->globalPos();
            QToolTip::showText(tipPos_, readout(id), w);
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void EffectsPage::changed(int id, Origin origin) {
    // The control under the pointer keeps the line (its zero button counts as the knob).
    if (hovered_ != kNone && hovered_ != id && hovered_ != kZeroFirst + id) return;
    if (origin == Origin::Wave) {
        // Of several knobs the wave moves, the line stays with the one it shows.
        const bool shownSwings =
            shown_ >= 1 && shown_ <= kKnobCount && logic_.setting().knobs[shown_].rotating;
        if (id != shown_ && shownSwings) return;
        shown_ = id;
        if (!waveFrame_.isActive()) waveFrame_.start();
        return;
    }
    showReadout(id);
}

void EffectsPage::showReadout(int id) {
    if (id == kNone) return;
    shown_ = id;
    lblValue_->setText(readout(id));
    // The tool tip resting on the control follows its value.
    if (tipWidget_ && QToolTip::isVisible() && tipId_ == id)
        QToolTip::showText(tipPos_, readout(id), tipWidget_);
}

}  // namespace velorixa::controls

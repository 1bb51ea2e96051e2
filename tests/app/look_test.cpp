// The window's colours on a dark desktop and on a light one: every text of the window on its
// ground, and the scroll bars' thumbs against their troughs, measured on the pixels drawn.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <iostream>

#include "display/windowcolours.h"
#include "effects_fixture.h"

namespace velorixa {
namespace {

using display::ContrastRatio;
using display::Rgb;

Rgb rgbOf(const QColor& c) {
    return {c.red(), c.green(), c.blue()};
}

// The desktop's palettes the window is started under.
QPalette darkDesktop() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(200, 200, 200));
    p.setColor(QPalette::Base, QColor(42, 42, 42));
    p.setColor(QPalette::Text, QColor(200, 200, 200));
    p.setColor(QPalette::Button, QColor(60, 60, 60));
    p.setColor(QPalette::ButtonText, QColor(200, 200, 200));
    p.setColor(QPalette::Dark, QColor(35, 35, 35));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(90, 90, 90));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(90, 90, 90));
    return p;
}

class LookTest : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        saved_ = QApplication::palette();
        if (std::string(GetParam()) == "dark") QApplication::setPalette(darkDesktop());
        win_ = std::make_unique<testing::EffectsWindow>(VX_DEVICE_NOSOUND);
        ASSERT_TRUE(win_->ok);
        w_ = win_->w.get();
    }
    void TearDown() override {
        win_.reset();
        QApplication::setPalette(saved_);
    }
    std::unique_ptr<testing::EffectsWindow> win_;  // on the "Effects" page
    VelMix* w_ = nullptr;
    QPalette saved_;
};

TEST_P(LookTest, EveryTextOfTheWindowIsReadableOnItsGround) {
    struct Kind {
        const char* what;
        QPalette::ColorRole fg, bg;
    };
    int checked = 0;
    double worst = 21;
    auto check = [&](QWidget* w, const Kind& k) {
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Disabled}) {
            const QPalette& p = w->palette();
            const double r = ContrastRatio(rgbOf(p.color(g, k.fg)), rgbOf(p.color(g, k.bg)));
            worst = std::min(worst, r);
            ++checked;
            EXPECT_GE(r, 4.5) << k.what << " " << w->objectName().toStdString()
                              << (g == QPalette::Disabled ? " (disabled) " : " ")
                              << p.color(g, k.fg).name().toStdString() << " on "
                              << p.color(g, k.bg).name().toStdString();
        }
    };
    const Kind label{"label", QPalette::WindowText, QPalette::Window},
        button{"button", QPalette::ButtonText, QPalette::Button},
        field{"field", QPalette::Text, QPalette::Base},
        selected{"selected line", QPalette::HighlightedText, QPalette::Highlight};
    // The title cover draws its own colours on its own ground; the message line keeps its own
    // colours on every desktop, checked as any label's.
    const QStringList ownColours{"Label11", "Label12"};
    for (QLabel* l : w_->findChildren<QLabel*>())
        if (!ownColours.contains(l->objectName())) check(l, label);
    for (QAbstractButton* b : w_->findChildren<QAbstractButton*>())
        check(b, button);
    for (QLineEdit* e : w_->findChildren<QLineEdit*>())
        check(e, field);
    for (QAbstractItemView* v : w_->findChildren<QAbstractItemView*>()) {
        check(v, field);
        check(v, selected);
    }
    EXPECT_GT(checked, 400);
    std::cout << GetParam() << " desktop: " << checked << " text colours, worst contrast " << worst
              << ":1\n";
}

// The pixels of a bar's thumb and of its trough, drawn as the window draws them.
TEST_P(LookTest, ThumbsStandOutOfTheirTroughs) {
    int bars = 0;
    for (QScrollBar* bar : w_->findChildren<QScrollBar*>()) {
        if (!bar->isVisible() || bar->maximum() == bar->minimum()) continue;
        const QRect thumb = test::scrollBarPart(bar, QStyle::SC_ScrollBarSlider);
        const QRect groove = test::scrollBarPart(bar, QStyle::SC_ScrollBarGroove);
        ASSERT_TRUE(thumb.isValid()) << bar->objectName().toStdString();
        const QImage img = bar->grab().toImage();
        // The trough beside the thumb: the longer free end of the groove.
        const bool horizontal = bar->orientation() == Qt::Horizontal;
        QPoint troughAt;
        if (horizontal) {
            const bool left = thumb.left() - groove.left() > groove.right() - thumb.right();
            troughAt = QPoint(
                left ? (groove.left() + thumb.left()) / 2 : (thumb.right() + groove.right()) / 2,
                groove.center().y());
        } else {
            const bool top = thumb.top() - groove.top() > groove.bottom() - thumb.bottom();
            troughAt = QPoint(groove.center().x(), top ? (groove.top() + thumb.top()) / 2
                                                       : (thumb.bottom() + groove.bottom()) / 2);
        }
        // Beside the thumb's middle, off its grip lines.
        const QPoint thumbAt = thumb.center() + (horizontal ? QPoint(5, 0) : QPoint(0, 5));
        const QColor t = img.pixelColor(thumbAt * img.devicePixelRatio());
        const QColor g = img.pixelColor(troughAt * img.devicePixelRatio());
        const double r = ContrastRatio(rgbOf(t), rgbOf(g));
        EXPECT_GE(r, 3.0) << bar->objectName().toStdString() << " thumb " << t.name().toStdString()
                          << " trough " << g.name().toStdString();
        ++bars;
    }
    EXPECT_GE(bars, 12) << "the knobs, volume, rotation, range bars";
}

// The caption of an empty performance key (a disabled button) as drawn: its darkest pixel
// against the key's face.
TEST_P(LookTest, EmptyKeysCaptionsAreDrawnReadable) {
    for (const char* name : {"ButKbd_1", "ButKbd_26"}) {
        auto* key = w_->findChild<QAbstractButton*>(name);
        ASSERT_NE(key, nullptr) << name;
        ASSERT_FALSE(key->isEnabled()) << name << ": no setting stored";
        const QImage img = key->grab().toImage();
        QColor darkest = Qt::white;
        for (int y = 3; y < img.height() - 3; ++y)
            for (int x = 3; x < img.width() - 3; ++x)
                if (img.pixelColor(x, y).lightness() < darkest.lightness())
                    darkest = img.pixelColor(x, y);
        const QColor face = key->palette().color(QPalette::Disabled, QPalette::Button);
        const double r = ContrastRatio(rgbOf(darkest), rgbOf(face));
        std::cout << GetParam() << " " << name << ": " << darkest.name().toStdString() << " on "
                  << face.name().toStdString() << " " << r << ":1\n";
        EXPECT_GE(r, 4.5) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Desktop, LookTest, ::testing::Values("light", "dark"));

}  // namespace
}  // namespace velorixa

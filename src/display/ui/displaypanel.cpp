#include "display/ui/displaypanel.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRegion>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "audio/player.h"
#include "display/monitor.h"

namespace velorixa::display {

namespace {

QColor fromColourValue(uint32_t c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

void setBackground(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// The monitor button's picture: three bars in the colours of the light scheme.
QPixmap monitorIcon() {
    QPixmap pm(14, 14);
    pm.fill(DisplayPanel::kHiColor);
    QPainter p(&pm);
    const QColor bars[3] = {QColor(105, 14, 176), QColor(255, 63, 127), QColor(255, 216, 76)};
    const int heights[3] = {6, 11, 8};
    for (int i = 0; i < 3; ++i)
        p.fillRect(1 + 4 * i, 14 - heights[i], 3, heights[i], bars[i]);
    return pm;
}

// Places inside the display frame of the "PlayBack" page (pixels): the two pictures side by
// side, the level boxes and the monitor button in the column at the right, under the help
// button that overlaps the frame's top right corner.
constexpr int kPicTop = 4;
constexpr int kPic1Left = 4;
constexpr int kPic2Left = 138;
constexpr int kLevelTop = 14;
constexpr int kLevel8Left = 400;
constexpr int kLevel9Left = 412;
constexpr int kLevelBarWidth = 8;
// `PicCrc` on the "Effects" page: 2760, 3120 twips inside the effects frame (240, 2040), 855
// twips square.
constexpr int kPicCrcLeft = (240 + 2760) / 15;
constexpr int kPicCrcTop = (2040 + 3120) / 15;
constexpr int kPicCrcSize = 855 / 15;
constexpr int kGridStepPx = 120 / 15;

}  // namespace

FftPicture::FftPicture(int width, QWidget* parent)
    : QFrame(parent), image_(width, SFFT::kTopRow, QImage::Format_Indexed8) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFixedSize(width + 2, SFFT::kTopRow + 2);
    setAttribute(Qt::WA_OpaquePaintEvent);
    image_.setColorCount(256);
    image_.fill(0);
    for (int i = 0; i < 256; ++i)
        image_.setColor(i, qRgb(0, 0, 0));
}

bool FftPicture::takePalette(const Palette& palette) {
    if (palette == palette_) return false;
    palette_ = palette;
    for (int i = 0; i < 256; ++i)
        image_.setColor(i, qRgb(palette[i].red, palette[i].green, palette[i].blue));
    return true;
}

void FftPicture::present(const QRect& dirty) {
    if (heldAll_ || (heldScroll_ > 0 && !heldDirty_.isEmpty()) || !isVisible()) {
        update(contentsRect());
    } else {
        if (heldScroll_ > 0) scroll(-heldScroll_, 0, contentsRect());
        if (!dirty.isEmpty()) update(dirty);
    }
    heldDirty_ = QRect();
    heldScroll_ = 0;
    heldAll_ = false;
}

void FftPicture::load(const std::vector<uint8_t>& bits, const Palette& palette, bool show) {
    const int w = image_.width();
    const int h = image_.height();
    if (takePalette(palette)) heldAll_ = true;
    const bool allocated = bits.size() >= static_cast<size_t>(w) * h;
    // Per block of 16 columns, the lowest and highest image row that changed.
    constexpr int kBlock = 16;
    const int blocks = (w + kBlock - 1) / kBlock;
    std::array<int, 32> lo, hi;
    lo.fill(h);
    hi.fill(-1);
    for (int y = 0; y < h; ++y) {
        // Bitmap rows run bottom-up, the image's top-down.
        uchar* line = image_.scanLine(h - 1 - y);
        const uint8_t* src = allocated ? bits.data() + static_cast<size_t>(y) * w : nullptr;
        for (int b = 0; b < blocks; ++b) {
            const int from = b * kBlock;
            const int n = std::min(kBlock, w - from);
            const bool same =
                src ? std::memcmp(line + from, src + from, n) == 0
                    : std::all_of(line + from, line + from + n, [](uchar c) { return c == 0; });
            if (same) continue;
            if (src) {
                std::memcpy(line + from, src + from, static_cast<size_t>(n));
            } else {
                std::memset(line + from, 0, static_cast<size_t>(n));
            }
            lo[b] = std::min(lo[b], h - 1 - y);
            hi[b] = std::max(hi[b], h - 1 - y);
        }
    }
    // One rectangle around every block that changed: a region of up to eight bars costs Qt
    // more to build, repaint and send than the few unchanged pixels inside the rectangle.
    const QPoint origin = contentsRect().topLeft();
    for (int b = 0; b < blocks; ++b) {
        if (hi[b] >= 0)
            heldDirty_ =
                heldDirty_.united(QRect(origin.x() + b * kBlock, origin.y() + lo[b],
                                        std::min(kBlock, w - b * kBlock), hi[b] - lo[b] + 1));
    }
    if (show) present(heldDirty_);
}

void FftPicture::loadScrolled(const std::vector<uint8_t>& bits, const Palette& palette, bool show) {
    const int w = image_.width();
    const int h = image_.height();
    if (bits.size() < static_cast<size_t>(w) * h) {
        load(bits, palette, show);
        return;
    }
    if (takePalette(palette)) heldAll_ = true;
    // Each image row moves one pixel to the left; the bitmap's new last column comes in.
    for (int y = 0; y < h; ++y) {
        uchar* line = image_.scanLine(h - 1 - y);
        std::memmove(line, line + 1, static_cast<size_t>(w - 1));
        line[w - 1] = bits[static_cast<size_t>(y) * w + static_cast<size_t>(w - 1)];
    }
    ++heldScroll_;
    if (show) present(QRect());
}

void FftPicture::paintEvent(QPaintEvent* event) {
    const QRect area = contentsRect();
    // The sunken border is drawn by the style, which costs more than a bar: only when asked.
    if (!area.contains(event->region().boundingRect())) QFrame::paintEvent(event);
    QPainter p(this);
    // Only the parts asked for: after a scroll the new columns, after a tick the bars that moved.
    // Each goes as a copy of its part of the palette picture in bands of at most kBandRows
    // rows: Qt hands the drawing of 96 rows or more to two pool threads, whose wake-ups would
    // cost more than drawing a column or a bar.
    constexpr int kBandRows = 64;
    for (const QRect& asked : event->region()) {
        const QRect r = asked & area;
        for (int top = r.top(); top <= r.bottom(); top += kBandRows) {
            const QRect band(r.left(), top, r.width(), std::min(kBandRows, r.bottom() + 1 - top));
            p.drawImage(band.topLeft(), image_.copy(band.translated(-area.topLeft())));
        }
    }
    ++paints_;
}

void CircleShape::setColours(uint32_t fill, uint32_t border) {
    if (fill == fill_ && border == border_) return;
    fill_ = fill;
    border_ = border;
    update();
}

void CircleShape::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (width() <= 1) {
        // One pixel: the border colour, as a one-pixel shape draws only its outline.
        p.fillRect(0, 0, 1, 1, fromColourValue(border_));
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(fromColourValue(border_));
    p.setBrush(fromColourValue(fill_));
    p.drawEllipse(0, 0, width() - 1, height() - 1);
}

void ClickPicture::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickPicture::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

DisplayPanel::DisplayPanel(PLAYER& player, QTimer& timerTik, QWidget& frame1, QWidget& effectsPage,
                           QWidget& frameHelp, double twipX, QObject* parent)
    : QObject(parent), player_(player), timerTik_(timerTik), frameHelp_(frameHelp), twipX_(twipX) {
    PicFFT1 = new FftPicture(SFFT::kWidth1, &frame1);
    PicFFT1->setObjectName("PicFFT1");
    PicFFT1->move(kPic1Left, kPicTop);
    PicFFT2 = new FftPicture(SFFT::kWidth2, &frame1);
    PicFFT2->setObjectName("PicFFT2");
    PicFFT2->move(kPic2Left, kPicTop);

    auto makeLevel = [&](const char* boxName, const char* barName, int left, QWidget*& bar) {
        auto* box = new QFrame(&frame1);
        box->setObjectName(boxName);
        box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        box->setLineWidth(1);
        box->setGeometry(left, kLevelTop, kLevelBarWidth + 2, kLevelRangePx + 2);
        setBackground(box, QColor(16, 16, 24));
        bar = new QWidget(box);
        bar->setObjectName(barName);
        setBackground(bar, QColor(96, 200, 96));
        bar->setGeometry(1, 1 + kLevelRangePx, kLevelBarWidth, kLevelRangePx);
        return box;
    };
    Picture8 = makeLevel("Picture8", "LevelL", kLevel8Left, LevelL);
    Picture9 = makeLevel("Picture9", "LevelR", kLevel9Left, LevelR);

    CmdMonitor = new QPushButton(&frame1);
    CmdMonitor->setObjectName("CmdMonitor");
    CmdMonitor->setFocusPolicy(Qt::NoFocus);
    CmdMonitor->setIcon(monitorIcon());
    CmdMonitor->setGeometry(kLevel8Left - 1, kLevelTop + kLevelRangePx + 14, 24, 24);
    connect(CmdMonitor, &QPushButton::clicked, this, [this] { CmdMonitor_Click(); });

    PicCrc = new ClickPicture(&effectsPage);
    PicCrc->setObjectName("PicCrc");
    PicCrc->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PicCrc->setLineWidth(2);
    PicCrc->setGeometry(kPicCrcLeft, kPicCrcTop, kPicCrcSize, kPicCrcSize);
    Frame7 = new QFrame(PicCrc);
    Frame7->setObjectName("Frame7");
    Frame7->setGeometry(2, 2, kPicCrcSize - 4, kPicCrcSize - 4);
    buttonFace_ = Frame7->palette().color(QPalette::Button);
    setBackground(Frame7, buttonFace_);
    Shape1 = new CircleShape(Frame7);
    Shape1->setObjectName("Shape1");
    // Clicks anywhere on the picture are the picture's.
    Frame7->setAttribute(Qt::WA_TransparentForMouseEvents);
    Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(PicCrc, &ClickPicture::clicked, this, [this] { PicCrc_Click(); });

    // The grid: six horizontal and six vertical one-pixel lines, 8 pixels apart, centred on the
    // circle; hidden and white at load.
    const int cx = kPicCrcLeft + kPicCrcSize / 2;
    const int cy = kPicCrcTop + kPicCrcSize / 2;
    const int span = 5 * kGridStepPx + 1;
    for (int i = 1; i <= 12; ++i) {
        auto* line = new QFrame(&effectsPage);
        line->setObjectName(QStringLiteral("FrmSet%1").arg(i));
        const int offset = ((i - 1) % 6) * kGridStepPx - span / 2;
        if (i <= 6) {
            line->setGeometry(cx - span / 2, cy + offset, span, 1);
        } else {
            line->setGeometry(cx + offset, cy - span / 2, 1, span);
        }
        setBackground(line, Qt::white);
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->hide();
        FrmSet[static_cast<size_t>(i)] = line;
    }
    setCircle(0);
    connect(&timerTik_, &QTimer::timeout, this, [this] { TimerTik_Timer(); });
}

void DisplayPanel::InitFft() {
    sfft_.InitFft();
    showPictures();
}

void DisplayPanel::showPictures() {
    PicFFT1->load(sfft_.BarBits(), sfft_.BarPalette());
    PicFFT2->load(sfft_.FlowBits(), sfft_.FlowPalette());
}

void DisplayPanel::ClearFFT() {
    sfft_.AllocFft();
    showPictures();
}

void DisplayPanel::PaintFft() {
    if (!sfft_.CanPaint()) return;
    showPictures();
}

void DisplayPanel::setLevel(QWidget* bar, int topPx) {
    if (bar->y() != 1 + topPx) bar->move(1, 1 + topPx);
}

void DisplayPanel::ClrLevels() {
    setLevel(LevelL, kLevelRangePx);
    setLevel(LevelR, kLevelRangePx);
}

void DisplayPanel::setCircle(int loud) {
    Circle c = CircleFor(loud, twipX_, PicCrc->width());
    Shape1->setColours(Colour_, Dark_);
    QRect r(c.offsetPx, c.offsetPx, c.diameterPx, c.diameterPx);
    if (Shape1->geometry() != r) Shape1->setGeometry(r);
}

void DisplayPanel::TimerTik_Timer() {
    if (!shown_) {
        timerTik_.stop();
        return;
    }
    TikStep step = TimerTikStep(timerTik_.interval());
    if (!step.run) {
        timerTik_.setInterval(step.intervalMs);
        return;
    }
    int loud = 0;
    if (player_.GetFilePlayPerf()) {
        FftTick t = sfft_.DrawFft(player_.ChanPIT);
        ++draws_;
        loud = t.Loud;
        // Analysed every tick, shown every second one (with the loudness): 50 pictures a second
        // move as smoothly and cost half the painting. The level of a tick covers the last 20 ms.
        const bool show = loud != -1;
        if (!PicFFT1->isVisible()) {
            picturesBehind_ = true;  // another page is in front: copied when it comes back
        } else if (picturesBehind_) {
            PicFFT1->load(sfft_.BarBits(), sfft_.BarPalette(), show);
            PicFFT2->load(sfft_.FlowBits(), sfft_.FlowPalette(), show);
            picturesBehind_ = false;
        } else {
            PicFFT1->load(sfft_.BarBits(), sfft_.BarPalette(), show);
            PicFFT2->loadScrolled(sfft_.FlowBits(), sfft_.FlowPalette(), show);
        }
        if (show) {
            Colour_ = t.Colour;
            Dark_ = t.Dark;
            setLevel(LevelL, LevelTopLeftPx(t.LevL));
            setLevel(LevelR, LevelTopRightPx(t.LevR));
        }
    } else if (Shape1->width() <= 1) {
        // Nothing plays and the circle is down to its pixel: nothing will change until sound
        // comes again (Wake()), so the timer stops rather than wake the program 100 times a
        // second.
        timerTik_.stop();
        return;
    }
    if (loud != -1) setCircle(loud);
}

void DisplayPanel::Wake() {
    if (shown_ && !timerTik_.isActive()) timerTik_.start();
}

void DisplayPanel::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    if (shown) {
        Wake();
    } else {
        timerTik_.stop();
    }
}

float DisplayPanel::BeatLevelNow() {
    if (!timerTik_.isActive() && player_.GetFilePlayPerf()) {
        sfft_.DrawFft(player_.ChanPIT);
        ++draws_;
        picturesBehind_ = true;  // the buffers moved on without the pictures
    }
    return sfft_.BeatLevel();
}

void DisplayPanel::CmdMonitor_Click() {
    if (frameHelp_.isVisible()) frameHelp_.hide();
    sfft_.SwitchScheme();
    PaintFft();
    const bool face = Frame7->palette().color(QPalette::Window) == buttonFace_;
    setBackground(Frame7, face ? kHiColor : buttonFace_);
}

void DisplayPanel::PicCrc_Click() {
    const bool show = Frame7->isHidden();
    Frame7->setVisible(show);
    for (int i = 1; i <= 12; ++i) {
        FrmSet[static_cast<size_t>(i)]->setVisible(show);
        if (show) FrmSet[static_cast<size_t>(i)]->raise();
    }
}

}  // namespace velorixa::display

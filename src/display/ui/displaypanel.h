#pragma once
// The display's controls: the spectrum pictures `PicFFT1` and `PicFFT2`, the level bars
// `LevelL`/`LevelR` in `Picture8`/`Picture9` and `CmdMonitor` on the "PlayBack" page; the
// loudness circle `Shape1` in `Frame7` in `PicCrc` and the grid lines `FrmSet(1..12)` on the
// "Effects" page. The display timer `TimerTik` runs the analyser (display/sfft.h) and moves
// them; each control repaints only when what it shows changed. The timer runs only while a page
// that shows part of the display is in front: on the other pages nothing of it can be seen, and
// a player that wakes 100 times a second for nothing costs a laptop's battery.
//
// Thread contract: GUI thread only. Nothing here is reached from the audio thread.

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QObject>
#include <QRegion>
#include <array>
#include <cstdint>

#include "display/sfft.h"

class QPushButton;
class QTimer;

namespace velorixa {

class PLAYER;

namespace display {

// An 8-bit palette picture painted at its natural size inside a one-pixel sunken border.
class FftPicture : public QFrame {
  public:
    FftPicture(int width, QWidget* parent);
    // Takes the bitmap (bottom-up rows, or a placeholder that shows the background) and its
    // palette; repaints only the rectangle around the columns and rows that changed, found in
    // blocks of 16 columns (one bar and its gap). With show false the picture takes the bitmap but
    // the repaint waits for the next load that shows.
    void load(const std::vector<uint8_t>& bits, const Palette& palette, bool show = true);
    // The same for a bitmap that has scrolled one pixel to the left since the last load: what is
    // on the screen moves along and only the new columns at the right are painted.
    void loadScrolled(const std::vector<uint8_t>& bits, const Palette& palette, bool show = true);
    const QImage& image() const { return image_; }
    int paints() const { return paints_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool takePalette(const Palette& palette);
    void present(const QRect& dirty);

    QImage image_;
    Palette palette_{};
    int paints_ = 0;
    // Taken but not yet shown: a rectangle to repaint, columns to scroll, or everything.
    QRect heldDirty_;
    int heldScroll_ = 0;
    bool heldAll_ = false;
};

// The circle shape: fill and border colours, drawn across the whole widget.
class CircleShape : public QWidget {
  public:
    using QWidget::QWidget;
    void setColours(uint32_t fill, uint32_t border);
    uint32_t FillColor() const { return fill_; }
    uint32_t BorderColor() const { return border_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    uint32_t fill_ = 0, border_ = 0;
};

// A picture that reports a click (press and release on it).
class ClickPicture : public QFrame {
    Q_OBJECT
  public:
    using QFrame::QFrame;
  signals:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool pressed_ = false;
};

class DisplayPanel : public QObject {
    Q_OBJECT
  public:
    static inline const QColor kHiColor{159, 199, 255};

    // frame1: the display frame of the "PlayBack" page; effectsPage: the "Effects" page's
    // canvas (window coordinates); frameHelp: the keyboard help laid over the display.
    DisplayPanel(PLAYER& player, QTimer& timerTik, QWidget& frame1, QWidget& effectsPage,
                 QWidget& frameHelp, double twipX, QObject* parent = nullptr);

    SFFT& sfft() { return sfft_; }
    const BeatSource& beat() const { return sfft_; }

    // Start of the display, once the window has started: the scheme 1 colours come from the
    // title picture's colour (a colour value).
    void SampleFftBase(uint32_t colour) { sfft_.SampleFftBase(colour); }
    void InitFft();
    // `ClearFFT`: both pictures cleared and repainted; painting waits for the next stream.
    void ClearFFT();
    // The new stream runs: the pictures may be painted.
    void StreamRunning() {
        sfft_.SetFftReady(true);
        Wake();
    }
    // Sound plays (again): the display timer runs if it had stopped for lack of anything to draw
    // (and a page that shows the display is in front).
    void Wake();
    // Whether the page in front shows part of the display ("PlayBack": pictures and meters,
    // "Effects": the circle). Off, the timer stops; on, it runs again and the pictures catch up.
    void setShown(bool shown);
    bool shown() const { return shown_; }
    // The latest band sum for the style sequencer. While the timer rests (another page is in
    // front) the reader's own tick analyses the playing sound, so the value is never stale.
    float BeatLevelNow();
    void PaintFft();
    void ClrLevels();

    void TimerTik_Timer();
    void CmdMonitor_Click();
    void PicCrc_Click();

    FftPicture* PicFFT1;
    FftPicture* PicFFT2;
    QFrame* Picture8;
    QFrame* Picture9;
    QWidget* LevelL;
    QWidget* LevelR;
    QPushButton* CmdMonitor;
    ClickPicture* PicCrc;
    QFrame* Frame7;
    CircleShape* Shape1;
    std::array<QFrame*, 13> FrmSet{};  // 1..12

    // Ticks that ran the analyser (for tests and measurements).
    int draws() const { return draws_; }

  private:
    // The pictures were hidden while the analyser ran: the next visible tick copies them whole.
    bool picturesBehind_ = false;
    bool shown_ = false;  // the page in front shows part of the display (page 0 at load)
    void setLevel(QWidget* bar, int topPx);
    void setCircle(int loud);
    void showPictures();

    PLAYER& player_;
    QTimer& timerTik_;
    QWidget& frameHelp_;
    double twipX_;
    SFFT sfft_;
    uint32_t Colour_ = 0;
    uint32_t Dark_ = 0;
    QColor buttonFace_;
    int draws_ = 0;
};

}  // namespace display
}  // namespace velorixa

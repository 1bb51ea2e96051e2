#include "app/ui/keyboardcontrol.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "app/windowstate.h"
#include "audio/audiolib.h"
#include "perform/keyhelp.h"
#include "playback/ui/playcontrol.h"
#include "playback/ui/transportpanel.h"
#include "util/ui/textfocus.h"

namespace velorixa {

namespace {

// A key of the help picture. Its caption is drawn by the key itself, in the font and on the
// lines chosen to fit it, without the margins of a push button's style, which would leave
// nothing of "Num" but a sliver.
class HelpKey : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(), isDown() ? pal.color(QPalette::Mid) : pal.color(QPalette::Button));
        p.setPen(pal.color(QPalette::Shadow));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
        p.setPen(pal.color(QPalette::ButtonText));
        p.setFont(font());
        p.drawText(rect().adjusted(1, 1, -1, -1), Qt::AlignCenter, text());
    }
};

// The caption on two lines at a blank, or where a capital follows a small letter ("PgUp");
// with mid set, in the middle of a word when there is no such place. Empty when there is none.
QString twoLines(const QString& caption, bool mid) {
    qsizetype at = caption.indexOf(u' ');
    for (qsizetype i = 1; at <= 0 && i < caption.size(); ++i)
        if (caption[i - 1].isLower() && caption[i].isUpper()) at = i;
    if (at <= 0 && mid && caption.size() > 1) at = (caption.size() + 1) / 2;
    if (at <= 0) return {};
    return caption.left(at) + u'\n' + caption.mid(caption[at] == u' ' ? at + 1 : at);
}

// Fits caption into a key (less its one-pixel border), in this order of preference: one line
// in the largest font from 9 down to 7 pixels, two lines split where the caption parts, one line
// at 6 pixels, two lines at 6, and last a word split in the middle. The caption set on the key
// holds the line break.
void fitCaption(QPushButton& key, const QString& caption) {
    const int w = key.width() - 2, h = key.height() - 2;
    QFont font = key.font();
    auto fits = [&](const QString& text, int pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics fm(font);
        const QStringList lines = text.split(u'\n');
        for (const QString& line : lines)
            if (fm.horizontalAdvance(line) > w) return false;
        return fm.height() + (lines.size() - 1) * fm.lineSpacing() <= h;
    };
    const QString parted = twoLines(caption, false), halved = twoLines(caption, true);
    const struct {
        const QString& text;
        int largest, smallest;
    } tries[] = {{caption, 9, 7}, {parted, 9, 7}, {caption, 6, 6}, {parted, 6, 6}, {halved, 9, 6}};
    for (const auto& t : tries) {
        for (int pixels = t.largest; !t.text.isEmpty() && pixels >= t.smallest; --pixels) {
            if (fits(t.text, pixels)) {
                key.setFont(font);
                key.setText(t.text);
                return;
            }
        }
    }
    key.setFont(font);  // 6 pixels, whatever is cut
    key.setText(halved.isEmpty() ? caption : halved);
}

}  // namespace

KeyboardControl::KeyboardControl(PlayControl& play, TransportPanel& transport, WindowState& state,
                                 const util::TextFocus& textFocus, QTabWidget& menuTabs,
                                 QTimer& timerFoc, QTimer& timerNet, QFrame& frameHelp,
                                 QObject* parent)
    : QObject(parent),
      play_(play),
      transport_(transport),
      state_(state),
      textFocus_(textFocus),
      menuTabs_(menuTabs),
      timerNet_(timerNet) {
    cpuLoad = [] { return static_cast<double>(BASS_GetCPU()); };
    leftButtonDown = [] { return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton); };
    connect(&timerFoc, &QTimer::timeout, this, [this] { TimerFoc_Timer(); });
    buildHelpKeyboard(frameHelp);
}

void KeyboardControl::TimerFoc_Timer() {
    play_.RestartIfStalled();
    transport_.showCpu(perform::CpuLabel(cpuLoad()));
    if (fftRedraw_) {
        emit fftRedraw();
        fftRedraw_ = false;
    }
    if (textFocus_.active()) return;
    // Waiting for the button to come up lets a mouse action on another control finish first.
    if (!leftButtonDown() && !state_.FocTabs && menuTabs_.isVisible()) menuTabs_.setFocus();
    // The transport holds the tick itself while the position bar is dragged or a step waits.
    play_.PlayPosTick();
}

void KeyboardControl::ButKbdHlp_Click(int index) {
    perform::KeyHelp help = perform::HelpForKey(index);
    TextHlp->setText(help.function);
    CommHlp->setText(help.detail);
}

void KeyboardControl::buildHelpKeyboard(QFrame& frameHelp) {
    // A compact 104-key picture: main block, navigation block and numeric block in six rows.
    FrmKbdHlp = new QFrame(&frameHelp);
    FrmKbdHlp->setObjectName("FrmKbdHlp");
    FrmKbdHlp->setGeometry(2, 2, frameHelp.width() - 4, 118);
    TextHlp = new QLabel(&frameHelp);
    TextHlp->setObjectName("TextHlp");
    TextHlp->setGeometry(6, 122, 150, 18);
    CommHlp = new QLabel(&frameHelp);
    CommHlp->setObjectName("CommHlp");
    CommHlp->setGeometry(160, 122, 150, 18);
    QFont bold = TextHlp->font();
    bold.setBold(true);
    TextHlp->setFont(bold);

    // The main block is 15 units of 13.6 pixels wide in every row; Print, Scroll and Break sit
    // over the navigation block, as on a real keyboard. What the main block leaves goes to the
    // navigation and numeric keys, so that "Home", "PgUp", "Num" and the numeric "Enter" fit
    // on one line.
    const double u = 13.6;
    struct Row {
        int y;
        std::vector<std::pair<int, double>> keys;  // index, width in units
    };
    auto run = [](int first, int last, double width) {
        std::vector<std::pair<int, double>> v;
        for (int i = first; i <= last; ++i)
            v.push_back({i, width});
        return v;
    };
    auto cat = [](std::vector<std::pair<int, double>> a,
                  const std::vector<std::pair<int, double>>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Row rows[] = {
        {0, cat(cat({{0, 1.2}}, run(1, 9, 1.05)), run(10, 12, 1.45))},
        {20, cat(run(16, 28, 1), {{29, 2}})},
        {39, cat(cat({{30, 1.5}}, run(31, 42, 1)), {{43, 1.5}})},
        {58, cat(cat({{44, 1.8}}, run(45, 55, 1)), {{56, 2.2}})},
        {77, cat(cat({{57, 2.3}}, run(58, 67, 1)), {{68, 2.7}})},
        {96,
         {{69, 1.5}, {70, 1.3}, {71, 1.2}, {72, 5}, {73, 1.2}, {74, 1.3}, {75, 1.7}, {76, 1.8}}},
    };
    auto makeKey = [&](int index, int x, int y, int w, int h) {
        auto* b = new HelpKey(FrmKbdHlp);
        b->setObjectName(QStringLiteral("ButKbdHlp%1").arg(index));
        b->setGeometry(x, y, w, h);
        b->setFocusPolicy(Qt::NoFocus);
        fitCaption(*b, perform::KeyCaption(index));
        connect(b, &QPushButton::clicked, this, [this, index] { ButKbdHlp_Click(index); });
    };
    for (const Row& row : rows) {
        double x = 0;
        for (auto [index, width] : row.keys) {
            const int left = static_cast<int>(x * u + 0.5);
            const int right = static_cast<int>((x + width) * u + 0.5);
            makeKey(index, left, row.y, right - left - 1, 18);
            x += width;
        }
    }
    // Navigation block: Print, Scroll, Break; Insert..PgDn; the arrows.
    const int nx = static_cast<int>(15 * u) + 5, n = 27;
    for (int i = 0; i < 3; ++i) {
        makeKey(13 + i, nx + i * n, 0, n - 1, 18);
        makeKey(77 + i, nx + i * n, 20, n - 1, 18);
        makeKey(80 + i, nx + i * n, 39, n - 1, 18);
    }
    makeKey(83, nx + n, 77, n - 1, 18);      // Up
    makeKey(84, nx, 96, n - 1, 18);          // Left
    makeKey(85, nx + n, 96, n - 1, 18);      // Down
    makeKey(86, nx + 2 * n, 96, n - 1, 18);  // Right
    // Numeric block.
    const int kx = nx + 3 * n + 5, m = 23;  // 386 pixels in all
    for (int i = 0; i < 4; ++i)
        makeKey(87 + i, kx + i * m, 20, m - 1, 18);
    const int pad[3][3] = {{91, 92, 93}, {94, 95, 96}, {97, 98, 99}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c)
            makeKey(pad[r][c], kx + c * m, 39 + r * 19, m - 1, 18);
    }
    makeKey(100, kx, 96, 2 * m - 1, 18);
    makeKey(101, kx + 2 * m, 96, m - 1, 18);
    makeKey(102, kx + 3 * m, 39, m - 1, 37);
    makeKey(103, kx + 3 * m, 77, m - 1, 37);
}

}  // namespace velorixa

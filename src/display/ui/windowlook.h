#pragma once
// The window's look on any desktop: its own palette (display::WindowScheme) instead of the
// desktop's, and scroll bars whose thumbs stand out of their troughs. The bars keep the
// geometry of the desktop's style (arrows, sizes), so the fixed layout stays as it is; only the
// trough and the thumb are painted over in the scheme's colours. A check box with the property
// "labelSpacing" (pixels) gets that room between its box and its caption.
//
// Thread contract: GUI thread only.

#include <QPalette>
#include <QProxyStyle>

#include "display/windowcolours.h"

class QWidget;

namespace velorixa::display {

QColor ToQColor(Rgb c);
// The scheme as a palette: every role of every colour group set.
QPalette WindowPalette(const WindowColours& c = WindowScheme());

class WindowStyle : public QProxyStyle {
  public:
    explicit WindowStyle(const WindowColours& c = WindowScheme()) : colours_(c) {}
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;

  private:
    WindowColours colours_;
};

// The palette on window; the windows it opens (its questions and messages) take it too.
void ApplyWindowPalette(QWidget& window);
// Every scroll bar below root, those of lists and text fields included, draws its thumb in the
// scheme's colours, and the check boxes that ask for it get their spacing. One style object
// serves all of them for the life of the application.
void ApplyWindowStyle(QWidget& root);

}  // namespace velorixa::display

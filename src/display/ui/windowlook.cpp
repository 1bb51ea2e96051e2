#include "display/ui/windowlook.h"

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace velorixa::display {

QColor ToQColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QPalette WindowPalette(const WindowColours& c) {
    QPalette p;
    const struct {
        QPalette::ColorRole role;
        Rgb colour;
    } roles[] = {
        {QPalette::Window, c.window},
        {QPalette::WindowText, c.windowText},
        {QPalette::Base, c.base},
        {QPalette::AlternateBase, c.alternateBase},
        {QPalette::Text, c.text},
        {QPalette::Button, c.button},
        {QPalette::ButtonText, c.buttonText},
        {QPalette::BrightText, c.base},
        {QPalette::Highlight, c.highlight},
        {QPalette::HighlightedText, c.highlightedText},
        {QPalette::ToolTipBase, c.toolTipBase},
        {QPalette::ToolTipText, c.toolTipText},
        {QPalette::PlaceholderText, c.placeholderText},
        {QPalette::Link, c.link},
        {QPalette::LinkVisited, c.link},
        {QPalette::Light, c.light},
        {QPalette::Midlight, c.midlight},
        {QPalette::Mid, c.mid},
        {QPalette::Dark, c.dark},
        {QPalette::Shadow, c.shadow},
    };
    for (const auto& r : roles)
        p.setColor(r.role, ToQColor(r.colour));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, ToQColor(c.disabledText));
    return p;
}

void WindowStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                     QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar) return;
    const QRect groove = subControlRect(control, bar, SC_ScrollBarGroove, widget);
    const QRect thumb = subControlRect(control, bar, SC_ScrollBarSlider, widget);
    if (!groove.isValid()) return;
    painter->save();
    painter->fillRect(groove, ToQColor(colours_.trough));
    if (bar->maximum > bar->minimum && thumb.isValid()) {
        const bool pressed =
            (bar->activeSubControls & SC_ScrollBarSlider) && (bar->state & State_Sunken);
        const QRect r = thumb.adjusted(0, 0, -1, -1);
        painter->setPen(ToQColor(colours_.thumbEdge));
        painter->setBrush(ToQColor(pressed ? colours_.thumbPressed : colours_.thumb));
        painter->drawRect(r);
        // Three grip lines across the middle of a thumb long enough for them.
        painter->setPen(ToQColor(colours_.midlight));
        const QPoint c = r.center();
        const bool horizontal = bar->orientation == Qt::Horizontal;
        const int length = horizontal ? r.width() : r.height();
        const int across = (horizontal ? r.height() : r.width()) / 2 - 2;
        if (length >= 12 && across >= 2) {
            for (int d : {-3, 0, 3}) {
                if (horizontal)
                    painter->drawLine(c.x() + d, c.y() - across, c.x() + d, c.y() + across);
                else
                    painter->drawLine(c.x() - across, c.y() + d, c.x() + across, c.y() + d);
            }
        }
    }
    painter->restore();
}

int WindowStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                             const QWidget* widget) const {
    if (metric == PM_CheckBoxLabelSpacing && widget) {
        const QVariant spacing = widget->property("labelSpacing");
        if (spacing.isValid()) return spacing.toInt();
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void ApplyWindowPalette(QWidget& window) {
    window.setPalette(WindowPalette());
    window.setAttribute(Qt::WA_WindowPropagation);
}

void ApplyWindowStyle(QWidget& root) {
    static QPointer<WindowStyle> style;
    if (!style) {
        style = new WindowStyle;
        style->setParent(qApp);
    }
    for (QScrollBar* bar : root.findChildren<QScrollBar*>())
        if (bar->style() != style) bar->setStyle(style);
    for (QCheckBox* box : root.findChildren<QCheckBox*>())
        if (box->property("labelSpacing").isValid() && box->style() != style) box->setStyle(style);
}

}  // namespace velorixa::display

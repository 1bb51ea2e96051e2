#pragma once
// Building blocks of the performance controls' layout: places are in pixels inside their
// frames, the frames themselves at their rectangles in twips.
//
// Thread contract: GUI thread only.

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "util/twips.h"

namespace velorixa::perform::layout {

template <class W>
W* place(W* w, const QString& name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

inline QFont smallFont(bool bold = false) {
    QFont f(QStringLiteral("Sans Serif"), 7);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

inline QPushButton* button(QWidget* parent, const QString& name, const QString& text, int x, int y,
                           int width, int height, bool option = false) {
    auto* b = place(new QPushButton(text, parent), name, x, y, width, height);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCheckable(option);
    b->setFont(smallFont());
    return b;
}

inline QFrame* frame(QWidget* parent, const char* name, int left, int top, int width, int height,
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

inline QLabel* label(QWidget* parent, const QString& text, int x, int y, int width) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, width, 14);
    l->setFont(smallFont());
    return l;
}

inline QLineEdit* field(QWidget* parent, const QString& name, int x, int y, int width,
                        bool readOnly = false) {
    auto* e = place(new QLineEdit(parent), name, x, y, width, 18);
    e->setFont(smallFont());
    e->setReadOnly(readOnly);
    if (readOnly) e->setFocusPolicy(Qt::NoFocus);
    return e;
}

// The letter keys in the rows of a PC keyboard: make(k, x, y) for key k of the alphabet.
template <class Make>
void letterRows(int x0, int y0, int w, int h, int indent, Make make) {
    static constexpr const char* kRows[3] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    for (int row = 0; row < 3; ++row) {
        const char* letters = kRows[row];
        for (int i = 0; letters[i]; ++i)
            make(letters[i] - 'A' + 1, x0 + row * indent + i * w, y0 + row * h);
    }
}

// Presses one button of an option group and releases the others (no click).
inline void selectOption(QPushButton* const* buttons, int first, int last, int chosen) {
    for (int i = first; i <= last; ++i)
        buttons[i]->setChecked(i == chosen);
}

}  // namespace velorixa::perform::layout

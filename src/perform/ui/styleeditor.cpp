#include "perform/ui/styleeditor.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <algorithm>

#include "perform/skbd.h"
#include "perform/styles.h"
#include "perform/ui/layout.h"
#include "playback/playback.h"
#include "util/ui/textfocus.h"

namespace velorixa::perform {

using namespace layout;

StyleEditor::StyleEditor(QWidget* playBack, QWidget* settings, SKBD& skbd,
                         StyleSequencer& sequencer, playback::Playback& playback,
                         util::TextFocus& textFocus, QObject* parent)
    : QObject(parent),
      skbd_(skbd),
      sequencer_(sequencer),
      playback_(playback),
      textFocus_(textFocus) {
    buildPreSet(playBack);
    buildEditor(settings);
    connect(&playback_.events(), &playback::TransportEvents::positionTick, this,
            &StyleEditor::onPositionTick);
}

void StyleEditor::buildPreSet(QWidget* page) {
    preSet_ = frame(page, "FrmPreSet", 240, 5040, 3855, 1095);
    for (int i = 1; i <= kStyleCount; ++i) {
        const int col = (i - 1) % 6, row = (i - 1) / 6;
        butTyp_[i] = button(preSet_, QStringLiteral("ButTyp_%1").arg(i), {}, 4 + 41 * col,
                            3 + 19 * row, 41, 19, true);
        connect(butTyp_[i], &QPushButton::clicked, this, [this, i] {
            selectOption(butTyp_.data(), 1, kStyleCount, i);
            ButTyp_Click(i);
        });
    }
    txtPerfor2_ = field(preSet_, "TxtPerfor2", 4, 42, preSet_->width() - 8, true);
    txtPerfor2_->setFixedHeight(14);
}

void StyleEditor::buildEditor(QWidget* page) {
    QFrame* style =
        frame(page, "FrmStyle", 3600, 480, 2895, 2175, QStringLiteral("Edit Performance Style :"));
    label(style, QStringLiteral("Style :"), 6, 26, 50);
    comboStyle_ = place(new QComboBox(style), "ComboStyle", 60, 22, 120, 20);
    comboStyle_->setFont(smallFont());
    for (int i = 0; i < kStyleCount; ++i)
        comboStyle_->addItem(QString());
    textFocus_.watch(comboStyle_);
    connect(comboStyle_, &QComboBox::activated, this, [this] { ComboStyle_Click(); });
    txtTitle_ = field(style, "TxtTitle", 60, 48, 58);
    label(style, QStringLiteral("7  Letters Limit"), 122, 50, 70);
    label(style, QStringLiteral("Content :"), 6, 84, 54);
    txtContent_ = field(style, "TxtContent", 60, 82, 58);
    label(style, QStringLiteral("7  Letters Limit"), 122, 84, 70);
    for (QLineEdit* e : {txtTitle_, txtContent_}) {
        e->setMaxLength(kStyleTextMax);
        textFocus_.watch(e);
        // Leaving the field stores the style in its normal form (after FlagText is cleared).
        e->installEventFilter(this);
    }
    connect(txtTitle_, &QLineEdit::textChanged, this, [this] { TxtTitle_Change(); });
    connect(txtContent_, &QLineEdit::textChanged, this, [this] { TxtContent_Change(); });
}

void StyleEditor::InitTypPerf() {
    sequencer_.Stop();
    for (int i = 1; i <= kStyleCount; ++i)
        butTyp_[i]->setChecked(false);
    txtPerfor2_->clear();
}

void StyleEditor::ButTyp_Click(int Index) {
    sequencer_.Select(Index);
    ShowContent();
}

void StyleEditor::pressStyle(int Index) {
    if (Index < 1 || Index > kStyleCount) return;
    selectOption(butTyp_.data(), 1, kStyleCount, Index);
    ButTyp_Click(Index);
}

void StyleEditor::ShowContent() {
    if (sequencer_.StyleSel == 0) {
        txtPerfor2_->clear();
        return;
    }
    txtPerfor2_->setText(QStringLiteral("Performance Content :  ") +
                         ContentShown(skbd_.style(sequencer_.StyleSel).Content));
}

void StyleEditor::ClosTabs() {
    for (int s = 1; s <= kStyleCount; ++s) {
        StyleRecord& st = skbd_.style(s);
        const QString title = NormalisedTitle(st.Title);
        comboStyle_->setItemText(s - 1, title);
        butTyp_[s]->setText(title);
        st.Title = title;
        st.Content = NormalisedContent(st.Content);
    }
    comboStyle_->setCurrentIndex(EditStyle);
    txtTitle_->setText(skbd_.style(EditStyle + 1).Title);
    txtContent_->setText(skbd_.style(EditStyle + 1).Content);
    if (sequencer_.StyleSel != 0) ShowContent();
}

void StyleEditor::showInEditor(const QString& title, const QString& content) {
    const QSignalBlocker quietTitle(txtTitle_);
    const QSignalBlocker quietContent(txtContent_);
    txtTitle_->setText(title);
    txtContent_->setText(content);
}

void StyleEditor::FileUpdate() {
    for (int i = 0; i < kStyleCount; ++i) {
        comboStyle_->setItemText(i, skbd_.style(i + 1).Title);
        butTyp_[i + 1]->setText(skbd_.style(i + 1).Title);
    }
    comboStyle_->setCurrentIndex(EditStyle);
    showInEditor(skbd_.style(EditStyle + 1).Title, skbd_.style(EditStyle + 1).Content);
}

void StyleEditor::ClearStyles() {
    showInEditor(QString(), QString());
    for (int i = 0; i < kStyleCount; ++i)
        comboStyle_->setItemText(i, QString());
    for (int i = 1; i <= kStyleCount; ++i)
        butTyp_[i]->setText(QString());
}

void StyleEditor::ComboStyle_Click() {
    EditStyle = std::max(0, comboStyle_->currentIndex());
    showInEditor(comboStyle_->currentText(), skbd_.style(EditStyle + 1).Content);
}

void StyleEditor::TxtTitle_Change() {
    const QString text = txtTitle_->text();
    comboStyle_->setItemText(EditStyle, text);
    comboStyle_->setCurrentIndex(EditStyle);
    skbd_.style(EditStyle + 1).Title = text;
    emit edited();
}

void StyleEditor::TxtContent_Change() {
    skbd_.style(EditStyle + 1).Content = txtContent_->text();
    emit edited();
}

void StyleEditor::onPositionTick(int t) {
    if (sequencer_.StyleSel == 0) return;
    StyleTickInput in;
    in.t = t;
    in.isFile = playback_.kind() == playback::PlayKind::File;
    in.playLen = playback_.length();
    in.beatLevel = beatLevel ? beatLevel() : 0.0f;
    sequencer_.PlayPosTick(in, skbd_.style(sequencer_.StyleSel).Content);
}

bool StyleEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && (watched == txtTitle_ || watched == txtContent_)) {
        textFocus_.release();
        ClosTabs();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velorixa::perform

#include "midi/ui/controllerpanel.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "midi/controllerhub.h"

namespace velorixa::midi {

std::vector<Target> AllTargets() {
    std::vector<Target> t = {{TargetKind::Volume, 0},
                             {TargetKind::RotationSpeed, 0},
                             {TargetKind::MasterVolume, 0},
                             {TargetKind::PitchLow, 0},
                             {TargetKind::PitchHigh, 0}};
    for (int i = 1; i <= 9; ++i)
        t.push_back({TargetKind::Knob, i});
    for (int i = 1; i <= 9; ++i)
        t.push_back({TargetKind::Rotate, i});
    for (int i = 1; i <= 9; ++i)
        t.push_back({TargetKind::Zero, i});
    for (int i = 1; i <= 26; ++i)
        t.push_back({TargetKind::Key, i});
    t.push_back({TargetKind::InitialSound, 0});
    for (int i = 1; i <= 12; ++i)
        t.push_back({TargetKind::Style, i});
    for (int i = 1; i <= 8; ++i)
        t.push_back({TargetKind::Set, i});
    for (TargetKind k : {TargetKind::Play, TargetKind::Pause, TargetKind::Stop, TargetKind::Next,
                         TargetKind::Previous, TargetKind::Repeat})
        t.push_back({k, 0});
    return t;
}

namespace {
QPushButton* makeButton(QWidget* host, const char* name, const QString& text) {
    auto* b = new QPushButton(text, host);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::NoFocus);  // the keys stay with the tab control
    QFont f = b->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);  // as small as the page's other buttons
    b->setFont(f);
    return b;
}
}  // namespace

ControllerPanel::ControllerPanel(QWidget* host, const Places& places, ControllerHub& hub,
                                 QObject* parent)
    : QObject(parent), hub_(hub) {
    learn_ = makeButton(host, "CmdMidiLearn", QStringLiteral("Learn"));
    learn_->setCheckable(true);
    learn_->setGeometry(places.learn);
    learn_->setToolTip(QStringLiteral("Bind a controller's knob or pad (F10)"));
    open_ = makeButton(host, "CmdMidi", QStringLiteral("MIDI ..."));
    open_->setGeometry(places.open);
    open_->setToolTip(QStringLiteral("The controllers and their bindings"));
    status_ = new QLabel(host);
    status_->setObjectName(QStringLiteral("LblMidi"));
    status_->setGeometry(places.status);
    status_->setWordWrap(true);
    QFont small = status_->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    status_->setFont(small);

    window_ = new QWidget(host->window(), Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    window_->setObjectName(QStringLiteral("FrmMidi"));
    window_->setWindowTitle(QStringLiteral("Controllers"));
    window_->setAttribute(Qt::WA_ShowWithoutActivating);
    // It takes the main window's colours, also when they are set after it is made.
    window_->setAttribute(Qt::WA_WindowPropagation);
    auto* layout = new QVBoxLayout(window_);
    targets_ = new QComboBox(window_);
    targets_->setObjectName(QStringLiteral("CmbMidiTarget"));
    targets_->setFocusPolicy(Qt::NoFocus);
    targets_->addItem(QStringLiteral("(learn: the target touched)"));
    for (const Target& t : AllTargets())
        targets_->addItem(TargetText(t));
    learnLine_ = new QLabel(window_);
    learnLine_->setObjectName(QStringLiteral("LblMidiLearn"));
    list_ = new QListWidget(window_);
    list_->setObjectName(QStringLiteral("LstMidi"));
    list_->setFocusPolicy(Qt::NoFocus);
    remove_ = makeButton(window_, "CmdMidiRemove", QStringLiteral("Remove"));
    layout->addWidget(targets_);
    layout->addWidget(learnLine_);
    layout->addWidget(list_);
    layout->addWidget(remove_);
    window_->resize(320, 300);

    connect(learn_, &QPushButton::clicked, this, [this] {
        learn_->setChecked(!learn_->isChecked());  // the hub's answer sets it
        toggleLearn();
    });
    connect(open_, &QPushButton::clicked, this, &ControllerPanel::showWindow);
    connect(targets_, &QComboBox::activated, this, [this](int i) {
        if (i <= 0) return;
        if (!hub_.learning()) hub_.startLearn();
        hub_.learnTarget(AllTargets()[static_cast<size_t>(i - 1)]);
    });
    connect(remove_, &QPushButton::clicked, this, &ControllerPanel::removeChosen);
    connect(&hub_, &ControllerHub::learnChanged, this, [this](bool on, const QString& prompt) {
        learn_->setChecked(on);
        learnText_ = prompt;
        if (!on) targets_->setCurrentIndex(0);
        status_->setText(learnText_.isEmpty() ? waitText_ : learnText_);
        status_->setToolTip(status_->text());
        learnLine_->setText(learnText_);
    });
    connect(&hub_, &ControllerHub::takeoverChanged, this, [this](const QString& text) {
        waitText_ = text;
        if (!learnText_.isEmpty()) return;
        status_->setText(waitText_);
        status_->setToolTip(waitText_);
    });
    connect(&hub_, &ControllerHub::mappingChanged, this, &ControllerPanel::refill);
}

ControllerPanel::~ControllerPanel() {
    delete window_;
}

void ControllerPanel::toggleLearn() {
    if (hub_.learning()) {
        hub_.cancelLearn();
    } else {
        hub_.startLearn();
        showWindow();
    }
}

void ControllerPanel::showWindow() {
    refill();
    window_->show();
}

std::pair<QString, int> ControllerPanel::bindingAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return {{}, -1};
    return rows_[static_cast<size_t>(row)];
}

void ControllerPanel::refill() {
    const int row = list_->currentRow();
    list_->clear();
    rows_.clear();
    for (const QString& c : hub_.controllers()) {
        const auto& bindings = hub_.mapping(c).bindings();
        for (size_t i = 0; i < bindings.size(); ++i) {
            list_->addItem(c + QStringLiteral(": ") + BindingText(bindings[i]));
            rows_.emplace_back(c, static_cast<int>(i));
        }
    }
    if (row >= 0 && row < list_->count()) list_->setCurrentRow(row);
}

void ControllerPanel::removeChosen() {
    const auto [controller, index] = bindingAt(list_->currentRow());
    if (index >= 0) hub_.removeBinding(controller, index);
}

}  // namespace velorixa::midi

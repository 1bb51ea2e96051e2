#include "app/ui/outputpanel.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

#include <algorithm>

#include "audio/output.h"

namespace velorixa {

namespace {
constexpr int kOutputRowY = 299;
constexpr int kBufferRowY = 380;
}  // namespace

OutputPanel::OutputPanel(QWidget& settingsPage, OutputSettings settings, QString settingsPath,
                         QObject* parent)
    : QObject(parent), settings_(std::move(settings)), settingsPath_(std::move(settingsPath)) {
    // In the set-file frame's free strips: the output under the function keys, the buffer and
    // its latency under "Save Set as". No style sheets: the controls keep the window's palette.
    ComboOutput = new QComboBox(&settingsPage);
    ComboOutput->setObjectName("ComboOutput");
    ComboOutput->setFocusPolicy(Qt::NoFocus);
    ComboOutput->setToolTip(QStringLiteral("Where the sound goes (kept for the next start)"));
    ComboOutput->setGeometry(30, kOutputRowY, 173, 18);
    ComboOutputBuffer = new QComboBox(&settingsPage);
    ComboOutputBuffer->setObjectName("ComboOutputBuffer");
    ComboOutputBuffer->setFocusPolicy(Qt::NoFocus);
    ComboOutputBuffer->setToolTip(
        QStringLiteral("Output buffer: smaller answers sooner, larger "
                       "is safer on a busy machine"));
    ComboOutputBuffer->setGeometry(30, kBufferRowY, 100, 18);
    for (int frames : audio::kOutputBufferChoices)
        ComboOutputBuffer->addItem(QStringLiteral("%1 frames").arg(frames), frames);
    ComboOutputBuffer->setCurrentIndex(
        std::max(0, ComboOutputBuffer->findData(settings_.bufferFrames)));
    LblOutputLatency = new QLabel(&settingsPage);
    LblOutputLatency->setObjectName("LblOutputLatency");
    LblOutputLatency->setToolTip(QStringLiteral("Latency of the output as the server measures it"));
    LblOutputLatency->setGeometry(134, kBufferRowY, 69, 18);

    fillOutputs();
    connect(ComboOutput, &QComboBox::activated, this, [this](int index) {
        settings_.output = ComboOutput->itemData(index).toString();
        audio::chooseOutput(settings_.output.toStdString());
        save();
    });
    connect(ComboOutputBuffer, &QComboBox::activated, this, [this](int index) {
        settings_.bufferFrames = ComboOutputBuffer->itemData(index).toInt();
        audio::setOutputBuffer(settings_.bufferFrames);
        save();
    });
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &OutputPanel::poll);
    timer_.start();
}

void OutputPanel::fillOutputs() {
    const std::vector<audio::OutputDevice> devices = audio::outputDevices();
    std::vector<std::string> names;
    for (const auto& d : devices)
        names.push_back(d.name);
    if (names == shown_ && ComboOutput->count() > 0) return;
    shown_ = names;
    const QSignalBlocker block(ComboOutput);
    ComboOutput->clear();
    ComboOutput->addItem(QStringLiteral("Default output"), QString());
    bool chosenShown = settings_.output.isEmpty();
    for (const auto& d : devices) {
        const QString name = QString::fromStdString(d.name);
        // The server's description; its name beside a description that two outputs share.
        QString shown = QString::fromStdString(d.description.empty() ? d.name : d.description);
        if (std::count_if(devices.begin(), devices.end(), [&](const audio::OutputDevice& o) {
                return o.description == d.description;
            }) > 1)
            shown += QStringLiteral(" (") + name + u')';
        ComboOutput->addItem(shown, name);
        ComboOutput->setItemData(ComboOutput->count() - 1, name, Qt::ToolTipRole);
        chosenShown = chosenShown || name == settings_.output;
    }
    // A chosen output that is away stays the choice, shown as such.
    if (!chosenShown)
        ComboOutput->addItem(settings_.output + QStringLiteral(" (not present)"), settings_.output);
    ComboOutput->setCurrentIndex(std::max(0, ComboOutput->findData(settings_.output)));
}

void OutputPanel::poll() {
    fillOutputs();
    const int ms = audio::outputLatencyMs();
    LblOutputLatency->setText(ms >= 0 ? QStringLiteral("%1 ms").arg(ms) : QStringLiteral("- ms"));
    for (const std::string& m : audio::takeOutputMessages())
        if (onMessage) onMessage(QString::fromStdString(m));
}

void OutputPanel::save() {
    QString error;
    if (!settings_.save(settingsPath_, &error) && onMessage)
        onMessage(QStringLiteral("Output settings not saved: ") + error);
}

}  // namespace velorixa

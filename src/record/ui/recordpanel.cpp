#include "record/ui/recordpanel.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "record/recordsession.h"
#include "util/fspath.h"

namespace velorixa::record {

RecordPanel::RecordPanel(QWidget& playBack, RecordSession& session, QString settingsPath,
                         QObject* parent)
    : QObject(parent), session_(session), settingsPath_(std::move(settingsPath)) {
    // "PlayBack": a row between the transport panel and the display.
    TglRec = new QPushButton(QStringLiteral("Rec"), &playBack);
    TglRec->setObjectName("TglRec");
    TglRec->setCheckable(true);
    TglRec->setFocusPolicy(Qt::NoFocus);
    TglRec->setToolTip(QStringLiteral("Record what is heard (F9)"));
    TglRec->setGeometry(16, 122, 40, 20);
    LblRec = new QLabel(&playBack);
    LblRec->setObjectName("LblRec");
    LblRec->setGeometry(60, 122, 198, 20);
    connect(TglRec, &QPushButton::clicked, this, [this] {
        session_.toggle();
        refresh();
    });

    // The format and the folder, kept in the recording's settings file, beside the toggle: the
    // "Settings" page has no room left.
    ComboRecFormat = new QComboBox(&playBack);
    ComboRecFormat->setObjectName("ComboRecFormat");
    ComboRecFormat->addItem(QStringLiteral("FLAC"));
    ComboRecFormat->addItem(QStringLiteral("WAV 24-bit"));
    ComboRecFormat->setToolTip(QStringLiteral("Format of the next recording"));
    ComboRecFormat->setGeometry(262, 122, 84, 20);
    ComboRecFormat->setFocusPolicy(Qt::NoFocus);
    ComboRecFormat->setCurrentIndex(session_.settings().format == audio::RecordFormat::Wav24);
    CmdRecFolder = new QPushButton(QStringLiteral("Folder"), &playBack);
    CmdRecFolder->setObjectName("CmdRecFolder");
    CmdRecFolder->setFocusPolicy(Qt::NoFocus);
    CmdRecFolder->setGeometry(350, 122, 58, 20);
    showFolder();
    connect(ComboRecFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
        session_.settings().format =
            index == 1 ? audio::RecordFormat::Wav24 : audio::RecordFormat::Flac;
        saveSettings();
    });
    connect(CmdRecFolder, &QPushButton::clicked, this, [this] { chooseFolder(); });

    connect(&session_, &RecordSession::recordingChanged, this, [this](bool on) {
        if (on)
            timer_.start();
        else
            timer_.stop();
        refresh();
        if (onRecording) onRecording(on);
    });
    timer_.setInterval(250);
    connect(&timer_, &QTimer::timeout, this, [this] {
        session_.tick();
        refresh();
    });
    refresh();
}

void RecordPanel::refresh() {
    const bool on = session_.recording();
    LblRec->setText(on ? session_.statusText() : QString());
    if (on == shownOn_) return;
    shownOn_ = on;
    TglRec->setChecked(on);
    // Down, it is red: recording is seen at a glance. Palettes rather than style sheets, so that
    // everything else keeps the window's colours.
    QPalette button = TglRec->parentWidget()->palette();
    QPalette label = button;
    if (on) {
        button.setColor(QPalette::Button, QColor(200, 0, 0));
        button.setColor(QPalette::ButtonText, Qt::white);
        label.setColor(QPalette::WindowText, QColor(200, 0, 0));
    }
    TglRec->setPalette(on ? button : QPalette());
    LblRec->setPalette(on ? label : QPalette());
    QFont bold = TglRec->parentWidget()->font();
    bold.setBold(on);
    TglRec->setFont(bold);
    LblRec->setFont(bold);
}

void RecordPanel::showFolder() {
    folder_ = session_.settings().folderOrDefault();
    CmdRecFolder->setToolTip(
        QStringLiteral("Recordings go to %1").arg(util::PathForDisplay(folder_)));
}

void RecordPanel::saveSettings() {
    QString why;
    if (!session_.settings().save(settingsPath_, &why) && onMessage)
        onMessage(QStringLiteral("Recording settings not saved: %1").arg(why));
}

void RecordPanel::chooseFolder() {
    // A folder chooser of its own, not modal: the music and the keys go on while it is open.
    if (dialog_) {
        dialog_->raise();
        return;
    }
    auto* dialog =
        new QFileDialog(CmdRecFolder->window(), QStringLiteral("Recording folder"), folder_);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        session_.settings().folder = folder;
        showFolder();
        saveSettings();
    });
    dialog_ = dialog;
    dialog->show();
}

}  // namespace velorixa::record

#include "record/ui/recordpanel.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "record/recordsession.h"
#include "util/fspath.h"

namespace velorixa::record {

RecordPanel::RecordPanel(QWidget& playBack, QWidget& settings, RecordSession& session,
                         QString settingsPath, QObject* parent)
    : QObject(parent), session_(session), settingsPath_(std::move(settingsPath)) {
    // "PlayBack": between the transport panel and the display.
    TglRec = new QPushButton(QStringLiteral("Rec"), &playBack);
    TglRec->setObjectName("TglRec");
    TglRec->setCheckable(true);
    TglRec->setFocusPolicy(Qt::NoFocus);
    TglRec->setToolTip(QStringLiteral("Record what is heard (F9)"));
    TglRec->setGeometry(16, 122, 40, 20);
    LblRec = new QLabel(&playBack);
    LblRec->setObjectName("LblRec");
    LblRec->setGeometry(60, 122, 340, 20);
    connect(TglRec, &QPushButton::clicked, this, [this] {
        session_.toggle();
        refresh();
    });

    // "Settings": the format and the folder.
    auto* title = new QLabel(QStringLiteral("Recording"), &settings);
    title->setObjectName("LblRecTitle");
    title->setGeometry(16, 380, 64, 20);
    ComboRecFormat = new QComboBox(&settings);
    ComboRecFormat->setObjectName("ComboRecFormat");
    ComboRecFormat->addItem(QStringLiteral("FLAC"));
    ComboRecFormat->addItem(QStringLiteral("WAV 24-bit"));
    ComboRecFormat->setGeometry(80, 380, 90, 20);
    ComboRecFormat->setFocusPolicy(Qt::NoFocus);
    ComboRecFormat->setCurrentIndex(session_.settings().format == audio::RecordFormat::Wav24);
    TxtRecFolder = new QLineEdit(&settings);
    TxtRecFolder->setObjectName("TxtRecFolder");
    TxtRecFolder->setReadOnly(true);
    TxtRecFolder->setFocusPolicy(Qt::NoFocus);
    TxtRecFolder->setGeometry(174, 380, 210, 20);
    TxtRecFolder->setText(util::PathForDisplay(session_.settings().folderOrDefault()));
    CmdRecFolder = new QPushButton(QStringLiteral("Folder"), &settings);
    CmdRecFolder->setObjectName("CmdRecFolder");
    CmdRecFolder->setFocusPolicy(Qt::NoFocus);
    CmdRecFolder->setGeometry(388, 380, 52, 20);
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
    TglRec->setChecked(on);
    LblRec->setText(on ? session_.statusText() : QString());
    LblRec->setStyleSheet(on ? QStringLiteral("color: rgb(200, 0, 0); font-weight: bold;")
                             : QString());
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
    auto* dialog = new QFileDialog(TxtRecFolder->window(), QStringLiteral("Recording folder"),
                                   session_.settings().folderOrDefault());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        session_.settings().folder = folder;
        TxtRecFolder->setText(util::PathForDisplay(folder));
        saveSettings();
    });
    dialog_ = dialog;
    dialog->show();
}

}  // namespace velorixa::record

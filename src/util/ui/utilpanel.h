#pragma once
// The window's two small services: the mixer launcher behind the transport panel's mixer button
// (`CmdSndVolExe`) and the web link `LblVMIX`. Binds them to the window-free launcher
// (util/sndvol.h) and shows its messages without stopping the music or the keys.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class QLabel;
class QMessageBox;
class QWidget;

namespace velorixa {

namespace util {
class MixerLauncher;
}

class UtilPanel : public QObject {
    Q_OBJECT
  public:
    // window: owner of the message boxes.
    explicit UtilPanel(QWidget* window, QObject* parent = nullptr);
    ~UtilPanel() override;

    util::MixerLauncher& mixer() { return *mixer_; }
    // `CmdSndVolExe` click: `RunSndVol`; when no mixer started, the message says why.
    void CmdSndVolExe_Click();
    // Makes label the link to the maker's page: a click opens it in the desktop's browser.
    void bindWebLink(QLabel* label);

    // Shows a message with an OK button and no icon without blocking the window: the box is
    // not modal and does not take the keys from the window, and a second message replaces the
    // first. Tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // Opens an address with the desktop's browser; tests replace it. Its result is not used.
    std::function<bool(const QUrl&)> openUrl;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::unique_ptr<util::MixerLauncher> mixer_;
    QLabel* link_ = nullptr;
    QPointer<QMessageBox> box_;  // the message shown now, if any
};

}  // namespace velorixa

#pragma once
// The window's two small services: the mixer launcher behind the transport panel's mixer button
// (`CmdSndVolExe`) and the web link `LblVMIX`. Binds them to the window-free launcher
// (util/sndvol.h) and shows its messages.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

#include "util/folderwalk.h"

class QLabel;
class QWidget;

namespace velorixa {

namespace util {
class MixerLauncher;
}

class UtilPanel : public QObject {
    Q_OBJECT
  public:
    // flag: `FlagFind`, shared with the music search; window: owner of the message boxes.
    UtilPanel(std::shared_ptr<util::FindFlag> flag, QWidget* window, QObject* parent = nullptr);

    util::MixerLauncher& mixer() { return *mixer_; }
    // `CmdSndVolExe` click: `RunSndVol`.
    void CmdSndVolExe_Click();
    // Makes label the link to the maker's page: a click opens it in the desktop's browser.
    void bindWebLink(QLabel* label);

    // A message box with an OK button and no icon; tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // Opens an address with the desktop's browser; tests replace it. Its result is not used.
    std::function<bool(const QUrl&)> openUrl;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    util::MixerLauncher* mixer_;
    QLabel* link_ = nullptr;
};

}  // namespace velorixa

// The desktop's seeks end to end: the window on the offline output, its MPRIS object on a
// private session bus, a client calling SetPosition and Seek as a sound menu does, and the
// place in the file heard afterwards.
#include <QDBusObjectPath>
#include <memory>

#include "app/effects_fixture.h"
#include "app/heardposition.h"
#include "desktop/privatebus.h"
#include "desktop/ui/mprisservice.h"

namespace velorixa {
namespace {

using desktop::MprisService;

class MprisSeekTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon (package dbus-daemon) is needed";
        win_ = std::make_unique<testing::EffectsWindow>(VX_DEVICE_OFFLINE);
        ASSERT_TRUE(win_->ok);
        playerBus_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.address(), "vx-seek-player"));
        mpris_ = std::make_unique<MprisService>(win_->w->playback(),
                                                desktop::DesktopWindowOf(*win_->w), *playerBus_);
        ASSERT_TRUE(mpris_->start());
        client_ = std::make_unique<test::BusClient>(bus_.address(), desktop::kMprisService);
        ASSERT_TRUE(client_->listen());
    }
    void TearDown() override {
        client_.reset();
        mpris_.reset();
        win_.reset();
        playerBus_.reset();
        QDBusConnection::disconnectFromBus("vx-seek-player");
    }
    QDBusObjectPath track() {
        return test::toMap(client_->playerProperty("Metadata"))
            .value("mpris:trackid")
            .value<QDBusObjectPath>();
    }

    test::PrivateBus bus_;
    std::unique_ptr<testing::EffectsWindow> win_;
    std::unique_ptr<QDBusConnection> playerBus_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<test::BusClient> client_;
};

TEST_F(MprisSeekTest, SetPositionAndSeekLandWithinATenthOfASecondAndSaySo) {
    ASSERT_TRUE(win_->play({test::tonePerSecondFile()}, 0));
    double heard = test::heardAfterEnd(test::renderMono(1.6));
    ASSERT_NEAR(heard, 1.6, 0.1);

    const QDBusObjectPath other("/velorixa/track/999");
    enum class Lands { At, By, Nowhere };
    const struct {
        const char* name;
        const char* method;
        QVariantList args;  // microseconds
        Lands lands;
        double seconds;  // At: the place; By: from where the file is heard
    } steps[] = {
        {"to 12.5 s",
         "SetPosition",
         {QVariant::fromValue(track()), qlonglong(12'500'000)},
         Lands::At,
         12.5},
        {"4 s back", "Seek", {qlonglong(-4'000'000)}, Lands::By, -4},
        {"another track",
         "SetPosition",
         {QVariant::fromValue(other), qlonglong(3'000'000)},
         Lands::Nowhere,
         0},
        {"past the end",
         "SetPosition",
         {QVariant::fromValue(track()), qlonglong(90'000'000)},
         Lands::Nowhere,
         0},
        {"before the start",
         "SetPosition",
         {QVariant::fromValue(track()), qlonglong(-1)},
         Lands::Nowhere,
         0},
        {"to 21 s",
         "SetPosition",
         {QVariant::fromValue(track()), qlonglong(21'000'000)},
         Lands::At,
         21},
        {"10 s on", "Seek", {qlonglong(10'000'000)}, Lands::By, 10},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.name);
        client_->seeked_.clear();
        const double expected = s.lands == Lands::At   ? s.seconds
                                : s.lands == Lands::By ? heard + s.seconds
                                                       : heard;
        EXPECT_EQ(client_->player(s.method, s.args).type(), QDBusMessage::ReplyMessage);
        const std::vector<float> out = test::renderMono(1.3);
        EXPECT_NEAR(test::heardAtStart(out), expected, 0.1);
        heard = test::heardAfterEnd(out);
        if (s.lands == Lands::Nowhere) {
            QTest::qWait(50);
            EXPECT_TRUE(client_->seeked_.empty()) << "a refused call says nothing";
        } else {
            ASSERT_TRUE(test::waitFor([&] { return !client_->seeked_.empty(); }, 2000));
            EXPECT_NEAR(client_->seeked_.back() / 1e6, expected, 0.1);
        }
    }
}

}  // namespace
}  // namespace velorixa
